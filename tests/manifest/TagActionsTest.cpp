// The three kinds of extra action against real files, processes and the registry.
#include <gtest/gtest.h>

#include "base/XmlConfigDocument.h"
#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "manifest/ExpandTask.h"
#include "manifest/Md5.h"
#include "manifest/Settings.h"
#include "removal/Paths.h"
#include "report/Report.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"
#include "support/TagSupport.h"
#include "support/TestSupport.h"

using namespace manifest;
using testing_support::BinDir;
using testing_support::Exists;
using testing_support::ParseTag;
using testing_support::ReadBytes;
using testing_support::ReadLines;
using testing_support::TempDir;
using testing_support::WriteBytes;
using base::XmlEscape;

namespace {

constexpr DWORD kChildWaitMs = 10000;

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string FileMd5(const std::wstring& path) { return Md5HexOfBytes(ReadBytes(path)); }

std::string ExecuteXml(const std::wstring& path, const std::string& md5, const std::wstring& param) {
    return "<execute path=\"" + XmlEscape(path) + "\" md5=\"" + md5 + "\" param=\"" + XmlEscape(param) + "\"/>";
}

std::string CopyXml(const std::wstring& src, const std::wstring& dest) {
    return "<copyfile srcfile=\"" + XmlEscape(src) + "\" destfile=\"" + XmlEscape(dest) + "\"/>";
}

// Runs one action and answers (Execute result, reported code).
std::pair<int, int> RunTag(const std::string& xml) {
    std::unique_ptr<ITag> tag = ParseTag(xml);
    if (!tag) return {-1, -1};
    const int result = tag->Execute();
    return {result, tag->last_result()};
}

// A directory below the expanded %TEMP%, for actions that name it through the macro.
class TempMacroDir {
public:
    TempMacroDir() {
        removal::ExpandEnvVar(L"%TEMP%", temp_);
        name_ = L"uninst_tagmacro_" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(path().c_str(), nullptr);
    }
    ~TempMacroDir() { base::RemoveTree(path()); }
    std::wstring path() const { return temp_ + L"\\" + name_ + L"\\"; }
    const std::wstring& name() const { return name_; }

private:
    std::wstring temp_;
    std::wstring name_;
};

}  // namespace

// ---- execute --------------------------------------------------------------------

TEST(RunExeTag, StartsVerifiedProgramWithQuotedPathAndParam) {
    TempDir dir;
    const std::wstring folder = dir / L"with blank\\";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring program = folder + L"helper copy.exe";
    ASSERT_TRUE(::CopyFileW((BinDir() + L"sleeper.exe").c_str(), program.c_str(), FALSE));
    const std::wstring log = dir / L"run.log";
    const std::wstring param = L"--ms 0 --log \"" + log + L"\"";

    // Upper-case digits in the action match the lower-case digest.
    const auto [result, code] = RunTag(ExecuteXml(program, Upper(FileMd5(program)), param));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(code, kTagExeStarted);
    ASSERT_TRUE(testing_support::WaitForLine(log, kChildWaitMs));
    const std::vector<std::string> lines = ReadLines(log);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], base::WideToUtf8(L"\"" + program + L"\" " + param));
    // The child ends by itself; its image can go once it has.
    EXPECT_TRUE(testing_support::WaitUntil([&] { return ::DeleteFileW(program.c_str()) != FALSE; }));
}

TEST(RunExeTag, ExpandsMacroPath) {
    TempMacroDir dir;
    const std::wstring program = dir.path() + L"helper.exe";
    ASSERT_TRUE(::CopyFileW((BinDir() + L"sleeper.exe").c_str(), program.c_str(), FALSE));
    const std::wstring log = dir.path() + L"macro.log";
    std::unique_ptr<ITag> tag = ParseTag(ExecuteXml(L"%TEMP%/" + dir.name() + L"//helper.exe", FileMd5(program),
                                                    L"--ms 0 --log \"" + log + L"\""));
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->Execute(), 1);
    EXPECT_EQ(static_cast<CRunExeTag*>(tag.get())->path(), program);
    ASSERT_TRUE(testing_support::WaitForLine(log, kChildWaitMs));
    EXPECT_TRUE(testing_support::WaitUntil([&] { return ::DeleteFileW(program.c_str()) != FALSE; }));
}

