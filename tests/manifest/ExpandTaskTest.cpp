// "expandtask.dat": loading it and running its two groups with their stop
// rules; the three kinds of action against real files, processes and the
// registry, and their pure rules: path refusal, mask text, scrambling, digests.
#include <gtest/gtest.h>

#include <cctype>
#include <vector>

#include "base/XmlConfigDocument.h"
#include "base/XmlDepth.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "manifest/ExpandTask.h"
#include "manifest/Md5.h"
#include "removal/Paths.h"
#include "report/Report.h"
#include "support/ChildProcess.h"
#include "support/ManifestSupport.h"

using namespace manifest;
using namespace testing_support;
using base::UnscrambleText;
using base::XmlConfigDocument;

namespace {

constexpr DWORD kChildWaitMs = 10000;
using Outcome = std::pair<int, int>;  // Execute's result, the reported code

std::string FileMd5(const std::wstring& path) { return Md5HexOfBytes(ReadBytes(path)); }

std::string ExecuteXml(const std::wstring& path, const std::string& md5, const std::wstring& param = L"") {
    return "<execute path=\"" + base::XmlEscape(path) + "\" md5=\"" + md5 + "\" param=\"" + base::XmlEscape(param) + "\"/>";
}

std::string CopyXml(const std::wstring& src, const std::wstring& dest) {
    return "<copyfile srcfile=\"" + base::XmlEscape(src) + "\" destfile=\"" + base::XmlEscape(dest) + "\"/>";
}

Outcome RunTag(const std::string& xml) {
    std::unique_ptr<ITag> tag = ParseTag(xml);
    if (!tag) return {-1, -1};
    const int result = tag->Execute();
    return {result, tag->last_result()};
}

// A copy of the sleeper, which logs its command line when asked to.
std::wstring Helper(const TempDir& dir, const std::wstring& name = L"helper.exe") {
    ::CopyFileW((BinDir() + L"sleeper.exe").c_str(), (dir / name).c_str(), FALSE);
    return dir / name;
}

// Copy actions over one directory: a succeeding action copies "src.txt" to
// the named output, a failing one names a missing source.
class Actions {
public:
    Actions() { WriteBytes(dir_ / L"src.txt", "payload"); }
    std::string Ok(const std::wstring& out) const { return CopyXml(dir_ / L"src.txt", dir_ / out); }
    std::string Fail(const std::wstring& out) const { return CopyXml(dir_ / L"missing.txt", dir_ / out); }
    bool Ran(const std::wstring& out) const { return Exists(dir_ / out); }
    // Those of the succeeding actions b1, b2, a1, a2, a3 that ran, their outputs then deleted.
    std::string TakeRan() const {
        std::string ran;
        for (const wchar_t* name : {L"b1", L"b2", L"a1", L"a2", L"a3"}) {
            if (Ran(name)) ran += (ran.empty() ? "" : " ") + base::WideToUtf8(name);
            ::DeleteFileW((dir_ / name).c_str());
        }
        return ran;
    }
    std::wstring operator/(const std::wstring& name) const { return dir_ / name; }

private:
    TempDir dir_;
};

std::string Document(const std::string& rootAttributes, const std::string& before, const std::string& after) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<tasks " + rootAttributes + ">\r\n<before>" + before +
           "</before>\r\n<after>" + after + "</after>\r\n</tasks>\r\n";
}

}  // namespace

TEST(TagRules, DotDotComponentsAndRefusedPaths) {
    const std::pair<const wchar_t*, bool> dotDot[] = {
        {L"C:\\a\\..\\b.txt", true}, {L"C:/a/../b.txt", true}, {L"C:\\a\\...\\b.txt", true},
        {L"C:\\a\\ .. \\b.txt", true}, {L"C:\\a\\..\t\r\n\\b.txt", true}, {L"..", true}, {L"C:\\a\\..", true},
        // Two dots next to letters, or dots that never touch, are ordinary names.
        {L"C:\\a\\b..c.txt", false}, {L"C:\\a\\..b\\c.txt", false}, {L"C:\\a\\. .\\c.txt", false},
        {L"C:\\a\\.\\c.txt", false}, {L"C:\\a\\\\c.txt", false}};
    for (const auto& [path, has] : dotDot) EXPECT_EQ(HasDotDotComponent(path), has) << base::WideToUtf8(path);
    // Only fully qualified local paths of at most 259 characters.
    const std::pair<std::wstring, bool> refused[] = {
        {L"C:\\users\\me\\a..b.txt", false}, {L"d:/data/file.bin", false},
        {L"C:\\console.txt", false},  // only the device names themselves
        {L"C:\\" + std::wstring(256, L'x'), false}, {L"C:\\" + std::wstring(257, L'x'), true},
        {L"C:\\a\\..\\b.txt", true}, {L"file.txt", true}, {L"\\Windows\\file.txt", true}, {L"C:file.txt", true},
        {L"\\\\server\\share\\f.txt", true}, {L"\\\\?\\C:\\a\\b.txt", true}, {L"\\\\.\\PhysicalDrive0", true},
        {L"C:\\a\\b.txt:hidden", true}, {L"C:\\a\\b.txt::$DATA", true}, {L"C:\\a\\nul", true},
        {L"C:\\a\\CON.txt", true}, {L"C:\\a\\com1 \\b.txt", true}, {L"", true}};
    for (const auto& [path, is] : refused) EXPECT_EQ(IsRefusedTagPath(path), is) << base::WideToUtf8(path);
}

