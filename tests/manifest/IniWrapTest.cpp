// The settings grammar, and the limits of every reader of a file beside the uninstaller.
#include <gtest/gtest.h>

#include <functional>

#include "base/unique_any.h"
#include "manifest/IniWrap.h"
#include "manifest/Settings.h"
#include "base/XmlConfigDocument.h"
#include "support/TestSupport.h"

using manifest::QIniWrapEx;
using namespace testing_support;

namespace {

constexpr uint64_t kLimit = base::kMaxConfigFileBytes;

// `head` followed by zero bytes up to `size` (a sparse file: nothing is written).
bool WriteSized(const std::wstring& path, const std::string& head, uint64_t size) {
    if (!WriteBytes(path, head)) return false;
    base::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER end = {};
    end.QuadPart = static_cast<LONGLONG>(size);
    return file && ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.get());
}

std::string Scrambled(const std::string& plain) {
    std::string out = plain;
    for (char& c : out) c = static_cast<char>(c ^ base::kScrambleKey);
    return out;
}

}  // namespace

TEST(IniGrammar, SectionsPairsTrimmingAndCase) {
    QIniWrapEx ini;
    // Text before the first bracket is ignored; blanks around names and values are trimmed.
    EXPECT_TRUE(ini.Parse(L"; by the viewer\nwidth=5\n\t [ WindowRect ] \n  WIDTH =  1024 \n\n height=600\n"
                          L"[common]\nskinname = blue sky \n"));
    EXPECT_EQ(ini.GetInt(L"windowrect", L"width", 0), 1024);
    EXPECT_EQ(ini.GetInt(L"WINDOWRECT", L"Height", 0), 600);
    EXPECT_EQ(ini.GetString(L"common", L"skinname"), L"blue sky");
    EXPECT_EQ(ini.GetInt(L"common", L"missing", 77), 77);
    EXPECT_EQ(ini.GetString(L"nosection", L"skinname"), L"");
    EXPECT_FALSE(ini.Has(L"", L"width"));
    QIniWrapEx none;
    EXPECT_FALSE(none.Parse(L"width=5\nheight=6\n"));
    EXPECT_TRUE(none.empty());
}

TEST(IniGrammar, MalformedLineStopsButKeepsEarlierPairs) {
    for (const wchar_t* text : {L"[a]\nx=1\nnot a pair\ny=2\n", L"[a]\nx=1\n  =2\ny=3\n", L"[a]\nx=1\n[  ]\ny=3\n"}) {
        QIniWrapEx ini;
        EXPECT_FALSE(ini.Parse(text));
        EXPECT_EQ(ini.GetInt(L"a", L"x", 0), 1);
        EXPECT_FALSE(ini.Has(L"a", L"y"));
    }
}

TEST(IniGrammar, ValuesKeepInnerEqualsRepeatedKeysReplaceIntsTakeLeadingDecimal) {
    QIniWrapEx ini;
    ASSERT_TRUE(ini.Parse(L"[s]\nk=a=b\nk = c = d\nempty=\na=42px\nb=px\nc=-7\nd= 12\n"));
    EXPECT_EQ(ini.GetString(L"s", L"k"), L"c = d");
    EXPECT_TRUE(ini.Has(L"s", L"empty"));
    EXPECT_EQ(ini.GetString(L"s", L"empty"), L"");
    EXPECT_EQ(ini.GetInt(L"s", L"a", 1), 42);
    EXPECT_EQ(ini.GetInt(L"s", L"b", 1), 0);
    EXPECT_EQ(ini.GetInt(L"s", L"c", 1), -7);
    EXPECT_EQ(ini.GetInt(L"s", L"d", 1), 12);
    // An unterminated "[" line is a pair, stored before any section.
    QIniWrapEx odd;
    ASSERT_TRUE(odd.Parse(L"[x=1\n[s]\n"));
    EXPECT_EQ(odd.GetString(L"", L"[x"), L"1");
}

