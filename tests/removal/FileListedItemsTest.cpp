#include <gtest/gtest.h>

#include <windows.h>

#include "base/text.h"
#include "removal/DesktopLinks.h"
#include "removal/FileRemoval.h"
#include "removal/PathContainment.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"
#include "support/TestSupport.h"
#include "manifest/InstalledItems.h"

using namespace testing_support;
using manifest::kDirListPath;
using manifest::kFileListPath;
using manifest::RemoveListedItems;

namespace {

std::string Items(const std::vector<std::wstring>& paths, const char* element = "item") {
    std::string xml;
    for (const auto& path : paths) xml += std::string("<") + element + " path=\"" + base::XmlEscape(path) + "\"/>";
    return xml;
}

// An installation directory (its name decides whether it names the product)
// beside a directory "outside" whose file must survive every removal.
struct Installation {
    TempDir root{L"inst"};
    std::wstring dir;
    std::wstring outside = root / L"outside\\";
    explicit Installation(const wchar_t* name = L"Lumenox Viewer") : dir(root / name + L"\\") {
        ::CreateDirectoryW(dir.c_str(), nullptr);
        ::CreateDirectoryW(outside.c_str(), nullptr);
        WriteBytes(outside + L"precious.txt", "keep");
    }
    bool Manifest(const std::string& files, const std::string& dirs) const {
        const std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<packet><installfile><filelist>" + files +
                                "</filelist><dirlist>" + dirs + "</dirlist></installfile></packet>";
        return WriteBytes(dir + L"installconfig.xml", xml);
    }
    bool Files(const std::vector<std::wstring>& names) const {
        bool ok = true;
        for (const auto& name : names) {
            ok = ok && (name.back() == L'\\' ? ::CreateDirectoryW((dir + name).c_str(), nullptr) != FALSE
                                             : WriteBytes(dir + name, "x"));
        }
        return ok;
    }
    bool OutsideIntact() const { return ReadBytes(outside + L"precious.txt") == "keep"; }
};

// The "own directory" is that of the running test program: link targets live
// in a fresh folder beside it.
struct LinkWorld {
    TempDir own{L"links", BinDir()};
    TempDir elsewhere{L"elsewhere"};
    TempDir desktop{L"desktop"};
    LinkWorld() {
        ::CreateDirectoryW((own / L"bin").c_str(), nullptr);
        WriteBytes(own / L"bin\\viewer.exe", "MZ");
        WriteBytes(own / L"readme.txt", "r");
        WriteBytes(elsewhere / L"other.exe", "MZ");
        MakeShellLink(desktop / L"Viewer.lnk", own / L"bin\\viewer.exe");
        MakeShellLink(desktop / L"Upper.lnk", own / L"BIN\\VIEWER.EXE");
        MakeShellLink(desktop / L"Folder.lnk", own / L"bin");
        MakeShellLink(desktop / L"Other.lnk", elsewhere / L"other.exe");
        MakeShellLink(desktop / L"Gone.lnk", own / L"readme.txt");
        ::DeleteFileW((own / L"readme.txt").c_str());  // a missing target has no long path
        WriteBytes(desktop / L"plain.lnk", "not a link");
    }
};

std::wstring g_allUsersDesktop;
std::wstring g_userDesktop;
removal::DesktopFolders TestDesktops() { return {g_allUsersDesktop, g_userDesktop}; }

void RemoveInstalled(const std::wstring& dir) {
    std::wstring recorded;
    manifest::RemoveInstalledFiles(dir, recorded, &TestDesktops);
    EXPECT_EQ(recorded, dir);
}

}  // namespace

