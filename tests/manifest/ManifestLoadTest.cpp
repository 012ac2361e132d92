// Loading the file configuration list from real manifests in temporary
// installation directories: which items and entries are visited, the full
// paths, and the main program's run before the uninstall information goes.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "base/SdkLibrary.h"
#include "base/text.h"
#include "manifest/FileConfig.h"
#include "support/ChildProcess.h"
#include "support/ManifestSupport.h"
#include "support/ProductKey.h"
#include "support/TestSupport.h"

using manifest::FileConfigList;
using testing_support::Exists;
using testing_support::ReadLines;
using testing_support::RecordingShell;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

constexpr wchar_t kManifestName[] = L"installconfig.xml";
constexpr DWORD kProgramLogWaitMs = 10000;

std::string FileList(const std::string& items) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet MsgTip=\"Lumenox\"><installfile><filelist>" + items +
           "</filelist><dirlist><item path=\"data\"/></dirlist></installfile></packet>";
}

// An installation directory with a manifest, the shell's folders in temporary
// directories and a product value lookup of its own.
struct Installation {
    TempDir dir{L"lumenox_install"};
    RecordingShell shell;
    FileConfigList list;

    explicit Installation(const std::string& items, const base::ProductValueLookup* lookup = nullptr) {
        WriteBytes(dir / kManifestName, FileList(items));
        list.SetDirectory(dir.path());
        list.SetEnvironment(manifest::ManifestEnvironment{shell.environment(), lookup});
    }
    void Load() { list.LoadFileConfigList(dir / kManifestName); }
    std::wstring Desktop(const std::wstring& name) const { return shell.desktop() + name; }
    void PutOnDesktop(const std::wstring& name) const { WriteBytes(Desktop(name), "lnk"); }
};

// The uninstall-information key that the SDK stand-in names, and the main
// program's probe of it.
struct UninstallInfoWorld {
    TempDir sdkDir{L"sdk"};
    testing_support::ProductKeyScope productKey;
    testing_support::ScopedMachineKey uninstallKey{testing_support::UniqueUninstallKeyPath()};
    std::unique_ptr<base::ProductValueLookup> lookup;

    UninstallInfoWorld() {
        testing_support::PrepareSdkDirectory(sdkDir.path(), {{L"UNINSTALL_INFO_REG", uninstallKey.path()}});
        lookup = std::make_unique<base::ProductValueLookup>(sdkDir.path());
        testing_support::ProductKeyScope::SetString(L"install_dir", L"C:\\Lumenox");
    }
    // The lookup holds the stand-in loaded from sdkDir: let it go first.
    ~UninstallInfoWorld() { lookup.reset(); }

    // The main program copied into the installation, told which key to probe.
    void InstallMainProgram(const std::wstring& dir) const {
        testing_support::CopyInto(L"lumenox_main.exe", dir);
        WriteBytes(dir + L"lumenox_main_probe.txt", base::WideToUtf8(uninstallKey.path()));
    }
};

// Last segment of a directory path ending in a backslash.
std::wstring LeafName(const std::wstring& dir) {
    const std::wstring trimmed = dir.substr(0, dir.size() - 1);
    return trimmed.substr(trimmed.rfind(L'\\') + 1);
}

}  // namespace

TEST(ManifestLoad, FullPathsAreTheSameWithAndWithoutTrailingBackslash) {
    Installation with("<item path=\"lumenox.exe\"/><item path=\"plugins\\a.dll\"/>");
    with.Load();
    Installation without("<item path=\"lumenox.exe\"/><item path=\"plugins\\a.dll\"/>");
    std::wstring bare = without.dir.path();
    bare.pop_back();
    without.list.SetDirectory(bare);
    without.Load();

    ASSERT_EQ(with.list.files().size(), 2u);
    ASSERT_EQ(without.list.files().size(), 2u);
    EXPECT_EQ(with.list.files()[0].path(), with.dir / L"lumenox.exe");
    EXPECT_EQ(with.list.files()[1].path(), with.dir / L"plugins\\a.dll");
    EXPECT_EQ(without.list.files()[0].path(), without.dir / L"lumenox.exe");
    EXPECT_EQ(without.list.files()[1].path(), without.dir / L"plugins\\a.dll");
}