TEST(TagRules, AvoidMaskScramblingAndDigests) {
    const std::pair<const char*, uint32_t> masks[] = {
        {"3", 3}, {"0x1F", 0x1F}, {"0XaB", 0xAB}, {"ff zz", 0xFF}, {"12g4", 0x12}, {"", 0}, {"0x", 0},
        {"-1", 0},  // no sign: nothing parses
        {"FFFFFFFF", 0xFFFFFFFF}, {"100000001", 0xFFFFFFFF}};  // beyond 32 bits: every product, not a wrapped few
    for (const auto& [text, mask] : masks) EXPECT_EQ(ParseHexMask(text), mask) << text;
    // "\xC2\xA7" holds the key byte itself, which scrambles to zero.
    const std::string text = "<r a=\"\xC2\xA7\"/>\r\n";
    const std::string scrambled = ScrambleExpandTaskText(text);
    ASSERT_EQ(scrambled.size(), text.size());
    EXPECT_EQ(static_cast<unsigned char>(scrambled[0]), static_cast<unsigned char>('<' ^ 0xA7));
    EXPECT_EQ(scrambled[7], '\0');
    EXPECT_EQ(ScrambleExpandTaskText(scrambled), text);
    EXPECT_EQ(UnscrambleText(scrambled), text);
    EXPECT_EQ(Md5HexOfBytes(""), "d41d8cd98f00b204e9800998ecf8427e");  // RFC 1321 vectors
    EXPECT_EQ(Md5HexOfBytes("abc"), "900150983cd24fb0d6963f7d28e17f72");
    // Fed in pieces, larger than one read chunk.
    QMD5 md5;
    const std::string block(100000, 'a');
    ASSERT_TRUE(md5.ok() && md5.Update(block.data(), 1) && md5.Update(block.data() + 1, block.size() - 1));
    Md5Digest digest{};
    ASSERT_TRUE(md5.Final(digest));
    EXPECT_EQ(Md5Hex(digest), Md5HexOfBytes(block));
    EXPECT_FALSE(md5.Update("x", 1));  // finished
}

TEST(RunExeTag, StartsVerifiedProgramWithQuotedPathAndParam) {
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"with blank").c_str(), nullptr));
    const std::wstring program = Helper(dir, L"with blank\\helper copy.exe");
    const std::wstring param = L"--ms 0 --log \"" + (dir / L"run.log") + L"\"";
    std::string md5 = FileMd5(program);
    for (char& c : md5) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));  // any case matches
    EXPECT_EQ(RunTag(ExecuteXml(program, md5, param)), Outcome(1, kTagExeStarted));
    ASSERT_TRUE(WaitForLine(dir / L"run.log", kChildWaitMs));
    const std::string line = base::WideToUtf8(L"\"" + program + L"\" " + param);
    EXPECT_EQ(ReadLines(dir / L"run.log"), std::vector<std::string>{line});
    // The child ends by itself; its image can go once it has.
    EXPECT_TRUE(WaitUntil([&] { return ::DeleteFileW(program.c_str()) != FALSE; }));
}