TEST(FilePathContainment, JoinsWhatStaysInsideAndRefusesTheRest) {
    const std::wstring dir = L"C:\\P\\lumenox\\";
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {  // relative path, joined (null: refused)
        {L"a.dll", L"a.dll"},
        {L"sub/x/b.dll", L"sub\\x\\b.dll"},
        {L".\\sub\\\\.\\b.dll", L"sub\\b.dll"},
        {L"sub\\..\\b.dll", L"b.dll"},
        {L"a.b..c", L"a.b..c"},
        {L"skins\\", L"skins\\"},  // a directory item keeps one trailing separator
        {L"skins/", L"skins\\"},
        // Climbing out, also through segments the platform trims to "..".
        {L"..", nullptr}, {L"..\\x.dll", nullptr}, {L"../x.dll", nullptr}, {L"sub\\..\\..\\x.dll", nullptr},
        {L"sub\\..\\..\\lumenox\\x.dll", nullptr}, {L"...\\x.dll", nullptr}, {L".. \\x.dll", nullptr},
        {L"sub\\. .\\x.dll", nullptr},
        // Absolute, drive, UNC, device and stream forms.
        {L"\\Windows\\x.dll", nullptr}, {L"/Windows/x.dll", nullptr}, {L"C:\\Windows\\x.dll", nullptr},
        {L"C:x.dll", nullptr}, {L"sub\\D:\\x.dll", nullptr}, {L"\\\\server\\share\\x.dll", nullptr},
        {L"\\\\?\\C:\\x.dll", nullptr}, {L"\\\\.\\PhysicalDrive0", nullptr}, {L"//?/C:/x.dll", nullptr},
        {L"x.dll:stream", nullptr},
        // The directory itself: an empty "path" would name the whole installation.
        {L"", nullptr}, {L".", nullptr}, {L".\\", nullptr}, {L"sub\\..", nullptr},
    };
    for (const auto& [relative, expected] : cases) {
        std::wstring joined = L"untouched";
        EXPECT_EQ(removal::JoinInsideDirectory(dir, relative, joined), expected != nullptr)
            << base::WideToUtf8(relative);
        EXPECT_EQ(joined, expected ? dir + expected : L"");
    }
    std::wstring joined;
    EXPECT_TRUE(removal::JoinInsideDirectory(L"C:\\P\\lumenox", L"a.dll", joined));  // without separator
    EXPECT_EQ(joined, L"C:\\P\\lumenox\\a.dll");
    EXPECT_FALSE(removal::JoinInsideDirectory(L"", L"a.dll", joined));
}

// Directories found plain are not read again; a link is found every time and never remembered.
TEST(FilePathContainment, RememberedPlainDirectoriesNeverHideALink) {
    TempDir root(L"plain");
    const std::wstring dir = root / L"inst\\";
    const std::wstring plain = dir + L"sub";
    const std::wstring link = plain + L"\\link";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    ::CreateDirectoryW(plain.c_str(), nullptr);
    ScopedLinks links;
    ASSERT_TRUE(links.Make(link, root.path()));

    removal::PlainDirectories known;
    EXPECT_FALSE(removal::PassesThroughLink(dir, plain + L"\\a.txt", &known));
    EXPECT_TRUE(known.Contains(plain));
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_TRUE(removal::PassesThroughLink(dir, link + L"\\x\\a.txt", &known)) << pass;
        EXPECT_FALSE(known.Contains(link)) << pass;
    }
    // Missing directories are asked again rather than remembered.
    EXPECT_FALSE(removal::PassesThroughLink(dir, dir + L"gone\\a.txt", &known));
    EXPECT_FALSE(known.Contains(dir + L"gone"));
}

TEST(FileDesktopLinks, SweepRemovesOnlyLinksIntoOwnDirectory) {
    LinkWorld w;
    ASSERT_TRUE(::CreateDirectoryW((w.desktop / L"Folder").c_str(), nullptr));
    ASSERT_TRUE(MakeShellLink(w.desktop / L"Folder\\Nested.lnk", w.own / L"bin\\viewer.exe"));  // not swept
    ASSERT_TRUE(::CopyFileW((w.own / L"bin\\viewer.exe").c_str(), (w.desktop / L"viewer.exe").c_str(), FALSE));
    // Without a trailing separator, as the platform reports desktop folders.
    removal::RemoveDesktopLinks(w.desktop.path().substr(0, w.desktop.path().size() - 1));
    for (const wchar_t* gone : {L"Viewer.lnk", L"Upper.lnk", L"Folder.lnk"}) EXPECT_FALSE(Exists(w.desktop / gone));
    for (const wchar_t* kept : {L"Other.lnk", L"Gone.lnk", L"plain.lnk", L"Folder\\Nested.lnk", L"viewer.exe"}) {
        EXPECT_TRUE(Exists(w.desktop / kept)) << base::WideToUtf8(kept);
    }
    EXPECT_TRUE(Exists(w.own / L"bin\\viewer.exe"));
    removal::RemoveDesktopLinks(L"");  // an unreadable desktop folder is skipped
    removal::RemoveDesktopLinks(w.desktop / L"missing");
    const removal::DesktopFolders folders = removal::QueryDesktopFolders();
    EXPECT_TRUE(IsDirectory(folders.currentUser));
    EXPECT_TRUE(IsDirectory(folders.allUsers));
    EXPECT_NE(folders.allUsers, folders.currentUser);
}

