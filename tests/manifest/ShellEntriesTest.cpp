// Desktop shortcut and start-menu entries: the unpin request before the
// deletion, names that must stay in their folder, and the real shell.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "base/text.h"
#include "base/unique_any.h"
#include "manifest/Shortcut.h"
#include "base/XmlConfigDocument.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"
#include "support/ManifestSupport.h"

using namespace testing_support;
using manifest::CShortcut;
using manifest::CStartMenu;

namespace {

constexpr wchar_t kExtension[] = L".qlumtestpin";
constexpr wchar_t kProgId[] = L"qlumtest.pinned";

// Runs one entry written as XML attributes; answers Execute's result.
template <typename Entry>
int RunEntry(const manifest::ShellEnvironment& env, const std::string& attributes) {
    base::XmlConfigDocument doc;
    if (!doc.LoadText("<config " + attributes + "/>") || !doc.SelectPath("")) return -1;
    return Entry(L"C:\\Lumenox\\lumenox.exe", env).Execute(doc);
}

// A folder with a link and a subfolder with a link.
void MakeTree(const std::wstring& dir) {
    ::CreateDirectoryW(dir.c_str(), nullptr);
    ::CreateDirectoryW((dir + L"\\sub").c_str(), nullptr);
    WriteBytes(dir + L"\\Lumenox.lnk", "lnk");
    WriteBytes(dir + L"\\sub\\Uninstall.lnk", "lnk");
}

}  // namespace

TEST(ShortcutEntry, PinnedShortcutIsUnpinnedWhileItStillExistsThenDeleted) {
    RecordingShell shell;
    WriteBytes(shell.desktop() + L"Lumenox.lnk", "lnk");
    EXPECT_EQ(RunEntry<CShortcut>(shell.environment(), "name=\"Lumenox.lnk\" quicklaunchbar=\"1\" cmdline=\"/s\""), 1);
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].verb, L"taskbarunpin");
    EXPECT_EQ(shell.requests()[0].file, shell.desktop() + L"Lumenox.lnk");
    EXPECT_TRUE(shell.requests()[0].fileExisted);
    EXPECT_FALSE(Exists(shell.desktop() + L"Lumenox.lnk"));
}

TEST(ShortcutEntry, OnlyTheExactFlagOneAsksForTheUnpin) {
    RecordingShell shell;
    for (const char* flag : {" quicklaunchbar=\"true\"", " quicklaunchbar=\"0\"", " quicklaunchbar=\"\"",
                             " quicklaunchbar=\" 1\"", ""}) {
        WriteBytes(shell.desktop() + L"Lumenox.lnk", "lnk");
        EXPECT_EQ(RunEntry<CShortcut>(shell.environment(), std::string("name=\"Lumenox.lnk\"") + flag), 1) << flag;
        EXPECT_FALSE(Exists(shell.desktop() + L"Lumenox.lnk")) << flag;
    }
    EXPECT_TRUE(shell.requests().empty());
}

TEST(ShortcutEntry, MissingShortcutOrNameIsHarmless) {
    RecordingShell shell;
    WriteBytes(shell.desktop() + L"keep.lnk", "lnk");
    for (const char* attributes : {"name=\"Gone.lnk\" quicklaunchbar=\"1\"", "quicklaunchbar=\"0\"", "name=\"\""}) {
        EXPECT_EQ(RunEntry<CShortcut>(shell.environment(), attributes), 0) << attributes;
    }
    EXPECT_TRUE(Exists(shell.desktop() + L"keep.lnk"));
    EXPECT_TRUE(IsDirectory(shell.desktop()));
}

TEST(StartMenuEntry, ChineseFolderNameIsDecoded) {
    RecordingShell shell;
    const std::wstring chinese = L"\u770b\u56fe\u738b";  // "看图王"
    MakeTree(shell.programs() + chinese);
    EXPECT_EQ(RunEntry<CStartMenu>(shell.environment(), "dir=\"\xE7\x9C\x8B\xE5\x9B\xBE\xE7\x8E\x8B\""), 1);
    EXPECT_FALSE(Exists(shell.programs() + chinese));
}

TEST(ShellEntries, NamesThatLeaveTheirFolderDeleteNothing) {
    RecordingShell shell;
    TempDir outside(L"outside");
    WriteBytes(outside / L"victim.lnk", "lnk");
    MakeTree(outside / L"victim");
    MakeTree(shell.programs() + L"Lumenox");
    // The desktop, the programs folder and the outside folder are siblings.
    const std::string abs = base::WideToUtf8(outside.path());
    const std::string leaf = abs.substr(abs.rfind('\\', abs.size() - 2) + 1);
    ASSERT_TRUE(Exists(shell.desktop() + L"..\\" + base::Utf8ToWide(leaf) + L"victim.lnk"));
    // The containment rule's table lies with JoinInsideDirectory; here both entries apply it.
    const std::string waysOut[] = {"..\\" + leaf, abs, "\\\\?\\" + abs};
    for (const std::string& way : waysOut) {
        SCOPED_TRACE(way);
        EXPECT_EQ(RunEntry<CShortcut>(shell.environment(), "name=\"" + way + "victim.lnk\" quicklaunchbar=\"1\""), 0);
        EXPECT_TRUE(Exists(outside / L"victim.lnk"));
        EXPECT_EQ(RunEntry<CStartMenu>(shell.environment(), "dir=\"" + way + "victim\""), 0);
        EXPECT_TRUE(Exists(outside / L"victim\\sub\\Uninstall.lnk"));
    }
    EXPECT_TRUE(shell.requests().empty());
    EXPECT_TRUE(Exists(shell.programs() + L"Lumenox\\Lumenox.lnk"));
}