TEST(RunExeTag, ResultCodesOfFailuresAndRefusedPaths) {
    TempDir dir;
    const std::wstring program = Helper(dir);
    const std::string md5 = FileMd5(program);
    std::string wrong = md5;
    wrong[0] = wrong[0] == '0' ? '1' : '0';
    ASSERT_TRUE(WriteBytes(dir / L"notes.exe", "plain text, no image"));
    ASSERT_TRUE(::CreateDirectoryW((dir / L"sub").c_str(), nullptr));
    const std::wstring param = L"--ms 0 --log \"" + (dir / L"never.log") + L"\"";
    const std::pair<std::string, int> cases[] = {
        {"<execute path=\"" + base::XmlEscape(program) + "\"/>", kTagExeInvalid},  // path and md5 needed, param optional
        {"<execute md5=\"" + md5 + "\"/>", kTagExeInvalid},
        {"<execute path=\"\" md5=\"" + md5 + "\"/>", kTagExeEmptyPath},
        {ExecuteXml(dir / L"absent.exe", md5), kTagExeMissing},
        {ExecuteXml(dir.path(), md5), kTagExeMissing},  // a directory
        {ExecuteXml(program, wrong), kTagExeDigestMismatch},
        {ExecuteXml(program, ""), kTagExeDigestMismatch},
        {ExecuteXml(dir / L"notes.exe", FileMd5(dir / L"notes.exe")), kTagExeNotStarted},  // verified, no program
        // The file exists and matches, but through a climbing or device-namespace path.
        {ExecuteXml(dir / L"sub\\..\\helper.exe", md5, param), kTagExeNotStarted},
        {ExecuteXml(L"\\\\?\\" + program, md5, param), kTagExeNotStarted},
    };
    for (const auto& [xml, code] : cases) EXPECT_EQ(RunTag(xml), Outcome(0, code)) << xml;
    // A file that cannot be read cannot be verified: an empty md5 must not let it run.
    base::unique_hfile exclusive(::CreateFileW(program.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(exclusive);
    EXPECT_EQ(RunTag(ExecuteXml(program, "", param)), Outcome(0, kTagExeDigestMismatch));
    ::Sleep(200);
    EXPECT_FALSE(Exists(dir / L"never.log"));
}

TEST(CopyFileTag, CopiesOverExistingDestination) {
    TempDir dir;
    const std::string content(70000, 'q');
    ASSERT_TRUE(WriteBytes(dir / L"src.bin", content));
    ASSERT_TRUE(WriteBytes(dir / L"dest.bin", "old and shorter"));
    EXPECT_EQ(RunTag(CopyXml(dir / L"src.bin", dir / L"dest.bin")), Outcome(1, 0));  // success reports nothing
    EXPECT_EQ(ReadBytes(dir / L"dest.bin"), content);
    // Names with two dots next to letters, and non-ASCII names, are ordinary.
    const std::wstring wide = dir / L"\x76EE\x6807..copy.bin";
    EXPECT_EQ(RunTag(CopyXml(dir / L"src.bin", wide)), Outcome(1, 0));
    EXPECT_EQ(ReadBytes(wide), content);
}

TEST(CopyFileTag, ResultCodesOfFailuresAndRefusedPaths) {
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"sub").c_str(), nullptr));
    const std::wstring src = dir / L"src.txt";
    ASSERT_TRUE(WriteBytes(src, "data"));
    const std::pair<std::string, int> cases[] = {
        {"<copyfile srcfile=\"" + base::XmlEscape(src) + "\"/>", kTagCopyInvalid},
        {"<copyfile destfile=\"" + base::XmlEscape(src) + "\"/>", kTagCopyInvalid},
        {"<copyfile srcfile=\"\" destfile=\"" + base::XmlEscape(src) + "\"/>", kTagCopyEmptyPath},
        {"<copyfile srcfile=\"" + base::XmlEscape(src) + "\" destfile=\"\"/>", kTagCopyEmptyPath},
        {CopyXml(dir / L"absent.txt", dir / L"out.txt"), kTagCopySourceMissing},
        {CopyXml(src, dir / L"nodir\\out.txt"), kTagCopyFailed},  // the destination's directory is not made
        // Refused paths on either side (the rule itself is TagRules'): the copy would land in the parent.
        {CopyXml(src, dir / L"sub\\..\\out1.txt"), kTagCopyFailed},
        {CopyXml(dir / L"sub\\..\\src.txt", dir / L"out2.txt"), kTagCopyFailed},
        {CopyXml(src, dir / L"out3.txt:hidden"), kTagCopyFailed},
    };
    for (const auto& [xml, code] : cases) EXPECT_EQ(RunTag(xml), Outcome(0, code)) << xml;
    for (const wchar_t* name : {L"nodir", L"out1.txt", L"out2.txt", L"out3.txt"}) {
        EXPECT_FALSE(Exists(dir / name)) << base::WideToUtf8(name);
    }
}