TEST(RunExeTag, ResultCodesOfFailures) {
    TempDir dir;
    const std::wstring program = dir / L"helper.exe";
    ASSERT_TRUE(::CopyFileW((BinDir() + L"sleeper.exe").c_str(), program.c_str(), FALSE));
    const std::string md5 = FileMd5(program);

    // Attribute missing: path or md5; param is optional.
    EXPECT_EQ(RunTag("<execute path=\"" + XmlEscape(program) + "\"/>"), std::make_pair(0, int(kTagExeInvalid)));
    EXPECT_EQ(RunTag("<execute md5=\"" + md5 + "\"/>"), std::make_pair(0, int(kTagExeInvalid)));
    EXPECT_EQ(RunTag("<execute path=\"\" md5=\"" + md5 + "\"/>"), std::make_pair(0, int(kTagExeEmptyPath)));
    EXPECT_EQ(RunTag(ExecuteXml(dir / L"absent.exe", md5, L"")), std::make_pair(0, int(kTagExeMissing)));
    EXPECT_EQ(RunTag(ExecuteXml(dir.path(), md5, L"")), std::make_pair(0, int(kTagExeMissing)));  // a directory
    std::string wrong = md5;
    wrong[0] = wrong[0] == '0' ? '1' : '0';
    EXPECT_EQ(RunTag(ExecuteXml(program, wrong, L"")), std::make_pair(0, int(kTagExeDigestMismatch)));
    EXPECT_EQ(RunTag(ExecuteXml(program, "", L"")), std::make_pair(0, int(kTagExeDigestMismatch)));
    // A verified file that is no program does not start.
    const std::wstring text = dir / L"notes.exe";
    ASSERT_TRUE(WriteBytes(text, "plain text, no image"));
    EXPECT_EQ(RunTag(ExecuteXml(text, FileMd5(text), L"")), std::make_pair(0, int(kTagExeNotStarted)));
}

TEST(RunExeTag, RefusedPathsStartNothing) {
    TempDir dir;
    const std::wstring program = dir / L"helper.exe";
    ASSERT_TRUE(::CopyFileW((BinDir() + L"sleeper.exe").c_str(), program.c_str(), FALSE));
    const std::string md5 = FileMd5(program);
    const std::wstring log = dir / L"never.log";
    const std::wstring param = L"--ms 0 --log \"" + log + L"\"";
    // The file exists and matches, but through a climbing or device-namespace path.
    const std::wstring climbing = dir / L"sub\\..\\helper.exe";
    ASSERT_TRUE(::CreateDirectoryW((dir / L"sub").c_str(), nullptr));
    EXPECT_EQ(RunTag(ExecuteXml(climbing, md5, param)), std::make_pair(0, int(kTagExeNotStarted)));
    EXPECT_EQ(RunTag(ExecuteXml(L"\\\\?\\" + program, md5, param)), std::make_pair(0, int(kTagExeNotStarted)));
    ::Sleep(200);
    EXPECT_FALSE(Exists(log));
}

