// Deleting files and trees (a file in use goes at the next restart), and the
// script that takes the uninstaller and its directory away after it ended.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "base/platform.h"
#include "base/text.h"
#include "removal/FileRemoval.h"
#include "removal/ProtectedFolders.h"
#include "removal/SelfRemovalScript.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"

using namespace testing_support;
using removal::DeferredDeleteName;
using removal::DeleteDirectoryTree;
using removal::DeleteFileOrDefer;

namespace {

// Any library of ours will do as the locked file.
constexpr wchar_t kLockedLibrary[] = L"qsdxbase.dll";

// A sleeper that has taken what `arguments` tell it to (--load or --hold a file).
ChildProcess Sleeper(const TempDir& dir, const std::wstring& arguments) {
    return StartSleeperCopy(dir.path(), L"sleeper.exe", L"--ms 60000 " + arguments);
}

// Undoes the restart registration of every moved-aside file, also when a test fails.
struct PendingCleanup {
    std::vector<std::wstring> paths;
    ~PendingCleanup() {
        for (const auto& path : paths) ForgetPendingDeletion(path);
    }
};

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

TEST(FileDelete, DeferredNameCarriesTheTickAsSignedNumber) {
    EXPECT_EQ(DeferredDeleteName(L"C:\\P\\x.dll", 123456), L"C:\\P\\x.dll_123456_del");
    EXPECT_EQ(DeferredDeleteName(L"C:\\P\\x.dll", 0x80000001u), L"C:\\P\\x.dll_-2147483647_del");
    EXPECT_EQ(DeferredDeleteName(L"C:\\P\\x.dll", 0xFFFFFFFFu), L"C:\\P\\x.dll_-1_del");
}

TEST(FileDelete, FreeAndReadOnlyFilesGoAtOnceMissingFileIsFalse) {
    TempDir dir(L"del");
    for (const DWORD attributes : {DWORD(FILE_ATTRIBUTE_NORMAL), DWORD(FILE_ATTRIBUTE_READONLY)}) {
        SCOPED_TRACE(attributes);
        const std::wstring file = dir / L"a.txt";
        ASSERT_TRUE(WriteBytes(file, "a"));
        ASSERT_TRUE(::SetFileAttributesW(file.c_str(), attributes));
        EXPECT_TRUE(DeleteFileOrDefer(file));
        EXPECT_FALSE(Exists(file));
        EXPECT_TRUE(NamesIn(dir.path(), L"a.txt_*").empty());
        EXPECT_FALSE(IsPendingDeletion(file));
    }
    EXPECT_FALSE(DeleteFileOrDefer(dir / L"missing.txt"));
}

TEST(FileDelete, LoadedLibraryIsMovedAsideAndGoesWithTheRestart) {
    TempDir dir(L"lock");
    ASSERT_TRUE(CopyInto(kLockedLibrary, dir.path()));
    const std::wstring library = dir / kLockedLibrary;
    PendingCleanup cleanup;
    std::wstring moved;
    {
        TempDir logs(L"log");
        ChildProcess sleeper = Sleeper(logs, L"--load \"" + library + L"\"");
        ASSERT_TRUE(sleeper.Running());
        ASSERT_FALSE(::DeleteFileW(library.c_str()));  // a mapped image can only be renamed
        const DWORD before = ::GetTickCount();
        EXPECT_TRUE(DeleteFileOrDefer(library));
        const DWORD after = ::GetTickCount();
        EXPECT_FALSE(Exists(library));
        const auto names = NamesIn(dir.path(), std::wstring(kLockedLibrary) + L"_*");
        ASSERT_EQ(names.size(), 1u);
        moved = dir / names[0];
        cleanup.paths.push_back(moved);
        bool named = false;  // after a tick of the call
        for (DWORD tick = before; tick - before <= after - before; ++tick) {
            named = named || moved == DeferredDeleteName(library, tick);
        }
        EXPECT_TRUE(named) << base::WideToUtf8(moved);
        ASSERT_TRUE(IsPendingDeletion(moved));
    }
    ASSERT_TRUE(Exists(moved)) << "only the restart may delete it";
    // Under Wine "wineboot -r" performs the pending renames without ending any
    // process; on Windows only a real restart would.
    if (!RunningUnderWine()) return;
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_TRUE(RunProcess(std::wstring(system) + L"\\wineboot.exe", L"-r", 60000).finished);
    EXPECT_FALSE(Exists(moved));
    EXPECT_FALSE(IsPendingDeletion(moved));
}

TEST(FileDelete, FileHeldWithoutDeleteSharingStays) {
    TempDir dir(L"hold");
    const std::wstring file = dir / L"held.dat";
    ASSERT_TRUE(WriteBytes(file, "held"));
    TempDir logs(L"log");
    ChildProcess sleeper = Sleeper(logs, L"--hold \"" + file + L"\"");
    ASSERT_TRUE(sleeper.Running());
    EXPECT_FALSE(DeleteFileOrDefer(file));
    EXPECT_EQ(ReadBytes(file), "held");
    EXPECT_TRUE(NamesIn(dir.path(), L"held.dat_*").empty());
    EXPECT_FALSE(IsPendingDeletion(file));
}

TEST(FileDelete, TreeWithReadOnlyHiddenAndNestedEntriesIsRemoved) {
    TempDir dir(L"tree");
    const std::wstring root = dir / L"root";
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((root + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((root + L"\\sub\\deeper").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(root + L"\\a.txt", "a"));
    ASSERT_TRUE(WriteBytes(root + L"\\sub\\ro.txt", "r"));
    ASSERT_TRUE(WriteBytes(root + L"\\sub\\deeper\\hs.txt", "h"));
    ASSERT_TRUE(::SetFileAttributesW((root + L"\\sub\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(::SetFileAttributesW((root + L"\\sub\\deeper\\hs.txt").c_str(),
                                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(WriteBytes(dir / L"root.txt", "neighbour"));
    EXPECT_TRUE(DeleteDirectoryTree(root));
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(Exists(dir / L"root.txt"));
    // A trailing slash: one separator is added at most.
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(root + L"\\b.txt", "b"));
    EXPECT_TRUE(DeleteDirectoryTree(root + L"/"));
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(DeleteDirectoryTree(dir / L"never-there\\"));
    EXPECT_TRUE(DeleteDirectoryTree(L""));
    EXPECT_TRUE(Exists(dir.path()));
}

TEST(FileDelete, TreeKeepsLockedFileMovedAsideAndDirectoryUntilRestart) {
    TempDir dir(L"treelock");
    const std::wstring root = dir / L"root\\";
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(CopyInto(kLockedLibrary, root));
    ASSERT_TRUE(WriteBytes(root + L"free.txt", "f"));
    TempDir logs(L"log");
    ChildProcess sleeper = Sleeper(logs, L"--load \"" + root + kLockedLibrary + L"\"");
    ASSERT_TRUE(sleeper.Running());
    PendingCleanup cleanup;
    EXPECT_TRUE(DeleteDirectoryTree(root));
    const auto names = NamesIn(root, std::wstring(kLockedLibrary) + L"_*");
    ASSERT_EQ(names.size(), 1u);
    cleanup.paths = {root + names[0]};
    EXPECT_TRUE(IsPendingDeletion(cleanup.paths[0]));
    EXPECT_FALSE(Exists(root + L"free.txt"));
    EXPECT_TRUE(Exists(root));
}

TEST(FileDelete, LinksInsideTreeAreNeverEntered) {
    TempDir outside(L"outside");
    ASSERT_TRUE(WriteBytes(outside / L"precious.txt", "keep"));
    ASSERT_TRUE(::SetFileAttributesW((outside / L"precious.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(::CreateDirectoryW((outside / L"inner").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(outside / L"inner\\deep.txt", "keep"));
    TempDir dir(L"links");
    const std::wstring root = dir / L"root\\";
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((root + L"sub").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(root + L"sub\\own.txt", "own"));
    ScopedLinks links;  // to directories only (see ScopedLinks)
    ASSERT_TRUE(links.Make(root + L"sub\\dirlink", outside.path()));
    ASSERT_TRUE(links.Make(dir / L"toplink", outside.path()));
    EXPECT_TRUE(DeleteDirectoryTree(root));
    EXPECT_TRUE(DeleteDirectoryTree(dir / L"toplink\\"));  // a link handed in as the tree itself
    EXPECT_EQ(ReadBytes(outside / L"precious.txt"), "keep");
    EXPECT_TRUE(::GetFileAttributesW((outside / L"precious.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ReadBytes(outside / L"inner\\deep.txt"), "keep");
    EXPECT_FALSE(Exists(root + L"sub\\own.txt"));
    // Wine 8 cannot remove a link to a directory (it reports "not empty"), so the links stay.
}

// Wine keeps a file's security only as mode bits and never reports a protected
// list, so only the outcome that Wine can show is judged here.
TEST(FileDelete, ResetAclKeepsTheDirectoryUsable) {
    TempDir dir(L"acl");
    const std::wstring target = dir / L"protected";
    ASSERT_TRUE(::CreateDirectoryW(target.c_str(), nullptr));
    EXPECT_TRUE(removal::ResetDirectoryAcl(target));
    EXPECT_TRUE(WriteBytes(target + L"\\after.txt", "x"));
    // Nothing to do counts as success.
    EXPECT_TRUE(removal::ResetDirectoryAcl(L""));
    EXPECT_TRUE(removal::ResetDirectoryAcl(dir / L"missing"));
    EXPECT_TRUE(removal::ResetDirectoryAcl(target + L"\\after.txt"));
}

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

// The script runs from a folder whose name the command line must quote
// whole (blanks, "&", parentheses); nothing starts without a script.
TEST(FileSelfRemovalScript, StartRunsTheScriptWhereverItLies) {
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

// A prepared start runs nothing until launched, and never when dropped
// unlaunched: the one launched here had the other's whole start-up time.
TEST(FileSelfRemovalScript, PreparedStartRunsOnlyWhenLaunched) {
    constexpr int kPolls = 100;
    constexpr DWORD kPollMs = 100;
    TempDir dir(L"prepared (x)");
    std::wstring scripts[2];
    std::wstring markers[2];
    for (int i = 0; i < 2; ++i) {
        scripts[i] = dir / (std::to_wstring(i) + L".bat");
        markers[i] = dir / (std::to_wstring(i) + L".txt");
        ASSERT_TRUE(WriteBytes(scripts[i], "echo ran> \"" + base::WideToUtf8(markers[i]) + "\"\r\n"));
    }
    auto dropped = std::make_unique<removal::PreparedScriptStart>();
    dropped->Prepare(scripts[1]);
    removal::PreparedScriptStart launched;
    launched.Prepare(scripts[0]);
    ::Sleep(kPollMs);
    EXPECT_FALSE(Exists(markers[0]));
    ASSERT_TRUE(launched.Launch(scripts[0]));
    for (int i = 0; i < kPolls && !Exists(markers[0]); ++i) ::Sleep(kPollMs);
    EXPECT_TRUE(Exists(markers[0]));
    dropped.reset();
    EXPECT_FALSE(Exists(markers[1]));
    // Launched for another path than prepared: that path, started afresh.
    ASSERT_TRUE(::DeleteFileW(markers[0].c_str()));
    removal::PreparedScriptStart other;
    other.Prepare(scripts[0]);
    EXPECT_TRUE(other.Launch(scripts[1]));
    for (int i = 0; i < kPolls && !Exists(markers[1]); ++i) ::Sleep(kPollMs);
    EXPECT_TRUE(Exists(markers[1]));
    EXPECT_FALSE(Exists(markers[0]));
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