TEST(TagMacros, BothActionsExpandMacroPaths) {
    std::wstring temp;
    ASSERT_TRUE(removal::ExpandEnvVar(L"%TEMP%\\", temp));
    const TempDir inTemp(L"tagmacro", temp);
    const std::wstring& dir = inTemp.path();
    const std::wstring name = dir.substr(temp.size(), dir.size() - temp.size() - 1);
    ASSERT_TRUE(WriteBytes(dir + L"in.txt", "macro copy"));
    EXPECT_EQ(RunTag(CopyXml(L"%TEMP%/" + name + L"/in.txt", L"%TEMP%\\" + name + L"\\\\out.txt")), Outcome(1, 0));
    EXPECT_EQ(ReadBytes(dir + L"out.txt"), "macro copy");
    ASSERT_TRUE(::CopyFileW((BinDir() + L"sleeper.exe").c_str(), (dir + L"helper.exe").c_str(), FALSE));
    std::unique_ptr<ITag> tag = ParseTag(ExecuteXml(L"%TEMP%/" + name + L"//helper.exe", FileMd5(dir + L"helper.exe"),
                                                    L"--ms 0 --log \"" + dir + L"macro.log\""));
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->Execute(), 1);
    EXPECT_EQ(static_cast<CRunExeTag*>(tag.get())->path(), dir + L"helper.exe");
    ASSERT_TRUE(WaitForLine(dir + L"macro.log", kChildWaitMs));
    EXPECT_TRUE(WaitUntil([&] { return ::DeleteFileW((dir + L"helper.exe").c_str()) != FALSE; }));
}

TEST(AvoidProductTag, MaskAgainstInstalledProductsAskedAtEachRun) {
    uint32_t installed = 0;
    int searches = 0;
    const auto run = [&](const std::string& xml, uint32_t products) {
        installed = products;
        CAvoidProductTag tag([&] {
            ++searches;
            return installed;
        });
        XmlConfigDocument doc;
        EXPECT_TRUE(doc.LoadText(xml));
        doc.SelectPath(nullptr);
        tag.Parse(doc);
        const int result = tag.Execute();
        return Outcome(result, tag.last_result());
    };
    EXPECT_EQ(run("<avoidproduct aovid=\"3\"/>", 4), Outcome(1, 0));
    EXPECT_EQ(run("<avoidproduct aovid=\"3\"/>", 2), Outcome(0, kTagProductInstalled));
    EXPECT_EQ(run("<avoidproduct aovid=\"0x10\"/>", 0x10), Outcome(0, kTagProductInstalled));
    EXPECT_EQ(searches, 3);  // once per run, never cached
    // Without the attribute the mask is 0: nothing is avoided.
    EXPECT_EQ(run("<avoidproduct avoid=\"3\"/>", 0xFFFFFFFFu), Outcome(1, 0));
}

TEST(TagReport, NeedReportCreatesTheReportObject) {
    TempDir noLibrary;
    report::ReportSdkHolder::SetDirectoryForTesting(noLibrary.path());
    report::ConnectTagReports();
    std::unique_ptr<ITag> quiet = ParseTag("<copyfile srcfile=\"\" destfile=\"\"/>");
    ASSERT_TRUE(quiet);
    quiet->SetContext(0, 7, 8);
    quiet->Execute();
    EXPECT_EQ(quiet->last_result(), kTagCopyEmptyPath);
    EXPECT_EQ(report::ReportSdkHolder::Instance().use_count(), 0u);
    std::unique_ptr<ITag> reporting = ParseTag("<execute path=\"\" md5=\"\"/>");
    ASSERT_TRUE(reporting);
    reporting->SetContext(1, 7, 8);
    EXPECT_EQ(reporting->src(), 7);
    EXPECT_EQ(reporting->senceid(), 8);
    reporting->Execute();
    EXPECT_EQ(reporting->last_result(), kTagExeEmptyPath);
    EXPECT_EQ(report::ReportSdkHolder::Instance().use_count(), 1u);  // held by the report object
}

