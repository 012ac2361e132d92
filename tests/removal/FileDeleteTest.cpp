#include <gtest/gtest.h>

#include <windows.h>

#include "base/text.h"
#include "base/unique_any.h"
#include "removal/FileRemoval.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"
#include "support/TestSupport.h"

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
        bool nameMatchesTick = false;
        for (DWORD tick = before; tick - before <= after - before; ++tick) {
            nameMatchesTick = nameMatchesTick || moved == DeferredDeleteName(library, tick);
        }
        EXPECT_TRUE(nameMatchesTick) << base::WideToUtf8(moved);
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
