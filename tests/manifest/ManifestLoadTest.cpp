// The file configuration list loaded from real manifests in temporary
// installation directories: which items and entries are visited, the full
// paths, the name decoding, and the main program's single run before the
// uninstall information goes. The desktop shortcut and start-menu entries:
// the unpin request before the deletion, names that must stay in their
// folder, and the real shell.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "base/SdkLibrary.h"
#include "base/text.h"
#include "manifest/FileConfig.h"
#include "manifest/InstallLoader.h"
#include "manifest/Shortcut.h"
#include "removal/Registry.h"
#include "base/XmlConfigDocument.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"
#include "support/ManifestSupport.h"
#include "support/ProductKey.h"
#include "support/TestSupport.h"

using namespace manifest;
using base::XmlConfigDocument;
using namespace testing_support;
using removal::kInstallerView;

namespace {

constexpr wchar_t kManifestName[] = L"installconfig.xml";

// An installation directory with a manifest, the shell's folders in temporary
// directories and optionally a product value lookup.
struct Installation {
    TempDir dir{L"lumenox_install"};
    RecordingShell shell;
    FileConfigList list;
    explicit Installation(const std::string& items, const base::ProductValueLookup* lookup = nullptr) {
        WriteBytes(dir / kManifestName, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet MsgTip=\"Lumenox\">"
                                        "<installfile><filelist>" + items + "</filelist>"
                                        "<dirlist><item path=\"data\"/></dirlist></installfile></packet>");
        list.SetDirectory(dir.path());
        list.SetEnvironment(ManifestEnvironment{shell.environment(), lookup});
    }
    void Load() { list.LoadFileConfigList(dir / kManifestName); }
    std::wstring Desktop(const std::wstring& name) const { return shell.desktop() + name; }
    void PutOnDesktop(std::initializer_list<const wchar_t*> names) const {
        for (const wchar_t* name : names) WriteBytes(Desktop(name), "lnk");
    }
};

// The uninstall-information key that the SDK stand-in names, and the main
// program copied into a directory with the order to probe that key.
struct UninstallInfoWorld {
    TempDir sdkDir{L"sdk"};
    ProductKeyScope productKey;
    const std::wstring uninstallKey = UniqueUninstallKeyPath();
    ScopedKeys keys;
    bool created = false;
    std::unique_ptr<base::ProductValueLookup> lookup;
    UninstallInfoWorld() {
        // A value and a subkey, so that the deletion has to take a whole tree.
        created = keys.Create(HKEY_LOCAL_MACHINE, uninstallKey, kInstallerView, L"DisplayName", L"Lumenox") &&
                  CreateKey(HKEY_LOCAL_MACHINE, uninstallKey + L"\\sub", kInstallerView);
        PrepareSdkDirectory(sdkDir.path(), {{L"UNINSTALL_INFO_REG", uninstallKey}});
        lookup = std::make_unique<base::ProductValueLookup>(sdkDir.path());
        ProductKeyScope::SetString(L"install_dir", L"C:\\Lumenox");
    }
    ~UninstallInfoWorld() { lookup.reset(); }  // the lookup holds the stand-in loaded from sdkDir
    void InstallMainProgram(const std::wstring& dir) const {
        CopyInto(L"lumenox_main.exe", dir);
        WriteBytes(dir + L"lumenox_main_probe.txt", base::WideToUtf8(uninstallKey));
    }
    bool UninstallKeyPresent() const { return KeyExists(HKEY_LOCAL_MACHINE, uninstallKey, kInstallerView); }
};

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

TEST(ManifestDecodeUtf8Bmp, DecodesUpToThreeBytesAndStopsAtWhatItCannot) {
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"Lumenox Viewer.lnk", L"Lumenox Viewer.lnk"}, {"caf\xC3\xA9", L"caf\u00e9"}, {"", L""},
        {"\xE7\x9C\x8B\xE5\x9B\xBE.lnk", L"\u770b\u56fe.lnk"},  // as the installer writes Chinese names
        // The decoded prefix before a four-byte sequence, a stray continuation
        // byte, a cut-off sequence or an overlong zero (which would cut the path
        // short at the platform, turning "\0x" into the folder itself).
        {"ab\xF0\x9F\x98\x80" "c.lnk", L"ab"}, {"ab\x80" "cd", L"ab"}, {"ab\xE7\x9C", L"ab"}, {"ab\xC3", L"ab"},
        {"ab\xC0\x80" "cd", L"ab"}, {"\xC0\x80" "cd", L""},
    };
    for (const auto& [utf8, wide] : cases) EXPECT_EQ(DecodeUtf8Bmp(utf8), wide) << utf8;
}

