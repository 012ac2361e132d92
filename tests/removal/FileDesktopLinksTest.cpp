#include <gtest/gtest.h>

#include <windows.h>

#include "removal/DesktopLinks.h"
#include "removal/FileRemoval.h"
#include "support/FileSystemSupport.h"
#include "support/TestSupport.h"

using removal::IsLinkIntoOwnDirectory;
using removal::RemoveDesktopLinks;
using testing_support::BinSubDir;
using testing_support::Exists;
using testing_support::MakeShellLink;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

// The "own directory" is that of the running test program: targets live in a
// fresh folder beside it.
struct LinkWorld {
    BinSubDir own{L"links"};
    TempDir elsewhere{L"elsewhere"};
    TempDir desktop{L"desktop"};

    LinkWorld() {
        ::CreateDirectoryW((own / L"bin").c_str(), nullptr);
        WriteBytes(own / L"bin\\viewer.exe", "MZ");
        WriteBytes(own / L"readme.txt", "r");
        WriteBytes(elsewhere / L"other.exe", "MZ");
    }
};

}  // namespace

TEST(FileDesktopLinks, LinkIntoOwnDirectoryIsRecognised) {
    LinkWorld w;
    ASSERT_TRUE(MakeShellLink(w.desktop / L"sub.lnk", w.own / L"bin\\viewer.exe"));
    ASSERT_TRUE(MakeShellLink(w.desktop / L"folder.lnk", w.own / L"bin"));
    ASSERT_TRUE(MakeShellLink(w.desktop / L"other.lnk", w.elsewhere / L"other.exe"));
    ASSERT_TRUE(MakeShellLink(w.desktop / L"gone.lnk", w.own / L"readme.txt"));
    ASSERT_TRUE(::DeleteFileW((w.own / L"readme.txt").c_str()));

    EXPECT_TRUE(IsLinkIntoOwnDirectory(w.desktop / L"sub.lnk"));
    EXPECT_TRUE(IsLinkIntoOwnDirectory(w.desktop / L"folder.lnk"));
    EXPECT_FALSE(IsLinkIntoOwnDirectory(w.desktop / L"other.lnk"));
    // A target that no longer exists has no long path.
    EXPECT_FALSE(IsLinkIntoOwnDirectory(w.desktop / L"gone.lnk"));
    // Not links at all.
    ASSERT_TRUE(WriteBytes(w.desktop / L"plain.lnk", "not a link"));
    EXPECT_FALSE(IsLinkIntoOwnDirectory(w.desktop / L"plain.lnk"));
    EXPECT_FALSE(IsLinkIntoOwnDirectory(w.desktop / L"missing.lnk"));
    EXPECT_FALSE(IsLinkIntoOwnDirectory(w.desktop.path()));
}

TEST(FileDesktopLinks, SweepRemovesOnlyLinksIntoOwnDirectory) {
    LinkWorld w;
    ASSERT_TRUE(MakeShellLink(w.desktop / L"Viewer.lnk", w.own / L"bin\\viewer.exe"));
    ASSERT_TRUE(MakeShellLink(w.desktop / L"Other.lnk", w.elsewhere / L"other.exe"));
    ASSERT_TRUE(MakeShellLink(w.desktop / L"Gone.lnk", w.own / L"readme.txt"));
    ASSERT_TRUE(::DeleteFileW((w.own / L"readme.txt").c_str()));
    ASSERT_TRUE(WriteBytes(w.desktop / L"notes.txt", "mine"));
    ASSERT_TRUE(::CreateDirectoryW((w.desktop / L"Folder").c_str(), nullptr));
    // A link inside a subfolder of the desktop is not swept.
    ASSERT_TRUE(MakeShellLink(w.desktop / L"Folder\\Nested.lnk", w.own / L"bin\\viewer.exe"));
    // A copy of the installed program itself is no link.
    ASSERT_TRUE(::CopyFileW((w.own / L"bin\\viewer.exe").c_str(), (w.desktop / L"viewer.exe").c_str(), FALSE));

    // Without a trailing separator, as the platform reports desktop folders.
    std::wstring folder = w.desktop.path();
    folder.pop_back();
    RemoveDesktopLinks(folder);

    EXPECT_FALSE(Exists(w.desktop / L"Viewer.lnk"));
    EXPECT_TRUE(Exists(w.desktop / L"Other.lnk"));
    EXPECT_TRUE(Exists(w.desktop / L"Gone.lnk"));
    EXPECT_TRUE(Exists(w.desktop / L"notes.txt"));
    EXPECT_TRUE(Exists(w.desktop / L"Folder\\Nested.lnk"));
    EXPECT_TRUE(Exists(w.desktop / L"viewer.exe"));
    EXPECT_TRUE(Exists(w.own / L"bin\\viewer.exe")) << "the target itself is never touched";

    RemoveDesktopLinks(L"");  // an unreadable desktop folder is skipped
}

TEST(FileDesktopLinks, OwnDirectoryMatchIgnoresCase) {
    LinkWorld w;
    std::wstring upper = w.own / L"BIN\\VIEWER.EXE";
    ASSERT_TRUE(MakeShellLink(w.desktop / L"upper.lnk", upper));
    EXPECT_TRUE(IsLinkIntoOwnDirectory(w.desktop / L"upper.lnk"));
}

TEST(FileDesktopLinks, PlatformDesktopFoldersAreReported) {
    const removal::DesktopFolders folders = removal::QueryDesktopFolders();
    EXPECT_TRUE(testing_support::IsDirectory(folders.currentUser));
    EXPECT_TRUE(testing_support::IsDirectory(folders.allUsers));
    EXPECT_NE(folders.allUsers, folders.currentUser);
}
