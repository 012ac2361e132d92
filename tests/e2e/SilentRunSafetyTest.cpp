// What a silent run must never do, seen from outside: wipe a folder that is not
// the product's, run its script against the wrong directory, end itself, or
// follow links and paths beyond the installation; and how far it still reaches.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <optional>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"
#include "support/ProductKey.h"

namespace {

using namespace silent_run;
using namespace testing_support;

constexpr UINT kWesternCodePage = 1252;
constexpr char kUserBytes[] = "the user's own";
constexpr wchar_t kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kPicturesValue[] = L"My Pictures";
constexpr size_t kLongSegmentChars = 50;
constexpr int kLongSegments = 5;

std::wstring Upper(std::wstring text) {
    ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// Lays down user files below `dir`; the names, to check them later.
std::vector<std::wstring> PutUserFiles(const std::wstring& dir) {
    const std::vector<std::wstring> names = {L"holiday.jpg", L"2024\\notes.txt"};
    ::CreateDirectoryW(dir.c_str(), nullptr);
    ::CreateDirectoryW((dir + L"2024").c_str(), nullptr);
    for (const std::wstring& name : names) WriteBytes(dir + name, kUserBytes);
    return names;
}

// Runs uninst.exe copied into `dir` silently, then its script the way the shell would.
void RunUninstallerAndScriptIn(const std::wstring& dir, const TempDir& temp) {
    ASSERT_TRUE(testing_support::CopyInto(L"uninst.exe", dir));
    const auto run = testing_support::RunTraced(dir + L"uninst.exe", L"/s", temp.path(), {});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    const auto scripts = NamesIn(temp.path(), L"*.bat");
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_TRUE(RunScriptLikeTheShell(temp.path() + scripts[0]));
    WaitForScriptsToFinish(temp.path());
}

// The user's "My Pictures" folder pointed elsewhere for one test.
class ScopedPicturesFolder {
public:
    explicit ScopedPicturesFolder(const std::wstring& dir) {
        ::RegOpenKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key_.put());
        DWORD size = 0;
        had_ = ::RegQueryValueExW(key_.get(), kPicturesValue, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS;
        saved_.resize(size);
        if (had_) ::RegQueryValueExW(key_.get(), kPicturesValue, nullptr, &type_, saved_.data(), &size);
        set_ = ::RegSetValueExW(key_.get(), kPicturesValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                                static_cast<DWORD>((dir.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    ~ScopedPicturesFolder() {
        if (had_) {
            ::RegSetValueExW(key_.get(), kPicturesValue, 0, type_, saved_.data(), static_cast<DWORD>(saved_.size()));
        } else {
            ::RegDeleteValueW(key_.get(), kPicturesValue);
        }
    }
    bool set() const { return set_; }

private:
    base::unique_hkey key_;
    bool had_ = false;
    bool set_ = false;
    DWORD type_ = REG_EXPAND_SZ;
    std::vector<BYTE> saved_;
};

TEST(SilentRunSafetyTest, AFolderThatIsNotTheProductsKeepsItsFilesAndProcesses) {
    // A folder whose name holds a product word is not the product's without a
    // manifest; a pictures folder that names the product and holds one is still the user's.
    for (const wchar_t* name : {L"Photos", L"Lumenox Photos", L"Lumenox Pictures"}) {
        SCOPED_TRACE(base::WideToUtf8(name));
        const bool pictures = std::wstring(name) == L"Lumenox Pictures";
        testing_support::ProductKeyScope productKey;
        TempDir root(L"ordinary");
        TempDir temp(L"ordtemp");
        const std::wstring dir = root / name + L"\\";
        const auto userFiles = PutUserFiles(dir);
        std::optional<ScopedPicturesFolder> shellFolder;
        testing_support::ChildProcess viewer;
        if (pictures) {
            ASSERT_TRUE(WriteBytes(dir + L"installconfig.xml", "<packet/>"));
            ASSERT_TRUE(shellFolder.emplace(dir).set());
            viewer = testing_support::StartSleeperCopy(dir, L"slideshow.exe");
            ASSERT_TRUE(viewer.started());
        }
        RunUninstallerAndScriptIn(dir, temp);
        for (const std::wstring& file : userFiles) EXPECT_EQ(ReadBytes(dir + file), kUserBytes);
        EXPECT_EQ(viewer.Running(), pictures);
        EXPECT_EQ(Exists(dir + L"slideshow.exe"), pictures);
        if (!pictures) {
            EXPECT_FALSE(Exists(dir + L"uninst.exe"));  // the uninstaller itself goes
        }
    }
}

TEST(SilentRunSafetyTest, AnAwkwardPathRemovesExactlyThatInstallation) {
    struct Case {
        const wchar_t* dirName;
        const wchar_t* sibling;  // what a broken script line would reach instead
        bool scriptIn1252;       // whether the path can be written into a Western script
    };
    // "50%off\lumenox 2%" read as a variable reference leaves "50"; a fullwidth
    // quote best-fitted to '"' ends the path at "x".
    for (const Case c : {Case{L"50%off\\lumenox 2%", L"50", true}, Case{L"x\uFF02 \uFF02\\lumenox", L"x", false}}) {
        SCOPED_TRACE(base::WideToUtf8(c.dirName));
        SilentRun run(kQuiet, c.dirName);
        ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
        const std::wstring sibling = run.installation().parent() + c.sibling + L"\\";
        const auto userFiles = PutUserFiles(sibling);
        ASSERT_TRUE(WriteBytes(sibling + L"installconfig.xml", "<packet/>"));

        const auto& result = run.Run(L"/s");
        ASSERT_TRUE(result.finished);
        EXPECT_TRUE(run.StepMarksSeen());
        const auto scripts = run.Scripts();
        if (::GetACP() == kWesternCodePage) {
            EXPECT_EQ(scripts.size(), c.scriptIn1252 ? 1u : 0u);
        }
        // The shell runs the script the uninstaller left; a second copy of it
        // would race the first through the same tree.
        if (!scripts.empty()) run.ExpectRemoved();
        EXPECT_EQ(run.installation().Inventory()["files"], "0/40");
        for (const std::wstring& file : userFiles) EXPECT_EQ(ReadBytes(sibling + file), kUserBytes);
        EXPECT_TRUE(Exists(sibling + L"installconfig.xml"));
    }
}

TEST(SilentRunSafetyTest, TheUninstallerNeverEndsItself) {
    struct Case {
        const char* what;
        bool upperItem;     // the manifest lists "UNINST.EXE"
        bool upperProgram;  // started as "...\LUMENOX\UNINST.EXE"
    };
    for (const Case c : {Case{"listed upper-cased", true, false}, Case{"started upper-cased", false, true}}) {
        SCOPED_TRACE(c.what);
        SilentRun run(kQuiet);
        ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
        if (c.upperItem) {
            ASSERT_TRUE(ReplaceInFile(run.dir() + sample::kManifestName, "path=\"uninst.exe\"", "path=\"UNINST.EXE\""));
        }
        const auto& result = run.Run(L"/s", c.upperProgram ? Upper(run.dir() + L"uninst.exe") : std::wstring());
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0u);
        EXPECT_TRUE(run.StepMarksSeen());
        EXPECT_NE(UserDword(sample::kUninstallTimeValue), ~0u);
        EXPECT_EQ(UserDword(sample::kUninstallCountValue), 3u);  // the installer's class count 2, plus one
        ASSERT_TRUE(run.WaitForDirectoryGone());
    }
}

// The process's current directory for the lifetime of the object.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::wstring& dir) {
        wchar_t previous[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, previous);
        previous_ = previous;
        ::SetCurrentDirectoryW(dir.c_str());
    }
    ~CurrentDirectory() { ::SetCurrentDirectoryW(previous_.c_str()); }

private:
    std::wstring previous_;
};

TEST(SilentRunReachTest, InstallationDeeperThan260CharactersGoesAndTheCurrentDirectoryStays) {
    std::wstring below;
    for (int i = 0; i < kLongSegments; ++i) below += std::wstring(kLongSegmentChars, L'd') + L"\\";
    SilentRun run(kQuiet, below + L"Lumenox");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    ASSERT_GT((run.dir() + sample::kUninstallerFile).size(), static_cast<size_t>(MAX_PATH));

    // A manifest in the current directory is somebody else's.
    TempDir elsewhere(L"cwd");
    const std::string foreign =
        "<packet><installfile><filelist><item path=\"precious.txt\"/></filelist></installfile></packet>";
    ASSERT_TRUE(WriteBytes(elsewhere / sample::kManifestName, foreign));
    ASSERT_TRUE(WriteBytes(elsewhere / L"precious.txt", "keep"));
    {
        CurrentDirectory inElsewhere(elsewhere.path());
        const auto& result = run.Run(L"/s");
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0u);
        EXPECT_TRUE(run.StepMarksSeen());
    }
    EXPECT_TRUE(Exists(elsewhere / sample::kManifestName));
    EXPECT_TRUE(Exists(elsewhere / L"precious.txt"));
    EXPECT_EQ(run.Reports().size(), 1u);
    // The installation went as a short one would. (Wine's command processor
    // cannot empty a directory this deep, so the script leaves the moved-aside
    // uninstaller and SDK library to the restart they are registered for; and
    // Wine's shell links cannot hold a target this deep, so the desktop sweep
    // has nothing to match.)
    ExpectInventory(run.installation(), {{"files", "0/40"},
                                         {"dirs", "0/8"},
                                         {"product-key-hklm", "absent"},
                                         {"uninstall-info-key", "absent"},
                                         {"startmenu-folder", "absent"}});
}

TEST(SilentRunReachTest, LinksOnTheWayAreNotFollowedAndTheOtherRegistryViewStays) {
    TempDir outside(L"reach");
    SilentRun run(kQuiet);
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    // What the start-menu, shortcut and main-program entries would reach
    // through a link: a folder, a shortcut and a program outside the installation.
    ASSERT_TRUE(::CreateDirectoryW((outside / sample::kStartMenuFolder).c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(outside / L"Lumenox\\keep.lnk", "keep"));
    ASSERT_TRUE(WriteBytes(outside / L"keep.lnk", "keep"));
    ASSERT_TRUE(testing_support::CopyInto(sample::kMainProgramFile, outside.path()));
    const std::wstring name = L"reach_" + std::to_wstring(::GetCurrentProcessId());
    testing_support::ScopedLinks links;
    ASSERT_TRUE(links.Make(ShellFolder(CSIDL_COMMON_PROGRAMS) + name, outside.path()));
    ASSERT_TRUE(links.Make(ShellFolder(CSIDL_DESKTOPDIRECTORY) + name, outside.path()));
    ASSERT_TRUE(links.Make(run.dir() + name, outside.path()));
    const std::string via = base::WideToUtf8(name) + "\\";
    const std::wstring manifest = run.dir() + sample::kManifestName;
    ASSERT_TRUE(ReplaceInFile(manifest, "dir=\"Lumenox\"", "dir=\"" + via + "Lumenox\""));
    ASSERT_TRUE(ReplaceInFile(manifest, "name=\"Lumenox Viewer.lnk\"", "name=\"" + via + "keep.lnk\""));
    ASSERT_TRUE(ReplaceInFile(manifest, "path=\"lumenox_main.exe\" mainprogram",
                              "path=\"" + via + "lumenox_main.exe\" mainprogram"));
    // The installer wrote these machine keys in the 32-bit view; the same names
    // in the 64-bit view belong to somebody else (the sample's clean-up takes both).
    const std::pair<HKEY, const wchar_t*> machineKeys[] = {{HKEY_LOCAL_MACHINE, sample::kProductKeyPath},
                                                           {HKEY_LOCAL_MACHINE, sample::kUninstallInfoKeyPath},
                                                           {HKEY_CLASSES_ROOT, sample::kClassCountKeyPath}};
    constexpr uint32_t kOtherViewCount = 9;
    for (const auto& [root, path] : machineKeys) {
        base::unique_hkey created;
        ASSERT_EQ(::RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                                    created.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(created.get(), sample::kUninstallCountValue, 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&kOtherViewCount), sizeof(kOtherViewCount)),
                  ERROR_SUCCESS);
    }

    const auto& result = run.Run(L"/s");
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(run.StepMarksSeen());
    EXPECT_TRUE(Exists(outside / L"Lumenox\\keep.lnk"));
    EXPECT_TRUE(Exists(outside / L"keep.lnk"));
    EXPECT_TRUE(Exists(outside / sample::kMainProgramFile));
    EXPECT_FALSE(Exists(outside / L"lumenox_main.log"));  // never started
    // Before the self-removal script could meet the link in the installation directory.
    links.RemoveAll();
    for (const auto& [root, path] : {machineKeys[0], machineKeys[1]}) {
        EXPECT_FALSE(KeyExists(root, path, sample::kInstallerView)) << base::WideToUtf8(path);
        EXPECT_TRUE(KeyExists(root, path, KEY_WOW64_64KEY)) << base::WideToUtf8(path);
    }
    // Counted from the installer's class registration (2), not the other view's.
    EXPECT_EQ(run.installation().Inventory()["uninstall-count"], "3");
}

}  // namespace