TEST(IniLoad, Utf8WithCarriageReturnsAndBomMissingFileIsCreated) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"s.ini", "\xEF\xBB\xBF[common]\r\nskinname=\xE8\x93\x9D\r\nhadshortcut=1\r"));
    QIniWrapEx ini;
    EXPECT_TRUE(ini.Load(dir / L"s.ini"));
    EXPECT_EQ(ini.GetString(L"common", L"skinname"), L"\x84DD");
    EXPECT_EQ(ini.GetInt(L"common", L"hadshortcut", 0), 1);
    const std::wstring path = dir / L"a\\b\\settings.dat";
    QIniWrapEx created;
    EXPECT_TRUE(created.Load(path));
    EXPECT_TRUE(created.empty());
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_TRUE(created.Load(path));  // the now existing empty file loads as well
    EXPECT_FALSE(QIniWrapEx().Load(L"relative.ini"));
}

TEST(ReaderLimits, FilesOfTheLimitAreReadBeyondItRefused) {
    // Refused before anything is allocated for them, also when the size needs
    // more than 32 bits (where a 32-bit build used to wrap "size + 2").
    TempDir dir;
    const std::wstring path = dir / L"lminfo.dat";
    const struct {
        const char* name;
        std::string head;
        std::function<bool()> read;  // true when the content was taken
    } readers[] = {
        {"XML document", "<a>", [&] { return base::XmlConfigDocument().LoadFile(path); }},
        {"scrambled text", Scrambled("[config]"), [&] {
             std::string text;
             return base::ReadScrambledText(path, text);
         }},
        {"settings", "[config]\r\n", [&] { return QIniWrapEx().Load(path); }},
    };
    for (const auto& reader : readers) {
        SCOPED_TRACE(reader.name);
        for (const uint64_t size : {kLimit + 1, uint64_t(0xFFFFFFFFu), uint64_t(0x100000010u)}) {
            ASSERT_TRUE(WriteSized(path, reader.head, size));
            EXPECT_FALSE(reader.read()) << size;
        }
    }
    // A product-search payload beyond the limit is refused even when the file holds it.
    for (const uint64_t size : {kLimit + manifest::kProductSearchHeaderBytes + 1, uint64_t(0xFFFFFFFFu)}) {
        std::string head = manifest::EncodeProductSearchContainer("");
        const auto length = static_cast<uint32_t>(size - manifest::kProductSearchHeaderBytes);
        for (size_t i = 0; i < sizeof(length); ++i) {
            head[manifest::kProductSearchLengthOffset + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
        }
        ASSERT_TRUE(WriteSized(path, head, size));
        EXPECT_EQ(manifest::ComputeInstalledProductMask(dir.path()), 0u) << size;
    }
    std::string text;
    ASSERT_TRUE(WriteBytes(dir / L"exact.dat", Scrambled(std::string(kLimit, 'x'))));
    ASSERT_TRUE(base::ReadScrambledText(dir / L"exact.dat", text));
    EXPECT_EQ(text.size(), kLimit);
    std::string ini = "[windowrect]\nwidth=1234\n";
    ini.resize(manifest::kMaxIniFileBytes, ' ');  // blank padding is an empty line
    ASSERT_TRUE(WriteBytes(dir / L"exact.ini", ini));
    QIniWrapEx exact;
    EXPECT_TRUE(exact.Load(dir / L"exact.ini"));
    EXPECT_EQ(exact.GetInt(L"windowrect", L"width", 800), 1234);
    // A refused file leaves no stale content behind.
    ASSERT_TRUE(WriteBytes(dir / L"over.ini", ini + " "));
    ASSERT_TRUE(exact.Parse(L"[stale]\nk=v\n"));
    EXPECT_FALSE(exact.Load(dir / L"over.ini"));
    EXPECT_TRUE(exact.empty());
}
