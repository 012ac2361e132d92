#include <gtest/gtest.h>

#include <windows.h>

#include "base/text.h"
#include "manifest/InstalledItems.h"
#include "removal/DesktopLinks.h"
#include "removal/FileRemoval.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"
#include "support/TestSupport.h"

using base::XmlEscape;
using manifest::RemoveListedItems;
using testing_support::BinDir;
using testing_support::ChildProcess;
using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using testing_support::WriteUtf8;

namespace {

std::string Items(const std::vector<std::wstring>& paths, const char* element = "item") {
    std::string xml;
    for (const auto& path : paths) xml += std::string("<") + element + " path=\"" + XmlEscape(path) + "\"/>";
    return xml;
}

bool WriteManifest(const std::wstring& installDir, const std::string& files, const std::string& dirs) {
    const std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<packet><installfile><filelist>" + files +
                            "</filelist><dirlist>" + dirs + "</dirlist></installfile></packet>";
    return WriteBytes(installDir + L"installconfig.xml", xml);
}

// An installation directory with a few files and a neighbouring directory
// "outside" whose files must survive every removal.
struct Installation {
    TempDir root{L"inst"};
    std::wstring install = root / L"Lumenox Viewer\\";
    std::wstring outside = root / L"outside\\";

    Installation() {
        ::CreateDirectoryW(install.c_str(), nullptr);
        ::CreateDirectoryW(outside.c_str(), nullptr);
        WriteBytes(outside + L"precious.txt", "keep");
    }
    bool OutsideIntact() const { return ReadBytes(outside + L"precious.txt") == "keep"; }
};

}  // namespace

