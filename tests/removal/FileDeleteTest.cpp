#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include "base/text.h"
#include "base/unique_any.h"
#include "removal/FileRemoval.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"
#include "support/TestSupport.h"

using removal::DeferredDeleteName;
using removal::DeleteDirectoryTree;
using removal::DeleteFileOrDefer;
using testing_support::BinDir;
using testing_support::ChildProcess;
using testing_support::Exists;
using testing_support::ForgetPendingDeletion;
using testing_support::IsPendingDeletion;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

// Any library of ours will do as the locked file.
constexpr wchar_t kLockedLibrary[] = L"qsdxbase.dll";

// Starts the sleeper helper and waits until it has taken what it was told to take.
ChildProcess StartSleeper(const TempDir& logDir, const std::wstring& arguments) {
    static int serial = 0;
    const std::wstring log = logDir / (L"sleeper" + std::to_wstring(++serial) + L".log");
    ChildProcess child(BinDir() + L"sleeper.exe", L"--ms 60000 " + arguments + L" --log \"" + log + L"\"");
    if (child.started() && !testing_support::WaitForLine(log, 10000)) child.Terminate();
    return child;
}

bool IsHeldWithoutDeleteSharing(const std::wstring& path) {
    base::unique_hfile file(::CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    return !file && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

// Names in `dir` that start with `prefix`.
std::vector<std::wstring> NamesStartingWith(const std::wstring& dir, const std::wstring& prefix) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry = {};
    base::unique_find find(::FindFirstFileW((dir + prefix + L"*").c_str(), &entry));
    if (!find) return names;
    do names.push_back(entry.cFileName);
    while (::FindNextFileW(find.get(), &entry));
    return names;
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
    // Above the signed 32-bit range the tick shows as negative.
    EXPECT_EQ(DeferredDeleteName(L"C:\\P\\x.dll", 0x80000001u), L"C:\\P\\x.dll_-2147483647_del");
    EXPECT_EQ(DeferredDeleteName(L"C:\\P\\x.dll", 0xFFFFFFFFu), L"C:\\P\\x.dll_-1_del");
}

TEST(FileDelete, UnlockedFileGoesAtOnceMissingFileIsFalse) {
    TempDir dir(L"del");
    ASSERT_TRUE(WriteBytes(dir / L"a.txt", "a"));
    EXPECT_TRUE(DeleteFileOrDefer(dir / L"a.txt"));
    EXPECT_FALSE(Exists(dir / L"a.txt"));
    EXPECT_TRUE(NamesStartingWith(dir.path(), L"a.txt_").empty());
    EXPECT_FALSE(DeleteFileOrDefer(dir / L"missing.txt"));
}

TEST(FileDelete, LoadedLibraryIsMovedAsideAndScheduledForRestart) {
    TempDir dir(L"lock");
    ASSERT_TRUE(testing_support::CopyInto(kLockedLibrary, dir.path()));
    const std::wstring library = dir / kLockedLibrary;
    TempDir logs(L"log");
    ChildProcess sleeper = StartSleeper(logs, L"--load \"" + library + L"\"");
    ASSERT_TRUE(sleeper.Running());
    // A mapped image cannot be deleted, only renamed.
    ASSERT_FALSE(::DeleteFileW(library.c_str()));

    PendingCleanup cleanup;
    const DWORD before = ::GetTickCount();
    EXPECT_TRUE(DeleteFileOrDefer(library));
    const DWORD after = ::GetTickCount();
    EXPECT_FALSE(Exists(library));

    const auto moved = NamesStartingWith(dir.path(), std::wstring(kLockedLibrary) + L"_");
    ASSERT_EQ(moved.size(), 1u);
    for (const auto& name : moved) cleanup.paths.push_back(dir / name);
    bool nameMatchesTick = false;
    for (DWORD tick = before; tick - before <= after - before; ++tick) {
        if (dir / moved[0] == DeferredDeleteName(library, tick)) nameMatchesTick = true;
    }
    EXPECT_TRUE(nameMatchesTick) << base::WideToUtf8(moved[0]);
    EXPECT_TRUE(IsPendingDeletion(dir / moved[0]));
}

TEST(FileDelete, FileHeldWithoutDeleteSharingStays) {
    TempDir dir(L"hold");
    const std::wstring file = dir / L"held.dat";
    ASSERT_TRUE(WriteBytes(file, "held"));
    TempDir logs(L"log");
    ChildProcess sleeper = StartSleeper(logs, L"--hold \"" + file + L"\"");
    ASSERT_TRUE(sleeper.Running());
    ASSERT_TRUE(IsHeldWithoutDeleteSharing(file));

    EXPECT_FALSE(DeleteFileOrDefer(file));
    EXPECT_EQ(ReadBytes(file), "held");
    EXPECT_TRUE(NamesStartingWith(dir.path(), L"held.dat_").empty());
    EXPECT_FALSE(IsPendingDeletion(file));
}

TEST(FileDelete, RestartCarriesOutTheScheduledDeletion) {
    // Slow: runs "wineboot -r", which under Wine performs the pending renames
    // of a restart without ending any process. On Windows only a real restart would.
    if (!testing_support::RunningUnderWine()) GTEST_SKIP() << "needs a restart of the machine";
    TempDir dir(L"boot");
    ASSERT_TRUE(testing_support::CopyInto(kLockedLibrary, dir.path()));
    const std::wstring library = dir / kLockedLibrary;
    PendingCleanup cleanup;
    std::wstring moved;
    {
        TempDir logs(L"log");
        ChildProcess sleeper = StartSleeper(logs, L"--load \"" + library + L"\"");
        ASSERT_TRUE(sleeper.Running());
        ASSERT_TRUE(DeleteFileOrDefer(library));
        const auto names = NamesStartingWith(dir.path(), std::wstring(kLockedLibrary) + L"_");
        ASSERT_EQ(names.size(), 1u);
        moved = dir / names[0];
        cleanup.paths.push_back(moved);
        ASSERT_TRUE(IsPendingDeletion(moved));
    }  // the library is no longer mapped
    ASSERT_TRUE(Exists(moved)) << "only the restart may delete it";

    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const auto result = testing_support::RunProcess(std::wstring(system) + L"\\wineboot.exe", L"-r", 60000);
    ASSERT_TRUE(result.finished);
    EXPECT_FALSE(Exists(moved));
    EXPECT_FALSE(IsPendingDeletion(moved));
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

    // Without a trailing separator, with a slash, with a backslash: one separator is added at most.
    EXPECT_TRUE(DeleteDirectoryTree(root));
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(Exists(dir / L"root.txt"));

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
    ASSERT_TRUE(testing_support::CopyInto(kLockedLibrary, root));
    ASSERT_TRUE(WriteBytes(root + L"free.txt", "f"));
    TempDir logs(L"log");
    ChildProcess sleeper = StartSleeper(logs, L"--load \"" + root + kLockedLibrary + L"\"");
    ASSERT_TRUE(sleeper.Running());

    PendingCleanup cleanup;
    EXPECT_TRUE(DeleteDirectoryTree(root));
    const auto moved = NamesStartingWith(root, std::wstring(kLockedLibrary) + L"_");
    for (const auto& name : moved) cleanup.paths.push_back(root + name);
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_TRUE(IsPendingDeletion(root + moved[0]));
    EXPECT_FALSE(Exists(root + L"free.txt"));
    EXPECT_TRUE(Exists(root)) << "the moved file keeps its directory until the restart";
}

TEST(FileDelete, LinksInsideTreeAreNeverEntered) {
    TempDir outside(L"outside");
    ASSERT_TRUE(WriteBytes(outside / L"precious.txt", "keep"));
    ASSERT_TRUE(::SetFileAttributesW((outside / L"precious.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(::CreateDirectoryW((outside / L"inner").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(outside / L"inner\\deep.txt", "keep"));
    ASSERT_TRUE(WriteBytes(outside / L"single.txt", "keep"));

    TempDir dir(L"links");
    const std::wstring root = dir / L"root\\";
    ASSERT_TRUE(::CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((root + L"sub").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(root + L"sub\\own.txt", "own"));
    struct LinkGuard {
        std::vector<std::wstring> links;
        ~LinkGuard() {
            for (const auto& link : links) testing_support::RemoveSymbolicLink(link);
        }
    } guard;
    guard.links = {root + L"sub\\dirlink", root + L"filelink", dir / L"toplink"};
    ASSERT_TRUE(testing_support::MakeSymbolicLink(guard.links[0], outside.path(), true));
    // Under Wine a link to a file cannot be made (see MakeSymbolicLink).
    const bool fileLink = !testing_support::RunningUnderWine();
    if (fileLink) {
        ASSERT_TRUE(testing_support::MakeSymbolicLink(guard.links[1], outside / L"single.txt", false));
    }
    ASSERT_TRUE(testing_support::MakeSymbolicLink(guard.links[2], outside.path(), true));

    EXPECT_TRUE(DeleteDirectoryTree(root));
    // A link handed in as the tree itself is not entered either.
    EXPECT_TRUE(DeleteDirectoryTree(guard.links[2] + L"\\"));

    EXPECT_EQ(ReadBytes(outside / L"precious.txt"), "keep");
    EXPECT_EQ(::GetFileAttributesW((outside / L"precious.txt").c_str()) & FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ReadBytes(outside / L"inner\\deep.txt"), "keep");
    EXPECT_EQ(ReadBytes(outside / L"single.txt"), "keep");
    EXPECT_FALSE(Exists(root + L"sub\\own.txt"));
    EXPECT_FALSE(Exists(root + L"filelink"));
    if (!testing_support::RunningUnderWine()) {
        EXPECT_FALSE(Exists(root));
        EXPECT_FALSE(Exists(guard.links[2]));
    }
    // Wine 8 cannot remove a link to a directory (it reports "not empty"), so
    // there the link and the directories holding it stay behind.
}

TEST(FileDelete, ResetAclUnprotectsTheDirectory) {
    TempDir dir(L"acl");
    const std::wstring target = dir / L"protected";
    ASSERT_TRUE(::CreateDirectoryW(target.c_str(), nullptr));

    auto isProtected = [&](bool& result) {
        PSECURITY_DESCRIPTOR raw = nullptr;
        PACL dacl = nullptr;
        if (::GetNamedSecurityInfoW(target.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                    nullptr, &raw) != ERROR_SUCCESS) {
            return false;
        }
        base::unique_local owner(raw);
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        if (!::GetSecurityDescriptorControl(raw, &control, &revision)) return false;
        result = (control & SE_DACL_PROTECTED) != 0;
        return true;
    };

    // Protect the current list, as an installer locking its directory would.
    {
        PSECURITY_DESCRIPTOR raw = nullptr;
        PACL dacl = nullptr;
        ASSERT_EQ(::GetNamedSecurityInfoW(target.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                          &dacl, nullptr, &raw),
                  static_cast<DWORD>(ERROR_SUCCESS));
        base::unique_local owner(raw);
        ASSERT_EQ(::SetNamedSecurityInfoW(const_cast<wchar_t*>(target.c_str()), SE_FILE_OBJECT,
                                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                          nullptr, dacl, nullptr),
                  static_cast<DWORD>(ERROR_SUCCESS));
    }
    bool protectedNow = false;
    ASSERT_TRUE(isProtected(protectedNow));
    // Wine 8 keeps a file's security only as its Unix mode bits and never
    // reports a protected list; there only the round trip itself is checked.
    if (!testing_support::RunningUnderWine()) {
        ASSERT_TRUE(protectedNow);
    }

    EXPECT_TRUE(removal::ResetDirectoryAcl(target));
    ASSERT_TRUE(isProtected(protectedNow));
    EXPECT_FALSE(protectedNow);
    // The list written back still lets its owner work in the directory.
    EXPECT_TRUE(WriteBytes(target + L"\\after.txt", "x"));

    // Nothing to do counts as success.
    EXPECT_TRUE(removal::ResetDirectoryAcl(L""));
    EXPECT_TRUE(removal::ResetDirectoryAcl(dir / L"missing"));
    ASSERT_TRUE(WriteBytes(dir / L"file.txt", "f"));
    EXPECT_TRUE(removal::ResetDirectoryAcl(dir / L"file.txt"));
}

TEST(FileDelete, ReadOnlyFileGoesAtOnceInsteadOfWaitingForARestart) {
    TempDir dir(L"ro");
    const std::wstring file = dir / L"readonly.dat";
    ASSERT_TRUE(WriteBytes(file, "x"));
    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(DeleteFileOrDefer(file));
    EXPECT_FALSE(Exists(file));
    // Nothing was moved aside: the directory is empty and no restart entry names it.
    WIN32_FIND_DATAW data;
    base::unique_find find(::FindFirstFileW((dir / L"*_del").c_str(), &data));
    EXPECT_FALSE(find);
    EXPECT_FALSE(IsPendingDeletion(file));
}