TEST(ManifestCreateInstallInfo, KnowsExactlyTheThreeEntryModes) {
    const std::wstring path = L"C:\\Lumenox\\lumenox.exe";
    for (const wchar_t* mode : {L"shortcut", L"startmenu", L"service"}) {
        const auto entry = CreateInstallInfo(mode, path);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->path(), path);
        EXPECT_EQ(std::string(entry->GetModeName()), base::WideToUtf8(mode));
    }
    // "reg" belongs to the main-program item, not to an entry; modes compare exactly.
    for (const wchar_t* mode : {L"reg", L"Shortcut", L"SERVICE", L"startmenu ", L""}) {
        EXPECT_EQ(CreateInstallInfo(mode, path), nullptr) << base::WideToUtf8(mode);
    }
    // A service entry without a name does nothing; one whose service is gone still counts as done.
    XmlConfigDocument doc;
    auto service = CreateInstallInfo(L"service", L"C:\\Lumenox\\qlumservice.exe");
    ASSERT_TRUE(doc.LoadText("<config mode=\"service\" displayname=\"Lumenox Service\"/>") && doc.SelectPath(""));
    EXPECT_EQ(service->Execute(doc), 0);
    ASSERT_TRUE(doc.LoadText("<config mode=\"service\" name=\"qlum_never_installed_service\"/>") && doc.SelectPath(""));
    EXPECT_EQ(service->Execute(doc), 1);
}

TEST(ManifestInstallLoader, AnswersItsCodesAndRunsTheProgramOnceWithSetDefault) {
    TempDir dir(L"loader");
    QInstallLoader loader;
    const std::pair<std::wstring, int> failures[] = {
        {L"", kLoaderEmptyPath}, {dir / L"missing.exe", kLoaderFileMissing}, {dir.path(), kLoaderFileMissing}};
    for (const auto& [path, code] : failures) {
        loader.Init(kInstallLoaderKindExe, path);
        EXPECT_EQ(loader.Run(), code) << base::WideToUtf8(path);
    }
    ASSERT_TRUE(CopyInto(L"lumenox_main.exe", dir.path()));
    loader.Init(kInstallLoaderKindExe, dir / L"lumenox_main.exe");
    EXPECT_EQ(loader.parameters(), L"/setdefault:0");
    EXPECT_EQ(loader.Run(), kLoaderStarted);
    ASSERT_TRUE(WaitForLine(dir / L"lumenox_main.log", 10000));
    EXPECT_EQ(ReadLines(dir / L"lumenox_main.log"), std::vector<std::string>{"/setdefault:0"});
}

TEST(ManifestLoad, NonAsciiItemPathsAndShortcutNamesSurvive) {
    const std::string name = "\xE7\x9C\x8B\xE5\x9B\xBE\xE7\x8E\x8B";  // "看图王"
    Installation inst("<item path=\"" + name + ".exe\"><config mode=\"shortcut\" name=\"" + name + ".lnk\"/></item>");
    inst.PutOnDesktop({L"\u770b\u56fe\u738b.lnk", L"other.lnk"});
    inst.list.SetDirectory(inst.dir.path().substr(0, inst.dir.path().size() - 1));  // the same without a separator
    inst.Load();
    ASSERT_EQ(inst.list.files().size(), 1u);
    EXPECT_EQ(inst.list.files()[0].path(), inst.dir / L"\u770b\u56fe\u738b.exe");
    ASSERT_EQ(inst.list.files()[0].entries().size(), 1u);
    EXPECT_EQ(inst.list.files()[0].entries()[0]->path(), inst.dir / L"\u770b\u56fe\u738b.exe");
    EXPECT_FALSE(Exists(inst.Desktop(L"\u770b\u56fe\u738b.lnk")));
    EXPECT_TRUE(Exists(inst.Desktop(L"other.lnk")));
}