TEST(TagKinds, ElementNamesCaseInsensitiveAndExact) {
    EXPECT_TRUE(dynamic_cast<CRunExeTag*>(CreateTag(L"EXECUTE").get()));
    EXPECT_TRUE(dynamic_cast<CCopyFileTag*>(CreateTag(L"CopyFile").get()));
    EXPECT_TRUE(dynamic_cast<CAvoidProductTag*>(CreateTag(L"avoidProduct").get()));
    for (const wchar_t* name : {L"executex", L" execute", L""}) EXPECT_FALSE(CreateTag(name)) << base::WideToUtf8(name);
}

TEST(ExpandTaskStop, GroupsStopByTheConditionAndRunOnce) {
    // Actions "o" succeed and "f" fail; each group's actions are named b1, b2, ... and a1, a2, ...
    const struct {
        const char* root;
        const char* before;
        const char* after;
        int beforeResult;  // the last action's result, 0 as well when the group stopped
        int afterResult;
        const char* ran;  // the succeeding actions that ran
        size_t queued;    // actions left queued until the process ends
        int stopFlag;     // after the before-group; -1: not judged
    } cases[] = {
        // A failed before-action stops everything; the flag is shared with the after-group.
        {"needbeforecondition=\"1\"", "fo", "o", 0, 1, "", 2, 1},
        {"needbeforecondition=\"0\"", "fo", "foo", 1, 1, "b2 a2 a3", 0, -1},
        // With the condition the after-group ends after its first success.
        {"needbeforecondition=\"1\"", "oo", "foo", 1, 1, "b1 b2 a2", 1, 0},
        {"", "of", "", 0, 1, "b1", 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.root) + " " + c.before + " " + c.after);
        Actions a;
        const auto group = [&](const char* kinds, const wchar_t* prefix) {
            std::string xml;
            for (size_t i = 0; kinds[i]; ++i) {
                const std::wstring name = prefix + std::to_wstring(i + 1);
                xml += kinds[i] == 'o' ? a.Ok(name) : a.Fail(name);
            }
            return xml;
        };
        ExpandTaskList list;
        ASSERT_TRUE(list.LoadText(Document(c.root, group(c.before, L"b"), group(c.after, L"a"))));
        EXPECT_EQ(list.RunBefore(), c.beforeResult);
        if (c.stopFlag >= 0) {
            EXPECT_EQ(list.stop_flag(), c.stopFlag);
        }
        EXPECT_EQ(list.RunAfter(), c.afterResult);
        EXPECT_EQ(a.TakeRan(), c.ran);
        EXPECT_EQ(list.before_count() + list.after_count(), c.queued);
        // Later calls (the farewell page closed again) run nothing anew.
        EXPECT_EQ(list.RunBefore(), 1);
        EXPECT_EQ(list.RunAfter(), 1);
        EXPECT_EQ(a.TakeRan(), "");
    }
}

TEST(ExpandTaskLoad, RootValuesReachEveryAction) {
    Actions a;
    ExpandTaskList list;
    ASSERT_TRUE(list.LoadText(Document("needbeforecondition=\"2\" needreport=\"0\" src=\"17\" senceid=\"x9\"",
                                       a.Ok(L"b1") + "<EXECUTE path=\"p\" md5=\"m\"/>",
                                       "<avoidproduct aovid=\"3\"/>")));
    EXPECT_EQ(list.needbeforecondition(), 2);
    EXPECT_EQ(list.src(), 17);
    EXPECT_EQ(list.senceid(), 0);  // does not parse: stays 0
    ASSERT_EQ(list.before_count(), 2u);
    ASSERT_EQ(list.after_count(), 1u);
    EXPECT_EQ(list.before_at(1)->src(), 17);
    EXPECT_EQ(list.after_at(0)->src(), 17);
    EXPECT_EQ(list.after_at(0)->senceid(), 0);
    const auto* run = dynamic_cast<const CRunExeTag*>(list.before_at(1));
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->path(), L"p");
    EXPECT_EQ(run->param(), L"");
    const auto* avoid = dynamic_cast<const CAvoidProductTag*>(list.after_at(0));
    ASSERT_NE(avoid, nullptr);
    EXPECT_EQ(avoid->mask(), 3u);
}

TEST(ExpandTaskLoad, UnknownAndInvalidActionsAmongGoodOnes) {
    Actions a;
    ExpandTaskList list;
    // Unknown names create nothing; an action missing an attribute is queued,
    // fails when run, and the later ones still run without the condition.
    ASSERT_TRUE(list.LoadText(Document("", a.Ok(L"b1") + "<executex path=\"x\" md5=\"y\"/><note/>" +
                                               "<copyfile srcfile=\"x\"/>" + a.Ok(L"b2"),
                                       "")));
    EXPECT_EQ(list.before_count(), 3u);
    EXPECT_EQ(list.RunBefore(), 1);
    EXPECT_TRUE(a.Ran(L"b1"));
    EXPECT_TRUE(a.Ran(L"b2"));
}