TEST(FileListedItems, RemovesListedFilesAndDirectories) {
    Installation inst;
    const std::wstring& d = inst.dir;
    ASSERT_TRUE(inst.Files({L"skins\\", L"skins\\dark\\", L"plugins\\", L"a.dll", L"b.exe", L"unlisted.txt",
                            L"skins\\dark\\s.png", L"plugins\\p.dll", L"\u56fe\u7247.txt"}));
    ASSERT_TRUE(::SetFileAttributesW((d + L"skins\\dark\\s.png").c_str(), FILE_ATTRIBUTE_READONLY));
    // Sibling elements of any name are walked too.
    ASSERT_TRUE(inst.Manifest(Items({L"a.dll", L"sub/../b.exe", L"\u56fe\u7247.txt"}) + Items({L"gone.dll"}, "other"),
                              Items({L"skins\\", L"plugins"})));
    // Files mode answers with the last deletion: "gone.dll" does not exist.
    EXPECT_FALSE(RemoveListedItems(d, kFileListPath, false));
    for (const wchar_t* gone : {L"a.dll", L"b.exe", L"\u56fe\u7247.txt"}) EXPECT_FALSE(Exists(d + gone));
    EXPECT_TRUE(Exists(d + L"skins\\dark\\s.png"));
    EXPECT_FALSE(RemoveListedItems(d, kDirListPath, true)) << "directory mode answers false";
    EXPECT_FALSE(Exists(d + L"skins"));
    EXPECT_FALSE(Exists(d + L"plugins"));
    EXPECT_TRUE(Exists(d + L"unlisted.txt"));
    EXPECT_TRUE(Exists(d + L"installconfig.xml"));
    ASSERT_TRUE(inst.Files({L"c.dll"}));
    ASSERT_TRUE(inst.Manifest(Items({L"c.dll"}), ""));
    EXPECT_TRUE(RemoveListedItems(d, kFileListPath, false));
}

TEST(FileListedItems, MissingManifestOrListRemovesNothing) {
    Installation inst;
    ASSERT_TRUE(inst.Files({L"a.dll"}));
    EXPECT_FALSE(RemoveListedItems(inst.dir, kFileListPath, false));
    ASSERT_TRUE(WriteBytes(inst.dir + L"installconfig.xml", "<packet><installfile/></packet>"));
    EXPECT_FALSE(RemoveListedItems(inst.dir, kFileListPath, false));
    ASSERT_TRUE(WriteBytes(inst.dir + L"installconfig.xml", "not xml <"));
    EXPECT_FALSE(RemoveListedItems(inst.dir, kDirListPath, true));
    EXPECT_TRUE(Exists(inst.dir + L"a.dll"));
}

TEST(FileListedItems, ItemsOutsideTheInstallationAreSkipped) {
    Installation inst;
    const std::wstring precious = inst.outside + L"precious.txt";
    const std::wstring outsideNoSep = inst.outside.substr(0, inst.outside.size() - 1);
    ASSERT_TRUE(inst.Files({L"own.dll"}));
    // The containment rule's table lies with JoinInsideDirectory; here it is applied in both modes.
    const std::vector<std::wstring> hostile = {L"..\\outside\\precious.txt", precious, L"\\\\?\\" + precious,
                                               L""};  // the installation directory itself
    ASSERT_TRUE(inst.Manifest(Items(hostile) + Items({L"own.dll", L"..\\outside\\precious.txt"}),
                              Items(hostile) +
                                  Items({L"..\\outside", L"..", outsideNoSep, L"\\\\?\\" + outsideNoSep})));
    // Skipped like any failure: the last item decides the answer.
    EXPECT_FALSE(RemoveListedItems(inst.dir, kFileListPath, false));
    EXPECT_FALSE(RemoveListedItems(inst.dir, kDirListPath, true));
    EXPECT_FALSE(Exists(inst.dir + L"own.dll"));
    EXPECT_TRUE(inst.OutsideIntact());
    EXPECT_TRUE(Exists(inst.dir + L"installconfig.xml"));
}

TEST(FileListedItems, ItemsReachedThroughLinksAreSkipped) {
    Installation inst;
    ScopedLinks links;
    ASSERT_TRUE(links.Make(inst.dir + L"data", inst.outside));
    ASSERT_TRUE(inst.Manifest(Items({L"data\\precious.txt"}), Items({L"data\\", L"data"})));
    EXPECT_FALSE(RemoveListedItems(inst.dir, kFileListPath, false));
    RemoveListedItems(inst.dir, kDirListPath, true);
    EXPECT_TRUE(inst.OutsideIntact());
}