TEST(ManifestLoad, WalksStartAtTheFirstItemAndItsFirstConfigChildAndTakeEveryElementAfter) {
    Installation inst(
        "<file path=\"notyet.exe\"><config mode=\"shortcut\" name=\"notyet.lnk\"/></file>"
        "<item path=\"lumenox.exe\">"
        "<shortcut mode=\"shortcut\" name=\"before.lnk\"/>"
        "<config mode=\"shortcut\" name=\"first.lnk\"/>"
        "<!-- comments are no elements -->"
        "<anything mode=\"shortcut\" name=\"later.lnk\"/>"
        "<config name=\"nomode.lnk\"/>"
        "<config mode=\"unknown\" name=\"unknown.lnk\"/>"
        "<config mode=\"reg\"/>"
        "</item>"
        "<file path=\"b.exe\"><config mode=\"startmenu\" dir=\"Lumenox\"/></file>");
    inst.PutOnDesktop({L"notyet.lnk", L"before.lnk", L"first.lnk", L"later.lnk", L"nomode.lnk", L"unknown.lnk"});
    ASSERT_TRUE(::CreateDirectoryW((inst.shell.programs() + L"Lumenox").c_str(), nullptr));
    inst.Load();
    for (const wchar_t* kept : {L"notyet.lnk", L"before.lnk", L"nomode.lnk", L"unknown.lnk"}) {
        EXPECT_TRUE(Exists(inst.Desktop(kept))) << base::WideToUtf8(kept);
    }
    EXPECT_FALSE(Exists(inst.Desktop(L"first.lnk")));
    EXPECT_FALSE(Exists(inst.Desktop(L"later.lnk")));
    EXPECT_FALSE(Exists(inst.shell.programs() + L"Lumenox"));
    ASSERT_EQ(inst.list.files().size(), 2u);
    EXPECT_EQ(inst.list.files()[0].entries().size(), 2u);
    EXPECT_EQ(inst.list.files()[1].path(), inst.dir / L"b.exe");
}

TEST(ManifestLoad, UnreadableManifestsExecuteNothing) {
    for (const char* text : {"", "<packet><installfile>", "<packet><installfile><dirlist/></installfile></packet>",
                             static_cast<const char*>(nullptr)}) {  // null: the manifest named is absent
        Installation inst("<item path=\"a.exe\"><config mode=\"shortcut\" name=\"a.lnk\"/></item>");
        if (text) WriteBytes(inst.dir / kManifestName, text);
        inst.PutOnDesktop({L"a.lnk"});
        inst.list.LoadFileConfigList(inst.dir / (text ? kManifestName : L"absent.xml"));
        EXPECT_TRUE(inst.list.files().empty());
        EXPECT_TRUE(Exists(inst.Desktop(L"a.lnk")));
    }
}

TEST(ManifestLoad, ServiceEntryStopsAndDeletesTheService) {
    ScopedTestService service;
    ASSERT_TRUE(service.created());
    ASSERT_TRUE(service.Start());
    Installation inst("<item path=\"qlumservice.exe\"><config mode=\"service\" name=\"" +
                      base::WideToUtf8(service.name()) + "\" displayname=\"Lumenox Update\"/></item>");
    inst.Load();
    EXPECT_TRUE(service.WaitUntilGone());
    ASSERT_EQ(inst.list.files().size(), 1u);
    ASSERT_EQ(inst.list.files()[0].entries().size(), 1u);
    EXPECT_EQ(std::string(inst.list.files()[0].entries()[0]->GetModeName()), "service");
    EXPECT_EQ(inst.list.files()[0].entries()[0]->path(), inst.dir / L"qlumservice.exe");
}

TEST(ManifestLoad, MainProgramRunsWithSetDefaultBeforeTheUninstallInformationGoes) {
    UninstallInfoWorld world;
    ASSERT_TRUE(world.created);
    ASSERT_EQ(world.lookup->Lookup(L"UNINSTALL_INFO_REG"), world.uninstallKey);
    Installation inst(
        "<item path=\"lumenox_main.exe\" mainprogram=\"1\">"
        "<config mode=\"shortcut\" name=\"Lumenox.lnk\"/><config mode=\"reg\"/></item>"
        "<item path=\"other.dll\"/>",
        world.lookup.get());
    world.InstallMainProgram(inst.dir.path());
    inst.PutOnDesktop({L"Lumenox.lnk"});
    inst.Load();
    // The program has run (the launch waits for it) and saw the key still there.
    EXPECT_EQ(ReadLines(inst.dir / L"lumenox_main.log"), (std::vector<std::string>{"/setdefault:0", "probe:present"}));
    EXPECT_FALSE(world.UninstallKeyPresent());
    EXPECT_FALSE(ProductKeyScope::KeyExists());
    EXPECT_EQ(inst.list.mainProgram().path(), inst.dir / L"lumenox_main.exe");
    ASSERT_EQ(inst.list.mainProgram().entries().size(), 1u);
    EXPECT_FALSE(Exists(inst.Desktop(L"Lumenox.lnk")));
    // The main-program item is consumed; only the other item is an ordinary file.
    ASSERT_EQ(inst.list.files().size(), 1u);
    EXPECT_EQ(inst.list.files()[0].path(), inst.dir / L"other.dll");
}