TEST(ManifestLoad, NonAsciiItemPathsAndShortcutNamesSurvive) {
    // "看图王.exe" with a shortcut "看图王.lnk".
    const std::string exe = "\xE7\x9C\x8B\xE5\x9B\xBE\xE7\x8E\x8B.exe";
    const std::string lnk = "\xE7\x9C\x8B\xE5\x9B\xBE\xE7\x8E\x8B.lnk";
    Installation inst("<item path=\"" + exe + "\"><config mode=\"shortcut\" name=\"" + lnk + "\"/></item>");
    const std::wstring linkName = L"\u770b\u56fe\u738b.lnk";
    inst.PutOnDesktop(linkName);
    inst.PutOnDesktop(L"other.lnk");
    inst.Load();

    ASSERT_EQ(inst.list.files().size(), 1u);
    EXPECT_EQ(inst.list.files()[0].path(), inst.dir / L"\u770b\u56fe\u738b.exe");
    ASSERT_EQ(inst.list.files()[0].entries().size(), 1u);
    EXPECT_EQ(inst.list.files()[0].entries()[0]->path(), inst.dir / L"\u770b\u56fe\u738b.exe");
    EXPECT_FALSE(Exists(inst.Desktop(linkName)));
    EXPECT_TRUE(Exists(inst.Desktop(L"other.lnk")));
}

TEST(ManifestLoad, EntriesStartAtTheFirstConfigChildAndTakeEveryElementAfterIt) {
    Installation inst(
        "<item path=\"lumenox.exe\">"
        "<shortcut mode=\"shortcut\" name=\"before.lnk\"/>"
        "<config mode=\"shortcut\" name=\"first.lnk\"/>"
        "<!-- comments are no elements -->"
        "<anything mode=\"shortcut\" name=\"later.lnk\"/>"
        "<config name=\"nomode.lnk\"/>"
        "<config mode=\"unknown\" name=\"unknown.lnk\"/>"
        "<config mode=\"reg\"/>"
        "</item>");
    for (const wchar_t* name : {L"before.lnk", L"first.lnk", L"later.lnk", L"nomode.lnk", L"unknown.lnk"}) {
        inst.PutOnDesktop(name);
    }
    inst.Load();

    EXPECT_TRUE(Exists(inst.Desktop(L"before.lnk")));
    EXPECT_FALSE(Exists(inst.Desktop(L"first.lnk")));
    EXPECT_FALSE(Exists(inst.Desktop(L"later.lnk")));
    EXPECT_TRUE(Exists(inst.Desktop(L"nomode.lnk")));
    EXPECT_TRUE(Exists(inst.Desktop(L"unknown.lnk")));
    ASSERT_EQ(inst.list.files().size(), 1u);
    EXPECT_EQ(inst.list.files()[0].entries().size(), 2u);
}

TEST(ManifestLoad, ListWalkStartsAtTheFirstItemAndVisitsEveryFollowingElement) {
    Installation inst(
        "<file path=\"notyet.exe\"><config mode=\"shortcut\" name=\"notyet.lnk\"/></file>"
        "<item path=\"a.exe\"><config mode=\"shortcut\" name=\"a.lnk\"/></item>"
        "<file path=\"b.exe\"><config mode=\"startmenu\" dir=\"Lumenox\"/></file>");
    inst.PutOnDesktop(L"notyet.lnk");
    inst.PutOnDesktop(L"a.lnk");
    ASSERT_TRUE(::CreateDirectoryW((inst.shell.programs() + L"Lumenox").c_str(), nullptr));
    inst.Load();

    EXPECT_TRUE(Exists(inst.Desktop(L"notyet.lnk")));
    EXPECT_FALSE(Exists(inst.Desktop(L"a.lnk")));
    EXPECT_FALSE(Exists(inst.shell.programs() + L"Lumenox"));
    ASSERT_EQ(inst.list.files().size(), 2u);
    EXPECT_EQ(inst.list.files()[1].path(), inst.dir / L"b.exe");
}

TEST(ManifestLoad, UnreadableManifestsExecuteNothing) {
    for (const std::string& text : {std::string(), std::string("<packet><installfile>"),
                                     std::string("<packet><installfile><dirlist/></installfile></packet>")}) {
        Installation inst("");
        WriteBytes(inst.dir / kManifestName, text);
        inst.PutOnDesktop(L"a.lnk");
        inst.Load();
        EXPECT_TRUE(inst.list.files().empty());
        EXPECT_TRUE(Exists(inst.Desktop(L"a.lnk")));
    }
    Installation missing("<item path=\"a.exe\"><config mode=\"shortcut\" name=\"a.lnk\"/></item>");
    missing.PutOnDesktop(L"a.lnk");
    missing.list.LoadFileConfigList(missing.dir / L"absent.xml");
    EXPECT_TRUE(missing.list.files().empty());
    EXPECT_TRUE(Exists(missing.Desktop(L"a.lnk")));
}

