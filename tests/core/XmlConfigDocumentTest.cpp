#include <gtest/gtest.h>

#include "base/XmlConfigDocument.h"
#include "base/unique_any.h"
#include "support/TestSupport.h"

using base::QUTF8ToUTF16Ex;
using base::ReadScrambledText;
using base::SplitConfigPath;
using base::UnscrambleText;
using base::XmlConfigDocument;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

constexpr char kManifest[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<packet MsgTip=\"\xE5\x9B\xBE\xE7\x89\x87\" count=\"42\" bad=\"4x\">\n"
    "  <installfile>\n"
    "    <filelist><item path=\"a.dll\"/><other/><item path=\"b.dll\"/></filelist>\n"
    "    <config mode=\"first\"/><config mode=\"second\"/>\n"
    "  </installfile>\n"
    "</packet>\n";

std::string Scramble(const std::string& plain) {
    std::string out = plain;
    for (char& c : out) c = static_cast<char>(static_cast<unsigned char>(c) ^ base::kScrambleKey);
    return out;
}

// A well-formed document of exactly `size` bytes: padding inside a comment.
std::string DocumentOfSize(size_t size) {
    const std::string head = "<packet><!--";
    const std::string tail = "--></packet>";
    return head + std::string(size - head.size() - tail.size(), 'x') + tail;
}

}  // namespace

TEST(XmlConfigDocument, AttributesNeedACursorDecodeUtf8AndParseIntegers) {
    XmlConfigDocument doc;
    ASSERT_TRUE(doc.LoadText(kManifest));
    EXPECT_FALSE(doc.HasCursor());
    std::wstring value = L"stale";
    EXPECT_FALSE(doc.GetWideAttribute("MsgTip", value));
    EXPECT_TRUE(value.empty());
    EXPECT_FALSE(doc.EnterChild(""));
    EXPECT_FALSE(doc.NextSibling(""));
    EXPECT_FALSE(doc.LeaveToParent());

    ASSERT_TRUE(doc.SelectPath("packet"));
    std::wstring tip;
    EXPECT_TRUE(doc.GetWideAttribute("MsgTip", tip));
    EXPECT_EQ(tip, L"\u56FE\u7247");
    std::string raw;
    EXPECT_TRUE(doc.GetRawAttribute("MsgTip", raw));
    EXPECT_EQ(raw, "\xE5\x9B\xBE\xE7\x89\x87");
    int32_t count = 0;
    EXPECT_TRUE(doc.GetIntAttribute("count", count));
    EXPECT_EQ(count, 42);
    int32_t bad = 7;
    EXPECT_FALSE(doc.GetIntAttribute("missing", bad));
    EXPECT_FALSE(doc.GetRawAttribute("missing", raw));
    EXPECT_TRUE(raw.empty());
}

TEST(XmlConfigDocument, CursorWalksChildrenSiblingsAndParents) {
    XmlConfigDocument doc;
    ASSERT_TRUE(doc.LoadText(kManifest));
    ASSERT_TRUE(doc.SelectPath("packet/installfile/filelist"));
    ASSERT_TRUE(doc.EnterChild("item"));
    std::wstring path;
    EXPECT_TRUE(doc.GetWideAttribute("path", path));
    EXPECT_EQ(path, L"a.dll");
    ASSERT_TRUE(doc.NextSibling("item"));  // skips <other/>
    EXPECT_TRUE(doc.GetWideAttribute("path", path));
    EXPECT_EQ(path, L"b.dll");
    EXPECT_FALSE(doc.NextSibling("item"));  // a failed move keeps the cursor
    EXPECT_EQ(doc.CursorName(), "item");
    ASSERT_TRUE(doc.LeaveToParent());
    EXPECT_EQ(doc.CursorName(), "filelist");
    ASSERT_TRUE(doc.NextSibling(""));
    EXPECT_EQ(doc.CursorName(), "config");
    EXPECT_FALSE(doc.EnterChild("nothing"));
    EXPECT_EQ(doc.CursorName(), "config");
}

TEST(XmlConfigDocument, EnterConfigTakesFirstConfigOrLosesCursor) {
    XmlConfigDocument doc;
    ASSERT_TRUE(doc.LoadText(kManifest));
    ASSERT_TRUE(doc.SelectPath("packet\\installfile"));
    ASSERT_TRUE(doc.EnterConfig());
    std::wstring mode;
    EXPECT_TRUE(doc.GetWideAttribute("mode", mode));
    EXPECT_EQ(mode, L"first");
    EXPECT_FALSE(doc.EnterConfig());  // a config has no config child
    EXPECT_FALSE(doc.HasCursor());
}