TEST(ManifestLoad, RegEntryUnderAnOrdinaryItemOrAFlagOtherThanOneExecutesNothing) {
    const std::pair<const char*, size_t> cases[] = {  // the items, the ordinary files left
        {"<item path=\"lumenox_main.exe\"><config mode=\"reg\"/></item>", 1},
        {"<item path=\"lumenox_main.exe\" mainprogram=\"true\">"
         "<config mode=\"shortcut\" name=\"a.lnk\"/><config mode=\"reg\"/></item>"
         "<item path=\"x.exe\" mainprogram=\"\"><config mode=\"shortcut\" name=\"b.lnk\"/></item>"
         "<item path=\"y.exe\" mainprogram=\"1 \"><config mode=\"shortcut\" name=\"c.lnk\"/></item>",
         0}};
    for (const auto& [items, files] : cases) {
        SCOPED_TRACE(items);
        UninstallInfoWorld world;
        Installation inst(items, world.lookup.get());
        world.InstallMainProgram(inst.dir.path());
        inst.PutOnDesktop({L"a.lnk", L"b.lnk", L"c.lnk"});
        inst.Load();
        for (const wchar_t* name : {L"a.lnk", L"b.lnk", L"c.lnk"}) EXPECT_TRUE(Exists(inst.Desktop(name)));
        EXPECT_FALSE(Exists(inst.dir / L"lumenox_main.log"));
        EXPECT_TRUE(world.UninstallKeyPresent() && ProductKeyScope::KeyExists());
        ASSERT_EQ(inst.list.files().size(), files);
        if (files) {
            EXPECT_TRUE(inst.list.files()[0].entries().empty());
        }
        EXPECT_TRUE(inst.list.mainProgram().path().empty());
        EXPECT_TRUE(inst.list.mainProgram().entries().empty());
    }
}

TEST(ManifestLoad, TwoMainProgramItemsKeepTheLastPathAndBothEntries) {
    Installation inst(
        "<item path=\"first.exe\" mainprogram=\"1\"><config mode=\"shortcut\" name=\"a.lnk\"/></item>"
        "<item path=\"second.exe\" mainprogram=\"1\"><config mode=\"shortcut\" name=\"b.lnk\"/></item>"
        // Without any entry the item is handed on to the ordinary load, which
        // leaves it empty; the main program's path is still its own.
        "<item path=\"third.exe\" mainprogram=\"1\"/>");
    inst.PutOnDesktop({L"a.lnk", L"b.lnk"});
    inst.Load();
    EXPECT_FALSE(Exists(inst.Desktop(L"a.lnk")));
    EXPECT_FALSE(Exists(inst.Desktop(L"b.lnk")));
    EXPECT_EQ(inst.list.mainProgram().path(), inst.dir / L"third.exe");
    EXPECT_EQ(inst.list.mainProgram().entries().size(), 2u);
    ASSERT_EQ(inst.list.files().size(), 1u);
    EXPECT_TRUE(inst.list.files()[0].path().empty());
    EXPECT_TRUE(inst.list.files()[0].entries().empty());
}

TEST(ManifestLoad, MainProgramOutsideTheInstallationIsNotStartedButKeysStillGo) {
    UninstallInfoWorld world;
    TempDir elsewhere(L"elsewhere");  // beside the installation in the temporary folder
    world.InstallMainProgram(elsewhere.path());
    const std::wstring leaf = elsewhere.path().substr(elsewhere.path().rfind(L'\\', elsewhere.path().size() - 2) + 1);
    const std::wstring climbing = L"..\\" + leaf + L"lumenox_main.exe";
    Installation inst(
        "<item path=\"" + base::WideToUtf8(climbing) + "\" mainprogram=\"1\"><config mode=\"reg\"/></item>",
        world.lookup.get());
    ASSERT_TRUE(Exists(inst.dir / climbing));
    inst.Load();
    EXPECT_EQ(inst.list.mainProgram().path(), inst.dir / climbing);
    EXPECT_FALSE(Exists(elsewhere / L"lumenox_main.log"));
    EXPECT_FALSE(world.UninstallKeyPresent());
}

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
