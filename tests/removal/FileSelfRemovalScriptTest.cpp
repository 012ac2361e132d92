#include <gtest/gtest.h>

#include "base/text.h"
#include "removal/FileRemoval.h"
#include "removal/Paths.h"
#include "removal/ProtectedFolders.h"
#include "removal/SelfRemovalScript.h"
#include "support/TestSupport.h"
#include "base/platform.h"

using namespace testing_support;

namespace {

constexpr UINT kWestern = 1252;

enum class LastLine { kWithContents, kIfEmpty, kNone, kNoScript };

// The script for an uninstaller at dir + "uninst.exe".
std::string Script(const std::wstring& dir, bool manifestFound, UINT codePage, bool& written) {
    // The shape of the platform's folders: profile, shell folders, Windows, programs.
    const std::vector<std::wstring> folders = {L"C:\\Users\\Lumenox", L"C:\\Users\\Lumenox\\Downloads\\",
                                               L"C:\\Users\\Lumenox\\Documents", L"C:\\Windows",
                                               L"C:/Program Files/", L"D:\\Photos\\Pictures"};
    std::string bytes = "untouched";
    written = removal::SelfRemovalScriptBytes({dir, dir + L"uninst.exe", dir, manifestFound}, folders, codePage, bytes);
    return bytes;
}

std::string Expected(const std::string& dir, LastLine last) {
    if (last == LastLine::kNoScript) return {};
    std::string text = "ping -n 3 127.0>nul\r\n\r\n"
                       "del \"" + dir + "installconfig.xml\" /f /q \r\n\r\n"
                       "del \"" + dir + "uninst.exe\" /f /q \r\n\r\n";
    if (last == LastLine::kWithContents) text += "rd \"" + dir + "\" /s /q \r\n\r\n";
    if (last == LastLine::kIfEmpty) text += "rd \"" + dir + "\" \r\n\r\n";
    return text;
}

}  // namespace

TEST(FileSelfRemovalScript, TextPerPathAndManifest) {
    struct Case {
        const wchar_t* dir;
        bool manifestFound;
        UINT codePage;
        const char* dirBytes;  // the directory as written into the script
        LastLine last;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Lumenox\\", true, kWestern, "C:\\Program Files\\Lumenox\\", LastLine::kWithContents},
        {L"C:\\Program Files\\Lumenox\\", false, kWestern, "C:\\Program Files\\Lumenox\\", LastLine::kIfEmpty},
        {L"D:\\Tools\\Viewer\\", true, kWestern, "D:\\Tools\\Viewer\\", LastLine::kIfEmpty},
        {L"C:\\Users\\Lumenox\\Downloads\\lumenox\\", true, kWestern, "C:\\Users\\Lumenox\\Downloads\\lumenox\\",
         LastLine::kWithContents},
        // "%" doubled: read once, "50%off\lumenox 2%" is no variable reference.
        {L"C:\\Q\\50%off\\lumenox 2%\\", true, kWestern, "C:\\Q\\50%%off\\lumenox 2%%\\", LastLine::kWithContents},
        {L"C:\\Caf\u00e9\\lumenox\\", true, kWestern, "C:\\Caf\xE9\\lumenox\\", LastLine::kWithContents},
        {L"C:\\\u4e2d\\lumenox\\", true, CP_UTF8, "C:\\\xE4\xB8\xAD\\lumenox\\", LastLine::kWithContents},
        // A fullwidth quote would best-fit to '"', an unmappable character to '?'.
        {L"C:\\Q\\x\uFF02 \uFF02\\lumenox\\", true, kWestern, "", LastLine::kNoScript},
        {L"C:\\Q\\\u4e2d\\lumenox\\", true, kWestern, "", LastLine::kNoScript},
        // Volume roots, shell folders and the folders holding them stay, even empty.
        {L"C:\\", true, kWestern, "C:\\", LastLine::kNone},
        {L"\\\\lumenox\\share\\", true, kWestern, "\\\\lumenox\\share\\", LastLine::kNone},
        {L"C:\\Users\\Lumenox\\", true, kWestern, "C:\\Users\\Lumenox\\", LastLine::kNone},
        {L"c:\\users\\lumenox\\downloads\\", false, kWestern, "c:\\users\\lumenox\\downloads\\", LastLine::kNone},
        {L"C:\\Users\\", false, kWestern, "C:\\Users\\", LastLine::kNone},
        {L"C:\\Program Files\\", true, kWestern, "C:\\Program Files\\", LastLine::kNone},
        {L"D:\\Photos\\", false, kWestern, "D:\\Photos\\", LastLine::kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dirBytes);
        bool written = false;
        EXPECT_EQ(Script(c.dir, c.manifestFound, c.codePage, written), Expected(c.dirBytes, c.last));
        EXPECT_EQ(written, c.last != LastLine::kNoScript);
    }
}