TEST(ExpandTaskLoad, BrokenOrPartialFilesKeepWhatWasBuiltBeforeTheError) {
    Actions a;
    std::string deep;
    for (size_t i = 0; i < base::kMaxXmlDepth; ++i) deep += "<x>";
    const struct {
        std::string xml;
        bool loads;  // both groups read
        size_t queued;
        int beforeResult;
        int afterResult;  // 0 whenever the file did not load
        const char* ran;
    } cases[] = {
        // The text breaks off inside the third action's attribute list, which lacks its destination.
        {"<tasks><before>" + a.Ok(L"b1") + a.Ok(L"b2") + "<copyfile srcfile=\"" + base::XmlEscape(a / L"src.txt") + "\" destf",
         false, 3, 0, 0, "b1 b2"},
        // A wrong closing tag after the before-group: the after-group is never built.
        {"<tasks><before>" + a.Ok(L"b1") + "</after><after>" + a.Ok(L"a1") + "</after></tasks>", false, 1, 1, 0, "b1"},
        // The groups load independently; their names are case-sensitive, the root's name is free.
        {"<tasks><before>" + a.Ok(L"b1") + "</before></tasks>", false, 1, 1, 0, "b1"},
        {"<tasks><after>" + a.Ok(L"a1") + "</after></tasks>", true, 1, 1, 1, "a1"},
        {"<anything><Before>" + a.Ok(L"b1") + "</Before><AFTER/></anything>", false, 0, 1, 0, ""},
        // A file nested too deep keeps nothing: the nesting is measured before anything is parsed.
        {Document("", a.Ok(L"b1"), a.Ok(L"a1") + deep), false, 0, 1, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        ExpandTaskList list;
        EXPECT_EQ(list.LoadText(c.xml), c.loads);
        EXPECT_EQ(list.before_count() + list.after_count(), c.queued);
        EXPECT_EQ(list.RunBefore(), c.beforeResult);
        EXPECT_EQ(list.RunAfter(), c.afterResult);
        EXPECT_EQ(a.TakeRan(), c.ran);
    }
}

TEST(ExpandTaskLoad, MissingEmptyOrRootlessFileDoesNothing) {
    TempDir dir;
    for (const std::string& content : {std::string(), ScrambleExpandTaskText("not xml at all"),
                                       ScrambleExpandTaskText("<!-- only a comment -->")}) {
        ExpandTaskList list;
        if (!content.empty()) {
            ASSERT_TRUE(WriteBytes(dir / L"expandtask.dat", content));
        }
        EXPECT_FALSE(list.Load(dir / L"expandtask.dat"));
        EXPECT_FALSE(list.loaded());
        EXPECT_EQ(list.RunBefore(), 1);
        EXPECT_EQ(list.RunAfter(), 0);
    }
}

TEST(ExpandTaskLoad, WriterToolFileWithNonAsciiPaths) {
    Actions a;
    // U+4E27 is E4 B8 A7 in UTF-8: its last byte is the scrambling key.
    const std::wstring dest = L"\x4E27\x76EE\x6807.txt";
    const std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<tasks needbeforecondition=\"1\"><before>" +
                            a.Ok(dest) + "</before><after>" + a.Ok(L"a1") + "</after></tasks>";
    ASSERT_TRUE(WriteBytes(a / L"actions.xml", xml));
    const auto writer = RunProcess(
        BinDir() + L"expandtask_writer.exe",
        L"\"" + (a / L"actions.xml") + L"\" \"" + (a / kExpandTaskFileName) + L"\"");
    ASSERT_TRUE(writer.finished);
    ASSERT_EQ(writer.exitCode, 0u);
    EXPECT_EQ(ReadBytes(a / kExpandTaskFileName), ScrambleExpandTaskText(xml));
    ExpandTaskList list;
    ASSERT_TRUE(list.Load(a / kExpandTaskFileName));
    EXPECT_EQ(list.RunBefore(), 1);
    EXPECT_EQ(ReadBytes(a / dest), "payload");
    EXPECT_EQ(list.RunAfter(), 1);
    EXPECT_TRUE(a.Ran(L"a1"));
}