TEST(ManifestLoad, ServiceEntryStopsAndDeletesTheService) {
    testing_support::ScopedTestService service;
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
    ASSERT_TRUE(world.uninstallKey.created());
    ASSERT_EQ(world.lookup->Lookup(L"UNINSTALL_INFO_REG"), world.uninstallKey.path());
    Installation inst(
        "<item path=\"lumenox_main.exe\" mainprogram=\"1\">"
        "<config mode=\"shortcut\" name=\"Lumenox.lnk\"/><config mode=\"reg\"/></item>"
        "<item path=\"other.dll\"/>",
        world.lookup.get());
    world.InstallMainProgram(inst.dir.path());
    inst.PutOnDesktop(L"Lumenox.lnk");
    inst.Load();

    // The program has run (the launch waits for it) and saw the key still there.
    EXPECT_EQ(ReadLines(inst.dir / L"lumenox_main.log"),
              (std::vector<std::string>{"/setdefault:0", "probe:present"}));
    EXPECT_FALSE(testing_support::ScopedMachineKey::Exists(world.uninstallKey.path()));
    EXPECT_FALSE(testing_support::ProductKeyScope::KeyExists());

    EXPECT_EQ(inst.list.mainProgram().path(), inst.dir / L"lumenox_main.exe");
    ASSERT_EQ(inst.list.mainProgram().entries().size(), 1u);
    EXPECT_FALSE(Exists(inst.Desktop(L"Lumenox.lnk")));
    // The main-program item is consumed; only the other item is an ordinary file.
    ASSERT_EQ(inst.list.files().size(), 1u);
    EXPECT_EQ(inst.list.files()[0].path(), inst.dir / L"other.dll");
}

TEST(ManifestLoad, RegEntryUnderAnOrdinaryItemDoesNothing) {
    UninstallInfoWorld world;
    Installation inst("<item path=\"lumenox_main.exe\"><config mode=\"reg\"/></item>", world.lookup.get());
    world.InstallMainProgram(inst.dir.path());
    inst.Load();

    EXPECT_FALSE(Exists(inst.dir / L"lumenox_main.log"));
    EXPECT_TRUE(testing_support::ScopedMachineKey::Exists(world.uninstallKey.path()));
    EXPECT_TRUE(testing_support::ProductKeyScope::KeyExists());
    ASSERT_EQ(inst.list.files().size(), 1u);
    EXPECT_TRUE(inst.list.files()[0].entries().empty());
}

TEST(ManifestLoad, MainProgramFlagOtherThanOneExecutesNothing) {
    UninstallInfoWorld world;
    Installation inst(
        "<item path=\"lumenox_main.exe\" mainprogram=\"true\">"
        "<config mode=\"shortcut\" name=\"a.lnk\"/><config mode=\"reg\"/></item>"
        "<item path=\"x.exe\" mainprogram=\"\"><config mode=\"shortcut\" name=\"b.lnk\"/></item>"
        "<item path=\"y.exe\" mainprogram=\"1 \"><config mode=\"shortcut\" name=\"c.lnk\"/></item>",
        world.lookup.get());
    world.InstallMainProgram(inst.dir.path());
    for (const wchar_t* name : {L"a.lnk", L"b.lnk", L"c.lnk"}) inst.PutOnDesktop(name);
    inst.Load();

    for (const wchar_t* name : {L"a.lnk", L"b.lnk", L"c.lnk"}) EXPECT_TRUE(Exists(inst.Desktop(name))) << name;
    EXPECT_FALSE(Exists(inst.dir / L"lumenox_main.log"));
    EXPECT_TRUE(testing_support::ScopedMachineKey::Exists(world.uninstallKey.path()));
    EXPECT_TRUE(inst.list.files().empty());
    EXPECT_TRUE(inst.list.mainProgram().path().empty());
    EXPECT_TRUE(inst.list.mainProgram().entries().empty());
}

TEST(ManifestLoad, TwoMainProgramItemsKeepTheLastPathAndBothEntries) {
    Installation inst(
        "<item path=\"first.exe\" mainprogram=\"1\"><config mode=\"shortcut\" name=\"a.lnk\"/></item>"
        "<item path=\"second.exe\" mainprogram=\"1\"><config mode=\"shortcut\" name=\"b.lnk\"/></item>"
        // Without any entry the item is handed on to the ordinary load, which
        // leaves it empty; the main program's path is still its own.
        "<item path=\"third.exe\" mainprogram=\"1\"/>");
    inst.PutOnDesktop(L"a.lnk");
    inst.PutOnDesktop(L"b.lnk");
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
    // Both temporary directories lie side by side in the temporary folder.
    TempDir elsewhere(L"elsewhere");
    world.InstallMainProgram(elsewhere.path());
    const std::wstring climbing = L"..\\" + LeafName(elsewhere.path()) + L"\\lumenox_main.exe";
    Installation inst("<item path=\"" + base::WideToUtf8(climbing) + "\" mainprogram=\"1\"><config mode=\"reg\"/></item>",
                      world.lookup.get());
    ASSERT_TRUE(Exists(inst.dir / climbing));
    inst.Load();

    EXPECT_EQ(inst.list.mainProgram().path(), inst.dir / climbing);
    EXPECT_FALSE(Exists(elsewhere / L"lumenox_main.log"));
    EXPECT_FALSE(testing_support::ScopedMachineKey::Exists(world.uninstallKey.path()));
}
