// Start-menu entries: one folder below the all-users programs folder goes with
// its content; nothing outside it, nor the programs folder itself, is touched.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "base/XmlConfigDocument.h"
#include "base/text.h"
#include "manifest/Shortcut.h"
#include "support/ManifestSupport.h"
#include "support/TestSupport.h"

using manifest::CStartMenu;
using base::XmlConfigDocument;
using testing_support::Exists;
using testing_support::IsDirectory;
using testing_support::RecordingShell;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

int RunStartMenu(const manifest::ShellEnvironment& env, const std::string& attributes) {
    XmlConfigDocument doc;
    if (!doc.LoadText("<config mode=\"startmenu\" " + attributes + "/>") || !doc.SelectPath("")) return -1;
    CStartMenu entry(L"C:\\Lumenox\\lumenox.exe", env);
    return entry.Execute(doc);
}

// A folder with a file and a subfolder with a file.
void MakeTree(const std::wstring& dir) {
    ::CreateDirectoryW(dir.c_str(), nullptr);
    ::CreateDirectoryW((dir + L"\\sub").c_str(), nullptr);
    WriteBytes(dir + L"\\Lumenox.lnk", "lnk");
    WriteBytes(dir + L"\\sub\\Uninstall.lnk", "lnk");
}

std::wstring LeafName(const std::wstring& dir) {
    const std::wstring trimmed = dir.substr(0, dir.size() - 1);
    return trimmed.substr(trimmed.rfind(L'\\') + 1);
}

}  // namespace

TEST(StartMenuEntry, NestedDirRemovesOnlyTheInnerFolder) {
    RecordingShell shell;
    const std::wstring outer = shell.programs() + L"Lumenox Group";
    MakeTree(outer);
    MakeTree(outer + L"\\Lumenox");
    MakeTree(outer + L"\\Other");

    EXPECT_EQ(RunStartMenu(shell.environment(), "dir=\"Lumenox Group\\Lumenox\" name=\"Lumenox\""), 1);
    EXPECT_FALSE(Exists(outer + L"\\Lumenox"));
    EXPECT_TRUE(Exists(outer + L"\\Lumenox.lnk"));
    EXPECT_TRUE(Exists(outer + L"\\sub\\Uninstall.lnk"));
    EXPECT_TRUE(Exists(outer + L"\\Other\\Lumenox.lnk"));

    // Forward slashes name the same nesting.
    EXPECT_EQ(RunStartMenu(shell.environment(), "dir=\"Lumenox Group/Other\""), 1);
    EXPECT_FALSE(Exists(outer + L"\\Other"));
    EXPECT_TRUE(IsDirectory(outer));
}

TEST(StartMenuEntry, ChineseFolderNameIsDecoded) {
    RecordingShell shell;
    // "看图王"
    const std::wstring folder = shell.programs() + L"\u770b\u56fe\u738b";
    MakeTree(folder);
    MakeTree(shell.programs() + L"Lumenox");
    EXPECT_EQ(RunStartMenu(shell.environment(), "dir=\"\xE7\x9C\x8B\xE5\x9B\xBE\xE7\x8E\x8B\""), 1);
    EXPECT_FALSE(Exists(folder));
    EXPECT_TRUE(Exists(shell.programs() + L"Lumenox\\Lumenox.lnk"));
}

TEST(StartMenuEntry, EmptyOrMissingDirRemovesNothing) {
    RecordingShell shell;
    MakeTree(shell.programs() + L"Accessories");
    WriteBytes(shell.programs() + L"Notes.lnk", "lnk");
    for (const char* attributes : {"dir=\"\"", "name=\"Lumenox\"", "dir=\".\"", "dir=\"\\\"", "dir=\"Lumenox\\..\"",
                                   "dir=\"\xC0\x80Lumenox\""}) {
        EXPECT_EQ(RunStartMenu(shell.environment(), attributes), 0) << attributes;
    }
    EXPECT_TRUE(Exists(shell.programs() + L"Accessories\\sub\\Uninstall.lnk"));
    EXPECT_TRUE(Exists(shell.programs() + L"Notes.lnk"));
}

TEST(StartMenuEntry, DirsThatClimbOutRemoveNothing) {
    RecordingShell shell;
    TempDir outside(L"outside");
    const std::wstring victim = outside / L"victim";
    MakeTree(victim);
    MakeTree(shell.programs() + L"Lumenox");
    const std::string leaf = base::WideToUtf8(LeafName(outside.path()));
    // The relative way out does lead to the victim.
    ASSERT_TRUE(IsDirectory(shell.programs() + L"..\\" + LeafName(outside.path()) + L"\\victim"));

    const std::string absolute = base::WideToUtf8(victim);
    for (const std::string& dir :
         {"..\\" + leaf + "\\victim", "Lumenox\\..\\..\\" + leaf + "\\victim", "../" + leaf + "/victim", absolute,
          absolute.substr(0, 2) + absolute.substr(3), "\\\\?\\" + absolute, "\\\\.\\" + absolute,
          "\\\\localhost\\" + absolute.substr(0, 1) + "$" + absolute.substr(2), absolute.substr(2)}) {
        EXPECT_EQ(RunStartMenu(shell.environment(), "dir=\"" + dir + "\""), 0) << dir;
        EXPECT_TRUE(Exists(victim + L"\\sub\\Uninstall.lnk")) << dir;
    }
    EXPECT_TRUE(Exists(shell.programs() + L"Lumenox\\Lumenox.lnk"));
}

TEST(StartMenuEntry, MissingFolderOrUnknownProgramsFolderIsHarmless) {
    RecordingShell shell;
    EXPECT_EQ(RunStartMenu(shell.environment(), "dir=\"Never Installed\""), 1);
    manifest::ShellEnvironment unknown = shell.environment();
    unknown.commonProgramsFolder = [] { return std::wstring(); };
    MakeTree(shell.programs() + L"Lumenox");
    EXPECT_EQ(RunStartMenu(unknown, "dir=\"Lumenox\""), 0);
    EXPECT_TRUE(Exists(shell.programs() + L"Lumenox\\Lumenox.lnk"));
}

TEST(StartMenuEntry, PlatformFolderIsTheAllUsersProgramsFolder) {
    const std::wstring programs = manifest::QueryCommonProgramsFolder();
    ASSERT_FALSE(programs.empty());
    wchar_t expected[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_DEFAULT, expected)));
    EXPECT_EQ(programs, std::wstring(expected));
    wchar_t own[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, own)));
    EXPECT_NE(programs, std::wstring(own));
}