// An empty "md5" must not let a file that cannot be read (so cannot be
// verified) run: a digest that cannot be computed matches nothing.
TEST(RunExeTag, UnreadableProgramNeverPassesDigestCheck) {
    TempDir dir;
    const std::wstring program = dir / L"locked.exe";
    ASSERT_TRUE(::CopyFileW((BinDir() + L"sleeper.exe").c_str(), program.c_str(), FALSE));
    base::unique_hfile exclusive(::CreateFileW(program.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(exclusive);
    EXPECT_EQ(RunTag(ExecuteXml(program, "", L"--ms 0")), std::make_pair(0, int(kTagExeDigestMismatch)));
}

// ---- copyfile -------------------------------------------------------------------

TEST(CopyFileTag, CopiesOverExistingDestination) {
    TempDir dir;
    const std::string content(70000, 'q');
    ASSERT_TRUE(WriteBytes(dir / L"src.bin", content + "end"));
    ASSERT_TRUE(WriteBytes(dir / L"dest.bin", "old and shorter"));
    EXPECT_EQ(RunTag(CopyXml(dir / L"src.bin", dir / L"dest.bin")), std::make_pair(1, 0));  // success reports nothing
    EXPECT_EQ(FileMd5(dir / L"dest.bin"), FileMd5(dir / L"src.bin"));
    EXPECT_EQ(FileMd5(dir / L"dest.bin"), Md5HexOfBytes(content + "end"));
    // Names with two dots next to letters, and non-ASCII names, are ordinary.
    const std::wstring wide = dir / L"\x76EE\x6807..copy.bin";
    EXPECT_EQ(RunTag(CopyXml(dir / L"src.bin", wide)), std::make_pair(1, 0));
    EXPECT_EQ(FileMd5(wide), FileMd5(dir / L"src.bin"));
}

TEST(CopyFileTag, ExpandsMacrosInBothPaths) {
    TempMacroDir dir;
    ASSERT_TRUE(WriteBytes(dir.path() + L"in.txt", "macro copy"));
    EXPECT_EQ(RunTag(CopyXml(L"%TEMP%/" + dir.name() + L"/in.txt", L"%TEMP%\\" + dir.name() + L"\\\\out.txt")),
              std::make_pair(1, 0));
    EXPECT_EQ(ReadBytes(dir.path() + L"out.txt"), "macro copy");
}

TEST(CopyFileTag, ResultCodesOfFailures) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"src.txt", "data"));
    const std::string src = XmlEscape(dir / L"src.txt");
    EXPECT_EQ(RunTag("<copyfile srcfile=\"" + src + "\"/>"), std::make_pair(0, int(kTagCopyInvalid)));
    EXPECT_EQ(RunTag("<copyfile destfile=\"" + src + "\"/>"), std::make_pair(0, int(kTagCopyInvalid)));
    EXPECT_EQ(RunTag("<copyfile srcfile=\"\" destfile=\"" + src + "\"/>"), std::make_pair(0, int(kTagCopyEmptyPath)));
    EXPECT_EQ(RunTag("<copyfile srcfile=\"" + src + "\" destfile=\"\"/>"), std::make_pair(0, int(kTagCopyEmptyPath)));
    EXPECT_EQ(RunTag(CopyXml(dir / L"absent.txt", dir / L"out.txt")), std::make_pair(0, int(kTagCopySourceMissing)));
    // The destination's directory is not created.
    EXPECT_EQ(RunTag(CopyXml(dir / L"src.txt", dir / L"nodir\\out.txt")), std::make_pair(0, int(kTagCopyFailed)));
    EXPECT_FALSE(Exists(dir / L"nodir"));
}

TEST(CopyFileTag, RefusesPathsLeavingTheirPlace) {
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"sub").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(dir / L"src.txt", "data"));
    const auto refused = std::make_pair(0, int(kTagCopyFailed));
    // A ".." component would land the copy in the parent: refused in either path.
    EXPECT_EQ(RunTag(CopyXml(dir / L"src.txt", dir / L"sub\\..\\out1.txt")), refused);
    EXPECT_EQ(RunTag(CopyXml(dir / L"sub\\..\\src.txt", dir / L"out2.txt")), refused);
    EXPECT_EQ(RunTag(CopyXml(dir / L"src.txt", dir / L"sub/ ../out3.txt")), refused);
    EXPECT_FALSE(Exists(dir / L"out1.txt"));
    EXPECT_FALSE(Exists(dir / L"out2.txt"));
    EXPECT_FALSE(Exists(dir / L"out3.txt"));
    // Streams, devices and the device namespace.
    EXPECT_EQ(RunTag(CopyXml(dir / L"src.txt", dir / L"out4.txt:hidden")), refused);
    EXPECT_FALSE(Exists(dir / L"out4.txt"));
    EXPECT_EQ(RunTag(CopyXml(dir / L"src.txt", dir / L"NUL")), refused);
    EXPECT_EQ(RunTag(CopyXml(dir / L"src.txt", L"\\\\?\\" + dir.path() + L"out5.txt")), refused);
    EXPECT_FALSE(Exists(dir / L"out5.txt"));
    // A destination of 260 characters or more.
    std::wstring longDest = dir.path();
    longDest.append(base::kMaxPathChars - longDest.size(), L'x');
    EXPECT_EQ(RunTag(CopyXml(dir / L"src.txt", longDest)), refused);
}