TEST(StartMenuEntry, NestedDirRemovesOnlyTheInnerFolder) {
    RecordingShell shell;
    const std::wstring outer = shell.programs() + L"Lumenox Group";
    MakeTree(outer);
    MakeTree(outer + L"\\Lumenox");
    MakeTree(outer + L"\\Other");
    EXPECT_EQ(RunEntry<CStartMenu>(shell.environment(), "dir=\"Lumenox Group\\Lumenox\" name=\"Lumenox\""), 1);
    EXPECT_FALSE(Exists(outer + L"\\Lumenox"));
    EXPECT_TRUE(Exists(outer + L"\\Lumenox.lnk"));
    EXPECT_TRUE(Exists(outer + L"\\sub\\Uninstall.lnk"));
    EXPECT_TRUE(Exists(outer + L"\\Other\\Lumenox.lnk"));
    // Forward slashes name the same nesting.
    EXPECT_EQ(RunEntry<CStartMenu>(shell.environment(), "dir=\"Lumenox Group/Other\""), 1);
    EXPECT_FALSE(Exists(outer + L"\\Other"));
    EXPECT_TRUE(IsDirectory(outer));
}

TEST(StartMenuEntry, EmptyMissingOrUnknownFolderRemovesNothing) {
    RecordingShell shell;
    MakeTree(shell.programs() + L"Accessories");
    MakeTree(shell.programs() + L"Lumenox");
    WriteBytes(shell.programs() + L"Notes.lnk", "lnk");
    for (const char* attributes : {"dir=\"\"", "name=\"Lumenox\"", "dir=\".\"", "dir=\"\\\"", "dir=\"Lumenox\\..\"",
                                   "dir=\"\xC0\x80Lumenox\""}) {
        EXPECT_EQ(RunEntry<CStartMenu>(shell.environment(), attributes), 0) << attributes;
    }
    EXPECT_EQ(RunEntry<CStartMenu>(shell.environment(), "dir=\"Never Installed\""), 1);
    manifest::ShellEnvironment unknown = shell.environment();
    unknown.commonProgramsFolder = [] { return std::wstring(); };
    EXPECT_EQ(RunEntry<CStartMenu>(unknown, "dir=\"Lumenox\""), 0);
    EXPECT_TRUE(Exists(shell.programs() + L"Accessories\\sub\\Uninstall.lnk"));
    EXPECT_TRUE(Exists(shell.programs() + L"Lumenox\\Lumenox.lnk"));
    EXPECT_TRUE(Exists(shell.programs() + L"Notes.lnk"));
}

TEST(ShellEntries, RealLinkOnThePlatformShellIsDeletedWhetherOrNotTheVerbIsServed) {
    // Windows serves "taskbarunpin" only for pinned items (recent versions not
    // at all for programs); Wine has no such verb. Either way no dialog, and the link goes.
    TempDir desktop(L"desktop");
    ASSERT_TRUE(MakeShellLink(desktop / L"Lumenox.lnk", BinDir() + L"sleeper.exe"));
    manifest::ShellEnvironment env = manifest::ShellEnvironment::Platform();
    env.desktopFolder = [folder = desktop.path()] { return folder; };
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(RunEntry<CShortcut>(env, "name=\"Lumenox.lnk\" quicklaunchbar=\"1\""), 1);
    EXPECT_LT(::GetTickCount() - start, 5000u);
    EXPECT_FALSE(Exists(desktop / L"Lumenox.lnk"));
}

TEST(ShellEntries, PlatformRequestReachesTheShellWithVerbAndPath) {
    // A file type whose "taskbarunpin" verb runs the main-program stand-in, which logs the request.
    TempDir programDir(L"verb");
    ASSERT_TRUE(CopyInto(L"lumenox_main.exe", programDir.path()));
    const std::wstring command = L"\"" + programDir.path() + L"lumenox_main.exe\" unpin \"%1\"";
    ScopedKeys types;
    types.Track(HKEY_CLASSES_ROOT, kProgId);
    ASSERT_TRUE(types.Create(HKEY_CLASSES_ROOT, kExtension, 0, nullptr, kProgId));
    ASSERT_TRUE(CreateKey(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\shell\\taskbarunpin\\command", 0, nullptr,
                          command));
    TempDir desktop(L"desktop");
    const std::wstring link = desktop / (std::wstring(L"Lumenox") + kExtension);
    WriteBytes(link, "pinned");
    manifest::RequestShellVerb(link, manifest::kTaskbarUnpinVerb);
    ASSERT_TRUE(WaitForLine(programDir / L"lumenox_main.log", 10000));
    EXPECT_EQ(ReadLines(programDir / L"lumenox_main.log")[0], "unpin \"" + base::WideToUtf8(link) + "\"");
}

TEST(ShellEntries, PlatformFoldersAreTheUsersDesktopAndTheAllUsersPrograms) {
    const std::wstring desktop = manifest::QueryUserDesktopFolder();
    EXPECT_TRUE(IsDirectory(desktop));
    wchar_t common[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, 0, common)));
    EXPECT_NE(desktop, std::wstring(common));
    wchar_t programs[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_DEFAULT, programs)));
    EXPECT_EQ(manifest::QueryCommonProgramsFolder(), std::wstring(programs));
    wchar_t own[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, own)));
    EXPECT_NE(manifest::QueryCommonProgramsFolder(), std::wstring(own));
}