TEST(FileListedItems, RemovesListedFilesAndDirectories) {
    Installation inst;
    const std::wstring& d = inst.install;
    ASSERT_TRUE(::CreateDirectoryW((d + L"skins").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((d + L"skins\\dark").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((d + L"plugins").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(d + L"a.dll", "a"));
    ASSERT_TRUE(WriteBytes(d + L"b.exe", "b"));
    ASSERT_TRUE(WriteBytes(d + L"unlisted.txt", "u"));
    ASSERT_TRUE(WriteBytes(d + L"skins\\dark\\s.png", "s"));
    ASSERT_TRUE(::SetFileAttributesW((d + L"skins\\dark\\s.png").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteBytes(d + L"plugins\\p.dll", "p"));
    ASSERT_TRUE(WriteUtf8(d + L"\u56fe\u7247.txt", L"non-ASCII name"));
    // Sibling elements of any name are walked too.
    ASSERT_TRUE(WriteManifest(d, Items({L"a.dll", L"sub/../b.exe", L"\u56fe\u7247.txt"}) + Items({L"gone.dll"}, "other"),
                              Items({L"skins\\", L"plugins"})));

    // Files mode answers with the last deletion: "gone.dll" does not exist.
    EXPECT_FALSE(RemoveListedItems(d, manifest::kFileListPath, false));
    EXPECT_FALSE(Exists(d + L"a.dll"));
    EXPECT_FALSE(Exists(d + L"b.exe"));
    EXPECT_FALSE(Exists(d + L"\u56fe\u7247.txt"));
    EXPECT_TRUE(Exists(d + L"skins\\dark\\s.png"));

    EXPECT_FALSE(RemoveListedItems(d, manifest::kDirListPath, true)) << "directory mode answers false";
    EXPECT_FALSE(Exists(d + L"skins"));
    EXPECT_FALSE(Exists(d + L"plugins"));
    EXPECT_TRUE(Exists(d + L"unlisted.txt"));
    EXPECT_TRUE(Exists(d + L"installconfig.xml"));

    ASSERT_TRUE(WriteBytes(d + L"c.dll", "c"));
    ASSERT_TRUE(WriteManifest(d, Items({L"c.dll"}), ""));
    EXPECT_TRUE(RemoveListedItems(d, manifest::kFileListPath, false));
}

TEST(FileListedItems, MissingManifestOrListRemovesNothing) {
    Installation inst;
    ASSERT_TRUE(WriteBytes(inst.install + L"a.dll", "a"));
    EXPECT_FALSE(RemoveListedItems(inst.install, manifest::kFileListPath, false));
    ASSERT_TRUE(WriteBytes(inst.install + L"installconfig.xml", "<packet><installfile/></packet>"));
    EXPECT_FALSE(RemoveListedItems(inst.install, manifest::kFileListPath, false));
    ASSERT_TRUE(WriteBytes(inst.install + L"installconfig.xml", "not xml <"));
    EXPECT_FALSE(RemoveListedItems(inst.install, manifest::kDirListPath, true));
    EXPECT_TRUE(Exists(inst.install + L"a.dll"));
}

TEST(FileListedItems, ItemsOutsideTheInstallationAreSkipped) {
    Installation inst;
    const std::wstring& d = inst.install;
    const std::wstring precious = inst.outside + L"precious.txt";
    const std::wstring outsideNoSep = inst.outside.substr(0, inst.outside.size() - 1);
    ASSERT_TRUE(WriteBytes(d + L"own.dll", "own"));
    const std::vector<std::wstring> hostile = {
        L"..\\outside\\precious.txt",
        L"../outside/precious.txt",
        L"sub\\..\\..\\outside\\precious.txt",
        precious,                                  // absolute with drive letter
        precious.substr(2),                        // rooted, no drive
        precious.substr(0, 2) + L"..\\outside\\precious.txt",  // drive-relative
        L"\\\\?\\" + precious,
        L"\\\\.\\" + precious,
        L"\\\\localhost\\" + precious.substr(0, 1) + L"$" + precious.substr(2),
        L"",                                       // the installation directory itself
        L"...\\outside\\precious.txt",
    };
    ASSERT_TRUE(WriteManifest(d, Items(hostile) + Items({L"own.dll"}) + Items({L"..\\outside\\precious.txt"}),
                              Items(hostile) + Items({L"..\\outside", L"..", outsideNoSep, L"\\\\?\\" + outsideNoSep})));

    // Skipped like any failure: the last item decides the answer.
    EXPECT_FALSE(RemoveListedItems(d, manifest::kFileListPath, false));
    EXPECT_FALSE(RemoveListedItems(d, manifest::kDirListPath, true));
    EXPECT_FALSE(Exists(d + L"own.dll"));
    EXPECT_TRUE(inst.OutsideIntact());
    EXPECT_TRUE(Exists(d + L"installconfig.xml"));
}

TEST(FileListedItems, ItemsReachedThroughLinksAreSkipped) {
    Installation inst;
    const std::wstring& d = inst.install;
    struct LinkGuard {
        std::wstring link;
        ~LinkGuard() { testing_support::RemoveSymbolicLink(link); }
    } guard{d + L"data"};
    ASSERT_TRUE(testing_support::MakeSymbolicLink(guard.link, inst.outside, true));
    ASSERT_TRUE(WriteManifest(d, Items({L"data\\precious.txt"}), Items({L"data\\", L"data"})));

    EXPECT_FALSE(RemoveListedItems(d, manifest::kFileListPath, false));
    RemoveListedItems(d, manifest::kDirListPath, true);
    EXPECT_TRUE(inst.OutsideIntact());
    // The listed link itself goes (Wine 8 cannot remove a link to a directory and keeps it).
    if (!testing_support::RunningUnderWine()) {
        EXPECT_FALSE(Exists(guard.link));
    }
}

TEST(FileListedItems, RunningListedProgramIsTerminatedThenDeleted) {
    Installation inst;
    const std::wstring program = inst.install + L"sleeper.exe";
    ChildProcess running = testing_support::StartSleeperCopy(inst.install, L"sleeper.exe");
    ASSERT_TRUE(running.Running());
    ASSERT_FALSE(::DeleteFileW(program.c_str()));
    ASSERT_TRUE(WriteManifest(inst.install, Items({L"sleeper.exe"}), ""));

    EXPECT_TRUE(RemoveListedItems(inst.install, manifest::kFileListPath, false));
    EXPECT_EQ(::WaitForSingleObject(running.handle(), 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_FALSE(Exists(program));
}

TEST(FileListedItems, ProductDirectoryGoesOnlyWhenItNamesTheProduct) {
    EXPECT_TRUE(removal::HasProductWord(L"C:\\Program Files\\LUMENOX\\"));
    EXPECT_TRUE(removal::HasProductWord(L"D:\\Orbix Tools\\viewer\\"));
    EXPECT_FALSE(removal::HasProductWord(L"C:\\Program Files\\Viewer\\"));
    EXPECT_FALSE(removal::HasProductWord(L"C:\\lumen ox\\"));

    TempDir root(L"prod");
    const std::wstring named = root / L"OrbiX Viewer\\";
    const std::wstring plain = root / L"Viewer\\";
    for (const auto& dir : {named, plain}) {
        ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((dir + L"sub").c_str(), nullptr));
        ASSERT_TRUE(WriteBytes(dir + L"sub\\left.txt", "x"));
    }
    EXPECT_TRUE(removal::RemoveProductDirectory(named));
    EXPECT_FALSE(Exists(named));
    EXPECT_TRUE(removal::RemoveProductDirectory(plain));
    EXPECT_TRUE(Exists(plain + L"sub\\left.txt"));
    EXPECT_TRUE(removal::RemoveProductDirectory(root / L"lumenox-missing\\"));
    // A file that names the product is not a directory and stays.
    ASSERT_TRUE(WriteBytes(root / L"lumenox.txt", "f"));
    EXPECT_TRUE(removal::RemoveProductDirectory(root / L"lumenox.txt"));
    EXPECT_TRUE(Exists(root / L"lumenox.txt"));
}

namespace {

std::wstring g_allUsersDesktop;
std::wstring g_userDesktop;
removal::DesktopFolders TestDesktops() { return {g_allUsersDesktop, g_userDesktop}; }

}  // namespace

TEST(FileListedItems, InstalledFilesRemovalRunsEveryStep) {
    Installation inst;
    const std::wstring& d = inst.install;
    ASSERT_TRUE(::CreateDirectoryW((d + L"skins").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(d + L"skins\\s.png", "s"));
    ASSERT_TRUE(WriteBytes(d + L"a.dll", "a"));
    ASSERT_TRUE(WriteBytes(d + L"unlisted.txt", "u"));
    ASSERT_TRUE(WriteManifest(d, Items({L"a.dll"}), Items({L"skins"})));

    // Desktop shortcuts are judged against the running executable's directory.
    testing_support::BinSubDir own(L"desk");
    ASSERT_TRUE(WriteBytes(own / L"viewer.exe", "MZ"));
    TempDir allUsers(L"pubdesk");
    TempDir user(L"userdesk");
    ASSERT_TRUE(testing_support::MakeShellLink(allUsers / L"Viewer.lnk", own / L"viewer.exe"));
    ASSERT_TRUE(testing_support::MakeShellLink(user / L"Viewer.lnk", own / L"viewer.exe"));
    ASSERT_TRUE(testing_support::MakeShellLink(user / L"Other.lnk", inst.outside + L"precious.txt"));
    g_allUsersDesktop = allUsers.path();
    g_userDesktop = user.path();

    std::wstring recorded;
    manifest::RemoveInstalledFiles(d, recorded, &TestDesktops);
    EXPECT_EQ(recorded, d);
    EXPECT_FALSE(Exists(allUsers / L"Viewer.lnk"));
    EXPECT_FALSE(Exists(user / L"Viewer.lnk"));
    EXPECT_TRUE(Exists(user / L"Other.lnk"));
    // The path names the product, so the whole directory goes, unlisted files included.
    EXPECT_FALSE(Exists(d));
    EXPECT_TRUE(inst.OutsideIntact());
}

TEST(FileListedItems, InstalledFilesRemovalKeepsUnnamedDirectory) {
    TempDir root(L"plain");
    const std::wstring d = root / L"Viewer\\";
    ASSERT_TRUE(::CreateDirectoryW(d.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(d + L"a.dll", "a"));
    ASSERT_TRUE(WriteBytes(d + L"unlisted.txt", "u"));
    ASSERT_TRUE(WriteManifest(d, Items({L"a.dll"}), ""));
    g_allUsersDesktop.clear();
    g_userDesktop.clear();

    std::wstring recorded;
    manifest::RemoveInstalledFiles(d, recorded, &TestDesktops);
    EXPECT_EQ(recorded, d);
    EXPECT_FALSE(Exists(d + L"a.dll"));
    EXPECT_FALSE(Exists(d + L"installconfig.xml"));
    EXPECT_TRUE(Exists(d + L"unlisted.txt"));
}

TEST(FileListedItems, ManifestHeldOpenStays) {
    // The run keeps the manifest open with read sharing only; then it can be
    // neither deleted nor renamed and stays for the self-removal script.
    TempDir root(L"held");
    const std::wstring d = root / L"Viewer\\";
    ASSERT_TRUE(::CreateDirectoryW(d.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(d + L"a.dll", "a"));
    ASSERT_TRUE(WriteManifest(d, Items({L"a.dll"}), ""));
    base::unique_hfile held(::CreateFileW((d + L"installconfig.xml").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    g_allUsersDesktop.clear();
    g_userDesktop.clear();
    std::wstring recorded;
    manifest::RemoveInstalledFiles(d, recorded, &TestDesktops);
    EXPECT_FALSE(Exists(d + L"a.dll"));
    EXPECT_TRUE(Exists(d + L"installconfig.xml"));
}

TEST(FileListedItems, ManifestListingItselfStillHasItsDirectoriesRemoved) {
    // The file pass deletes the manifest when it lists itself; the directory
    // pass must still see the directory list.
    TempDir root(L"self");
    const std::wstring d = root / L"Viewer\\";
    ASSERT_TRUE(::CreateDirectoryW(d.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((d + L"plugins").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(d + L"plugins\\p.dll", "p"));
    ASSERT_TRUE(WriteBytes(d + L"a.dll", "a"));
    ASSERT_TRUE(WriteManifest(d, Items({L"installconfig.xml", L"a.dll"}), Items({L"plugins"})));
    g_allUsersDesktop.clear();
    g_userDesktop.clear();
    std::wstring recorded;
    manifest::RemoveInstalledFiles(d, recorded, &TestDesktops);
    EXPECT_FALSE(Exists(d + L"installconfig.xml"));
    EXPECT_FALSE(Exists(d + L"a.dll"));
    EXPECT_FALSE(Exists(d + L"plugins"));
    EXPECT_TRUE(Exists(d));  // the path names no product: the directory itself stays
}