// ---- avoidproduct ---------------------------------------------------------------

TEST(AvoidProductTag, MaskAgainstInstalledProducts) {
    auto run = [](const std::string& xml, uint32_t installed) {
        CAvoidProductTag tag([installed] { return installed; });
        base::XmlConfigDocument doc;
        EXPECT_TRUE(doc.LoadText(xml));
        doc.SelectPath(nullptr);
        tag.Parse(doc);
        const int result = tag.Execute();
        return std::make_pair(result, tag.last_result());
    };
    EXPECT_EQ(run("<avoidproduct aovid=\"3\"/>", 4), std::make_pair(1, 0));
    EXPECT_EQ(run("<avoidproduct aovid=\"3\"/>", 2), std::make_pair(0, int(kTagProductInstalled)));
    EXPECT_EQ(run("<avoidproduct aovid=\"0x10\"/>", 0x10), std::make_pair(0, int(kTagProductInstalled)));
    // Without the attribute the mask is 0: nothing is avoided.
    EXPECT_EQ(run("<avoidproduct avoid=\"3\"/>", 0xFFFFFFFFu), std::make_pair(1, 0));
}

TEST(AvoidProductTag, RealProductSearchData) {
    constexpr wchar_t kRoot[] = L"Software\\uninst_test_tag_products";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kRoot);
    struct KeyCleanup {
        const wchar_t* root;
        ~KeyCleanup() { ::RegDeleteTreeW(HKEY_CURRENT_USER, root); }
    } cleanup{kRoot};
    base::unique_hkey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kRoot) + L"\\Uninstall\\Other Photo Studio").c_str(),
                                0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);

    TempDir dir;
    const std::string root = base::WideToUtf8(kRoot);
    ASSERT_TRUE(WriteBytes(dir / L"payload.xml",
                           "<list><product id=\"2\"><method2><path hkey=\"HKCU\" path=\"" + root +
                               "\\Uninstall\"><item keyword=\"photo studio\"/></path></method2></product>"
                               "<product id=\"3\"><method2><path hkey=\"HKCU\" path=\"" + root +
                               "\\Uninstall\"><item keyword=\"absent\"/></path></method2></product></list>"));
    const auto writer = testing_support::RunProcess(
        BinDir() + L"lminfo_writer.exe",
        L"\"" + (dir / L"payload.xml") + L"\" \"" + (dir / kProductSearchFileName) + L"\"");
    ASSERT_TRUE(writer.finished);
    ASSERT_EQ(writer.exitCode, 0u);

    int searches = 0;
    auto installed = [&] {
        ++searches;
        return ComputeInstalledProductMask(dir.path());
    };
    auto run = [&](const std::string& xml) {
        CAvoidProductTag tag(installed);
        base::XmlConfigDocument doc;
        EXPECT_TRUE(doc.LoadText(xml));
        doc.SelectPath(nullptr);
        tag.Parse(doc);
        const int result = tag.Execute();
        return std::make_pair(result, tag.last_result());
    };
    EXPECT_EQ(run("<avoidproduct aovid=\"2\"/>"), std::make_pair(0, int(kTagProductInstalled)));  // id 2: bit 1
    EXPECT_EQ(run("<avoidproduct aovid=\"5\"/>"), std::make_pair(1, 0));                           // ids 1 and 3
    EXPECT_EQ(searches, 2);
}

// ---- common -----------------------------------------------------------------------

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
    EXPECT_FALSE(CreateTag(L"executex"));
    EXPECT_FALSE(CreateTag(L" execute"));
    EXPECT_FALSE(CreateTag(L""));
}