TEST(XmlConfigDocument, SelectPathSplittingRules) {
    XmlConfigDocument doc;
    ASSERT_TRUE(doc.LoadText(kManifest));
    EXPECT_TRUE(doc.SelectPath(""));
    EXPECT_EQ(doc.CursorName(), "packet");
    EXPECT_TRUE(doc.SelectPath(nullptr));
    EXPECT_FALSE(doc.SelectPath("\\packet"));
    EXPECT_FALSE(doc.HasCursor());
    // Splitting stops at the empty segment: this selects the root.
    EXPECT_TRUE(doc.SelectPath("packet\\\\installfile"));
    EXPECT_EQ(doc.CursorName(), "packet");
    EXPECT_TRUE(doc.SelectPath("packet/installfile/"));
    EXPECT_EQ(doc.CursorName(), "installfile");
    EXPECT_FALSE(doc.SelectPath("Packet"));  // names compare byte-wise
    EXPECT_FALSE(doc.SelectPath("packet/missing"));
    EXPECT_FALSE(doc.HasCursor());

    EXPECT_EQ(SplitConfigPath("a/b\\c"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitConfigPath("a//b"), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(SplitConfigPath("/a").empty());
}

TEST(XmlConfigDocument, RejectsMalformedAndZeroLedText) {
    XmlConfigDocument doc;
    EXPECT_FALSE(doc.LoadText("<packet><unclosed></packet>"));
    EXPECT_FALSE(doc.LoadText(std::string("\0<packet/>", 10)));
    // Text ends at the first zero byte; what follows is never parsed.
    EXPECT_TRUE(doc.LoadText(std::string("<packet/>\0garbage<", 18)));
}

TEST(XmlConfigDocument, LoadFileFailuresAndTheTwoMebibyteLimit) {
    TempDir dir(L"xml");
    XmlConfigDocument doc;
    EXPECT_FALSE(doc.LoadFile(dir / L"missing.xml"));
    EXPECT_FALSE(doc.LoadFile(dir.path()));  // a directory is not a document
    const struct { const wchar_t* name; std::string bytes; bool loads; } cases[] = {
        {L"empty.xml", "", false},
        {L"exact.xml", DocumentOfSize(base::kMaxConfigFileBytes), true},
        {L"over.xml", DocumentOfSize(base::kMaxConfigFileBytes + 1), false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(dir / c.name, c.bytes));
        EXPECT_EQ(doc.LoadFile(dir / c.name), c.loads) << c.bytes.size();
        EXPECT_EQ(doc.SelectPath("packet"), c.loads);  // a failed load leaves no document
    }
}

TEST(XmlConfigDocument, LoadFileAllowsReadSharingOnly) {
    TempDir dir(L"xml");
    const std::wstring path = dir / L"m.xml";
    ASSERT_TRUE(WriteBytes(path, kManifest));
    {
        base::unique_hfile reader(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                0, nullptr));
        ASSERT_TRUE(reader);
        XmlConfigDocument doc;
        EXPECT_TRUE(doc.LoadFile(path));
    }
    base::unique_hfile writer(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    XmlConfigDocument doc;
    EXPECT_FALSE(doc.LoadFile(path));  // open for writing elsewhere: sharing violation
}

TEST(QUTF8ToUTF16Ex, InlineUpTo128CharactersThenHeap) {
    QUTF8ToUTF16Ex none(nullptr);
    EXPECT_EQ(none.c_str(), nullptr);

    // 128 characters with the terminator fit inline; one more goes to the heap.
    for (size_t length : {127, 128, 5000}) {
        EXPECT_EQ(std::wstring(QUTF8ToUTF16Ex(std::string(length, 'a').c_str()).c_str()), std::wstring(length, L'a'));
    }

    EXPECT_EQ(std::wstring(QUTF8ToUTF16Ex("\xE5\x8D\xB8\xE8\xBD\xBD").c_str()), L"\u5378\u8F7D");
    QUTF8ToUTF16Ex empty("");
    ASSERT_NE(empty.c_str(), nullptr);
    EXPECT_EQ(std::wstring(empty.c_str()), L"");
}

TEST(ScrambledText, XorWithA7UpToFirstZero) {
    EXPECT_EQ(UnscrambleText(Scramble("<tasks/>")), "<tasks/>");
    // A plain byte 0xA7 scrambles to 0 and a scrambled 0xA7 unscrambles to 0: the text ends there.
    EXPECT_EQ(UnscrambleText(Scramble("ab") + std::string(1, '\xA7') + Scramble("cd")), "ab");
    EXPECT_EQ(UnscrambleText(""), "");
}

TEST(ScrambledText, ReadsWholeFilesAndRejectsEmptyOrMissing) {
    TempDir dir(L"scr");
    std::string text;
    EXPECT_FALSE(ReadScrambledText(dir / L"missing.dat", text));
    ASSERT_TRUE(WriteBytes(dir / L"empty.dat", ""));
    EXPECT_FALSE(ReadScrambledText(dir / L"empty.dat", text));
    // Not an XML reader: any bytes come back, even if they are not a document.
    const std::string plain = "<expandtask><task/>" + std::string(100000, ' ');
    ASSERT_TRUE(WriteBytes(dir / L"task.dat", Scramble(plain)));
    ASSERT_TRUE(ReadScrambledText(dir / L"task.dat", text));
    EXPECT_EQ(text, plain);
}