TEST(FileListedItems, RunningListedProgramIsTerminatedThenDeleted) {
    Installation inst;
    const std::wstring program = inst.dir + L"sleeper.exe";
    ChildProcess running = StartSleeperCopy(inst.dir, L"sleeper.exe");
    ASSERT_TRUE(running.Running());
    ASSERT_FALSE(::DeleteFileW(program.c_str()));
    ASSERT_TRUE(inst.Manifest(Items({L"sleeper.exe"}), ""));
    EXPECT_TRUE(RemoveListedItems(inst.dir, kFileListPath, false));
    EXPECT_TRUE(running.WaitExit(5000));
    EXPECT_FALSE(Exists(program));
}

TEST(FileListedItems, ProductDirectoryGoesOnlyWhenItNamesTheProduct) {
    EXPECT_TRUE(removal::HasProductWord(L"C:\\Program Files\\LUMENOX\\"));
    EXPECT_TRUE(removal::HasProductWord(L"D:\\Orbix Tools\\viewer\\"));
    EXPECT_FALSE(removal::HasProductWord(L"C:\\Program Files\\Viewer\\"));
    EXPECT_FALSE(removal::HasProductWord(L"C:\\lumen ox\\"));
    Installation named(L"OrbiX Viewer");
    Installation plain(L"Viewer");
    for (const auto* inst : {&named, &plain}) ASSERT_TRUE(inst->Files({L"sub\\", L"sub\\left.txt"}));
    EXPECT_TRUE(removal::RemoveProductDirectory(named.dir));
    EXPECT_FALSE(Exists(named.dir));
    EXPECT_TRUE(removal::RemoveProductDirectory(plain.dir));
    EXPECT_TRUE(Exists(plain.dir + L"sub\\left.txt"));
    EXPECT_TRUE(removal::RemoveProductDirectory(plain.root / L"lumenox-missing\\"));
    // A file that names the product is not a directory and stays.
    ASSERT_TRUE(WriteBytes(plain.root / L"lumenox.txt", "f"));
    EXPECT_TRUE(removal::RemoveProductDirectory(plain.root / L"lumenox.txt"));
    EXPECT_TRUE(Exists(plain.root / L"lumenox.txt"));
}

TEST(FileListedItems, InstalledFilesRemovalRunsEveryStep) {
    Installation inst;
    ASSERT_TRUE(inst.Files({L"skins\\", L"skins\\s.png", L"a.dll", L"unlisted.txt"}));
    ASSERT_TRUE(inst.Manifest(Items({L"a.dll"}), Items({L"skins"})));
    LinkWorld user;
    TempDir allUsers(L"pubdesk");
    ASSERT_TRUE(MakeShellLink(allUsers / L"Viewer.lnk", user.own / L"bin\\viewer.exe"));
    g_allUsersDesktop = allUsers.path();
    g_userDesktop = user.desktop.path();
    RemoveInstalled(inst.dir);
    EXPECT_FALSE(Exists(allUsers / L"Viewer.lnk"));
    EXPECT_FALSE(Exists(user.desktop / L"Viewer.lnk"));
    EXPECT_TRUE(Exists(user.desktop / L"Other.lnk"));
    // The path names the product, so the whole directory goes, unlisted files included.
    EXPECT_FALSE(Exists(inst.dir));
    EXPECT_TRUE(inst.OutsideIntact());
}

TEST(FileListedItems, InstalledFilesRemovalKeepsUnnamedDirectoryAndUnlistedFiles) {
    g_allUsersDesktop.clear();
    g_userDesktop.clear();
    // The manifest goes whether or not it lists itself; when it does, the
    // directory pass must still see the directory list. When the run holds it
    // open with read sharing only, it can be neither deleted nor renamed and
    // stays for the self-removal script.
    for (const auto& [listsItself, held] : {std::pair{false, false}, std::pair{true, false}, std::pair{false, true}}) {
        SCOPED_TRACE(std::to_string(listsItself) + " " + std::to_string(held));
        Installation inst(L"Viewer");
        ASSERT_TRUE(inst.Files({L"plugins\\", L"plugins\\p.dll", L"a.dll", L"unlisted.txt"}));
        ASSERT_TRUE(inst.Manifest(Items(listsItself ? std::vector<std::wstring>{L"installconfig.xml", L"a.dll"}
                                                    : std::vector<std::wstring>{L"a.dll"}),
                                  Items({L"plugins"})));
        base::unique_hfile manifest;
        if (held) {
            manifest.reset(::CreateFileW((inst.dir + L"installconfig.xml").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
        }
        RemoveInstalled(inst.dir);
        EXPECT_EQ(Exists(inst.dir + L"installconfig.xml"), held);
        EXPECT_FALSE(Exists(inst.dir + L"a.dll"));
        EXPECT_FALSE(Exists(inst.dir + L"plugins"));
        EXPECT_TRUE(Exists(inst.dir + L"unlisted.txt"));
    }
}