TEST(FileSelfRemovalScript, PathIsTickInLowerHexInTemp) {
    EXPECT_EQ(removal::SelfRemovalScriptPath(L"C:\\T", 0xAB12F), L"C:\\T\\ab12f.bat");
    EXPECT_EQ(removal::SelfRemovalScriptPath(L"C:\\T", 0xFFFFFFFFu), L"C:\\T\\ffffffff.bat");
    EXPECT_EQ(removal::SelfRemovalScriptPath(L"C:\\T", 0), L"C:\\T\\0.bat");
}

TEST(FileSelfRemovalScript, WritesScriptForTheRunningExecutableIntoTemp) {
    std::wstring scriptPath;
    removal::WriteSelfRemovalScript(scriptPath, false);
    wchar_t temp[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    EXPECT_EQ(scriptPath.rfind(std::wstring(temp) + L"\\", 0), 0u);
    ASSERT_GT(scriptPath.size(), 4u);
    EXPECT_EQ(scriptPath.substr(scriptPath.size() - 4), L".bat");
    const std::string bytes = ReadBytes(scriptPath);
    ::DeleteFileW(scriptPath.c_str());
    EXPECT_NE(bytes.find("test_removal.exe\" /f /q \r\n"), std::string::npos);
    // No manifest found: the test program's directory goes only if empty.
    EXPECT_NE(bytes.find("\" \r\n\r\n", bytes.find("rd \"")), std::string::npos);
}

TEST(FileSelfRemovalScript, NoScriptWithoutTemp) {
    wchar_t saved[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"TEMP", saved, MAX_PATH);
    ::SetEnvironmentVariableW(L"TEMP", nullptr);
    std::wstring scriptPath = L"stale";
    removal::WriteSelfRemovalScript(scriptPath, true);
    if (length > 0) ::SetEnvironmentVariableW(L"TEMP", saved);
    EXPECT_TRUE(scriptPath.empty());
}

TEST(FileSelfRemovalScript, PlatformFoldersAreProtected) {
    const std::vector<std::wstring> folders = removal::SystemAndShellFolders();
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    wchar_t profile[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    for (const std::wstring& dir : {std::wstring(windows), std::wstring(profile) + L"\\", std::wstring(L"C:\\")}) {
        EXPECT_TRUE(removal::IsProtectedFolder(dir, folders)) << base::WideToUtf8(dir);
    }
    TempDir temp(L"plain");
    EXPECT_FALSE(removal::IsProtectedFolder(temp.path(), folders));
}

// The script runs from a folder whose name the command line must quote
// whole (blanks, "&", parentheses); nothing starts without a script.
TEST(SelfRemovalScriptStart, RunsTheScriptWhereverItLies) {
    constexpr int kPolls = 100;
    constexpr DWORD kPollMs = 100;
    TempDir dir(L"start & run (x)");
    const std::wstring script = dir / L"s.bat";
    const std::wstring marker = dir / L"ran.txt";
    ASSERT_TRUE(WriteBytes(script, "echo ran> \"" + base::WideToUtf8(marker) + "\"\r\n"));
    EXPECT_FALSE(removal::StartSelfRemovalScript(L""));
    EXPECT_FALSE(removal::StartSelfRemovalScript(dir / L"missing.bat"));
    ASSERT_TRUE(removal::StartSelfRemovalScript(script));
    for (int i = 0; i < kPolls && !Exists(marker); ++i) ::Sleep(kPollMs);
    EXPECT_TRUE(Exists(marker));
}
