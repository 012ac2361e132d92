// "uninst.exe /s" in a sample installation: the end state it leaves, the order
// of its steps as the stand-ins saw them, and its one usage report; how the
// manifest's packet flags, the command line, a missing SDK library, the count
// rule and a manifest that cannot be read shape it; what it must never do, seen
// from outside (wipe a folder that is not the product's, run its script against
// the wrong directory, end itself, follow links and paths beyond the
// installation) and how far it still reaches. The lock library's preparation.
// And the sample installer itself: it lays down what it claims, and its removal
// check tells a removed installation from one that is still there or lost too much.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <ctime>
#include <optional>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "app/UninstallRun.h"
#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "removal/Registry.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"
#include "support/ManifestSupport.h"
#include "support/ProductKey.h"

namespace {

using namespace silent_run;
using namespace testing_support;

constexpr uint32_t kSecondsPerDay = 86400;
constexpr uint32_t kInstalledDaysAgo = 5;
constexpr uint32_t kClockSlackSeconds = 120;
constexpr uint32_t kDefaultClassCount = 2;  // the installer's class-registration count

std::vector<std::string> ValueNames(HKEY root, const wchar_t* path) {
    std::vector<std::string> names;
    base::unique_hkey key;
    if (::RegOpenKeyExW(root, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    wchar_t name[MAX_PATH];
    for (DWORD i = 0, length = MAX_PATH;
         ::RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = MAX_PATH) {
        names.push_back(base::WideToUtf8(std::wstring(name, length)));
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SilentRunTest, RemovesEverythingInTheFixedStepOrderAndReportsOnce) {
    SilentRun run(L"--tiny");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    const uint32_t now = static_cast<uint32_t>(std::time(nullptr));
    // Installed five days and an hour ago: the report counts whole days.
    const uint32_t installTime = now - kInstalledDaysAgo * kSecondsPerDay - 3600;
    ASSERT_TRUE(testing_support::ProductKeyScope::SetDword(L"installtime", installTime));
    const std::wstring jpgVerb = sample::VerbKeyPath(L".jpg", sample::kVerbNames[0]);
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, jpgVerb, KEY_WOW64_32KEY));
    const bool viewsShared = sample::ViewsShareKey(HKEY_CLASSES_ROOT, sample::kVerbRootKeyPath);

    // The before-action's program is started, not awaited, in step 1 and ended
    // with the other processes from the directory in step 4 at the latest.
    run.HoldAtStepUntilLogged(4, L"expandtask_before.log", "lumenox_task.exe");
    const auto& result = run.Run(L"/s");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    ASSERT_TRUE(run.StepMarksSeen());

    EXPECT_EQ(run.StepOf(L"lumenox_viewer.log", "closed by 0x472"), kBeforeTheSequence);
    EXPECT_EQ(run.StepOf(L"lumenox_db_before.dat", "[common]"), 1);  // the before-action's copy
    const int programStep = run.StepOf(L"expandtask_before.log", "lumenox_task.exe");
    EXPECT_GE(programStep, 1);
    EXPECT_LE(programStep, 4);
    EXPECT_EQ(run.StepOf(L"ext_process.log", "/ext:0"), 3);
    EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "A.Run"), kNeverSeen);  // no reg_state
    EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "B.Run"), 9);
    EXPECT_EQ(run.StepOf(L"qsdxbase_reports.jsonl", "\"table\""), 10);
    EXPECT_EQ(run.StepOf(L"lumenox_main.log", "/setdefault:0"), 11);
    EXPECT_EQ(run.StepOf(L"lumenox_db_after.dat", "[common]"), 17);  // the after-action's copy
    EXPECT_EQ(ReadLines(run.logs() + L"ext_process.log"), std::vector<std::string>{"/ext:0"});
    EXPECT_EQ(ReadLines(run.logs() + L"lumenox_main.log"), std::vector<std::string>{"/setdefault:0"});
    EXPECT_EQ(ReadLines(run.logs() + L"qlumenoxutil.log"), (std::vector<std::string>{"B.Run", "B.Release", "unload"}));
    EXPECT_EQ(ReadLines(run.logs() + L"lumenox_viewer.log"),
              (std::vector<std::string>{"opened 1", "closed by 0x472"}));
    // A silent run has no uninstall button: neither preparation runs.
    EXPECT_FALSE(Exists(run.logs() + L"Pavrenkit.log"));
    EXPECT_FALSE(Exists(run.logs() + L"qdoxkit.log"));

    const auto reports = run.Reports();
    ASSERT_EQ(reports.size(), 1u) << run.Log(L"qsdxbase_reports.jsonl");
    // The record's layout is the report's tests' business; here the run's own values.
    const auto& record = reports[0];
    EXPECT_EQ(record.value("uninstall"), "1");
    EXPECT_EQ(record.value("reason"), "0");
    EXPECT_EQ(record.value("days"), std::to_string(kInstalledDaysAgo));
    // The parent of the uninstaller is this test program.
    EXPECT_TRUE(base::EqualsNoCase(base::Utf8ToWide(record.value("process")),
                                   testing_support::BinDir() + L"test_e2e.exe"))
        << record.value("process");

    // The user's product key holds only the uninstall time and count.
    EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, sample::kProductKeyPath),
              (std::vector<std::string>{"uninstall_count", "uninstall_time"}));
    const uint32_t time = UserDword(sample::kUninstallTimeValue);
    EXPECT_GE(time, now);
    EXPECT_LE(time, now + kClockSlackSeconds);
    EXPECT_EQ(UserDword(sample::kUninstallCountValue), kDefaultClassCount + 1);

    // The self-removal script, in the uninstaller's temporary folder.
    const auto scripts = run.Scripts();
    ASSERT_EQ(scripts.size(), 1u);
    // Its text is the script writer's business; the run hands it this directory, manifest found.
    const std::string script = ReadBytes(run.temp() + scripts[0]);
    EXPECT_NE(script.find("rd \"" + base::WideToUtf8(run.dir()) + "\" /s /q"), std::string::npos) << script;

    // Right after the exit no listed file or directory is left under its name.
    // What the running process still maps (the uninstaller itself and the SDK
    // library) was renamed aside and registered for deletion at the next restart;
    // the script's directory removal takes it away before then.
    auto inventory = run.installation().Inventory();
    EXPECT_EQ(inventory["class-uninstall-count"], std::to_string(kDefaultClassCount));  // only read, never written
    EXPECT_EQ(inventory["files"], "0/40");
    EXPECT_EQ(inventory["dirs"], "0/8");
    const auto left = NamesIn(run.dir());
    EXPECT_EQ(left.size(), 2u);
    for (const std::wstring& name : left) {
        EXPECT_NE(name.find(L"_del"), std::wstring::npos) << base::WideToUtf8(name);
        EXPECT_TRUE(testing_support::IsPendingDeletion(run.dir() + name)) << base::WideToUtf8(name);
    }

    run.ExpectRemoved();

    // The removal check above accounts for each kind of thing the installation made
    // (its findings are judged against the platform in the installer's tests). Where both
    // views show the one SystemFileAssociations key (Windows; Wine for a 32-bit installer),
    // the removal empties both; where Wine keeps the 64-bit view as a tree of its own, the
    // removal (working in the 32-bit view) never touches it.
    EXPECT_EQ(run.installation().Inventory()["verbs-view64"], viewsShared ? "0/276" : "276/276");
}

// How long it takes is the silent-run benchmark's business (bench/README.md).
TEST(SilentRunTest, FullSizeInstallationGoesAndItemsClimbingOutAreLeftAlone) {
    SilentRun run(L"--climb-out");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    const sample::SampleLayout layout = sample::BuildLayout(sample::SetupOptions());
    ASSERT_GE(layout.files.size(), 1400u);

    const auto& result = run.Run(L"/s");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(run.StepMarksSeen());
    EXPECT_EQ(run.Reports().size(), 1u);

    // "..\decoy_keep.txt", "bin\..\..\decoy_keep2.txt" and "..\decoy_keep_dir" lie
    // outside the installation directory: listed in the manifest, yet kept (the
    // removal check names a lost decoy).
    run.ExpectRemoved();
}

std::string Of(size_t count) { return std::to_string(count) + "/" + std::to_string(count); }

// What a removal takes away, done by hand: files, keys, verbs of the 32-bit
// view, our shortcuts and the start-menu folder (decoys and foreign entries stay).
void RemoveByHand(const SampleInstallation& installation) {
    base::RemoveTree(installation.dir());
    removal::DeleteRegistryTree(HKEY_CURRENT_USER, sample::kProductKeyPath);
    removal::DeleteRegistryTree(HKEY_LOCAL_MACHINE, sample::kProductKeyPath, sample::kInstallerView);
    removal::DeleteRegistryTree(HKEY_LOCAL_MACHINE, sample::kUninstallInfoKeyPath, sample::kInstallerView);
    for (const wchar_t* extension : sample::kVerbExtensions) {
        for (const wchar_t* verb : sample::kVerbNames) {
            removal::DeleteRegistryTree(HKEY_CLASSES_ROOT, sample::VerbKeyPath(extension, verb),
                                        sample::kInstallerView);
        }
    }
    for (const std::wstring& shortcut : {ShellFolder(CSIDL_DESKTOPDIRECTORY) + sample::kUserShortcut,
                                         ShellFolder(CSIDL_DESKTOPDIRECTORY) + sample::kUserToolsShortcut,
                                         ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + sample::kCommonShortcut}) {
        ::DeleteFileW(shortcut.c_str());
    }
    base::RemoveTree(ShellFolder(CSIDL_COMMON_PROGRAMS) + sample::kStartMenuFolder);
}

TEST(InstallerTest, FullInstallationIsWhatTheLayoutDescribesAndCleanupTakesItAway) {
    SampleInstallation installation(L"");
    ASSERT_TRUE(installation.installed()) << installation.installOutput();
    const sample::SampleLayout layout = sample::BuildLayout(sample::SetupOptions());
    ASSERT_GE(layout.files.size(), 1400u);
    ASSERT_GT(layout.ReadOnlyCount(), 0u);
    const std::string files = Of(layout.files.size()), dirs = Of(layout.dirs.size());
    const std::string readOnly = Of(layout.ReadOnlyCount()), verbs = Of(sample::kVerbCount);
    // Service, helper process and viewer run.
    ExpectInventory(installation, {{"files", files.c_str()}, {"dirs", dirs.c_str()},
                                   {"read-only-files", readOnly.c_str()}, {"identity-values", "5/5"},
                                   {"product-key-hklm", "present"}, {"uninstall-info-key", "present"},
                                   {"class-uninstall-count", "2"}, {"verbs-view32", verbs.c_str()},
                                   {"verbs-view64", verbs.c_str()}, {"service", "running"},
                                   {"user-shortcuts", "2/2"}, {"common-shortcuts", "1/1"},
                                   {"foreign-shortcut", "present"}, {"startmenu-folder", "present"},
                                   {"processes", "3"}, {"viewer-windows", "1"}});

    // The inventory against the platform directly.
    EXPECT_EQ(testing_support::QueryServiceState(sample::kServiceName), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_NE(::FindWindowW(sample::kViewerClassName, nullptr), nullptr);
    const std::wstring jpgOpen = sample::VerbKeyPath(L".jpg", sample::kVerbNames[0]) + L"\\command";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_32KEY));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_64KEY));
    EXPECT_TRUE(Exists(installation.dir() + L"lang\\简体中文\\"));

    ASSERT_TRUE(installation.Cleanup());
    EXPECT_EQ(testing_support::QueryServiceState(sample::kServiceName), 0u);
    EXPECT_EQ(::FindWindowW(sample::kViewerClassName, nullptr), nullptr);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_32KEY));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_64KEY));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, sample::kProductKeyPath));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, sample::kClassKeyPath));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_DESKTOPDIRECTORY) + sample::kForeignShortcut));
    EXPECT_FALSE(Exists(installation.dir()));
    EXPECT_FALSE(Exists(sample::SetupRecordPath(installation.dir())));
}

TEST(InstallerTest, CheckRemovedNamesWhatRemainsThenWhatWasLost) {
    SampleInstallation installation(L"--tiny --climb-out --no-service --no-processes --no-viewer");
    ASSERT_TRUE(installation.installed()) << installation.installOutput();
    auto check = installation.CheckRemoved();
    EXPECT_EQ(check.exitCode, 1u);
    for (const char* part : {"remains: file installconfig.xml", "remains: file uninst.exe", "remains: directory bin",
                             "remains: key HKLM\\Software\\qlumenox_varko", "remains: value HKCU",
                             "remains: verb (32-bit view)", "remains: shortcut", "remains: start-menu folder"}) {
        EXPECT_NE(check.output.find(part), std::string::npos) << part << "\n" << check.output;
    }
    EXPECT_EQ(check.output.find("lost:"), std::string::npos) << check.output;

    RemoveByHand(installation);
    // The removal re-creates the user's key for the uninstall time and count.
    ASSERT_TRUE(testing_support::ProductKeyScope::SetDword(sample::kUninstallCountValue, 3));
    check = installation.CheckRemoved();
    EXPECT_EQ(check.exitCode, 0u) << check.output;
    // Where Wine keeps the 64-bit view apart, its verbs are a separate copy that
    // the removal (which works in the 32-bit view) does not reach: named, not failed.
    const bool separateCopy = KeyExists(HKEY_CLASSES_ROOT, sample::VerbKeyPath(L".jpg", sample::kVerbNames[0]),
                                        KEY_WOW64_64KEY);
    EXPECT_EQ(check.output.find("note: 276 verbs left in the 64-bit view") != std::string::npos, separateCopy)
        << check.output;

    ::DeleteFileW((installation.parent() + L"decoy_keep2.txt").c_str());
    ::DeleteFileW((ShellFolder(CSIDL_DESKTOPDIRECTORY) + sample::kForeignShortcut).c_str());
    check = installation.CheckRemoved();
    EXPECT_EQ(check.exitCode, 1u);
    EXPECT_NE(check.output.find("lost: decoy"), std::string::npos) << check.output;
    EXPECT_NE(check.output.find("lost: foreign shortcut"), std::string::npos) << check.output;
    EXPECT_EQ(check.output.find("remains:"), std::string::npos) << check.output;
}

// About 150 KB of nested start tags: a recursive parse of it exhausts the stack.
constexpr size_t kDeepLevels = 50000;

TEST(SilentRunOptionsTest, SliceWithoutArgumentsRemovesLikeTheSilentSwitch) {
    SilentRun run(std::wstring(kQuiet) + L" --slice");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    const auto& result = run.Run(L"");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(run.StepMarksSeen());
    EXPECT_EQ(run.StepOf(L"ext_process.log", "/ext:0"), 3);
    EXPECT_EQ(run.StepOf(L"lumenox_db_after.dat", "[common]"), 17);  // the after-actions of a silent run
    ASSERT_EQ(run.Reports().size(), 1u);
    EXPECT_EQ(run.Reports()[0].value("uninstall"), "1");
    EXPECT_EQ(run.Scripts().size(), 1u);
    run.ExpectRemoved();
}

// Whether /unchange_reg overrides reg_state is the option reader's business.
TEST(SilentRunOptionsTest, RegStateCallsTheFirstUtilityOperation) {
    SilentRun run(std::wstring(kQuiet) + L" --reg-state");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    ASSERT_TRUE(run.Run(L"/s").finished);
    EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "A.Run"), 8);
    EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "B.Run"), 9);
    EXPECT_EQ(ReadLines(run.logs() + L"qlumenoxutil.log"),
              (std::vector<std::string>{"A.Run 0", "A.Release", "unload", "B.Run", "B.Release", "unload"}));
    EXPECT_EQ(run.Reports().size(), 1u);
}

TEST(SilentRunOptionsTest, WithoutTheSdkLibraryTheRemovalWorksAndNothingIsReported) {
    SilentRun run(std::wstring(kQuiet) + L" --no-sdk");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    const auto& result = run.Run(L"/s");
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(run.StepMarksSeen());
    EXPECT_FALSE(Exists(run.logs() + L"qsdxbase_reports.jsonl"));
    EXPECT_FALSE(Exists(run.logs() + L"qsdxbase_calls.log"));
    EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "B.Run"), 9);
    EXPECT_EQ(UserDword(sample::kUninstallCountValue), 3u);
    // Only the SDK names the uninstall-information key; without it the key stays.
    EXPECT_NE(run.ExpectRemoved().find("note: the uninstall-information key stays"), std::string::npos);
}

TEST(SilentRunOptionsTest, SilentCountIsOneMoreThanTheClassRegistrationValue) {
    // A silent run never reads the user's count (and the key it lies in goes
    // before the count is written): only the class registration's value counts,
    // even when the user's is larger.
    SilentRun run(std::wstring(kQuiet) + L" --class-count 7");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    ASSERT_TRUE(testing_support::ProductKeyScope::SetDword(sample::kUninstallCountValue, 9));
    ASSERT_TRUE(run.Run(L"/s").finished);
    EXPECT_EQ(UserDword(sample::kUninstallCountValue), 8u);
}

TEST(SilentRunBadInputTest, DeeplyNestedManifestIsReadAsAbsent) {
    SilentRun run(kQuiet);
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    std::string xml = "<packet>";
    for (size_t i = 0; i < kDeepLevels; ++i) xml += "<a>";
    ASSERT_TRUE(testing_support::WriteBytes(run.dir() + sample::kManifestName, xml));
    const auto& result = run.Run(L"/s");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(run.StepMarksSeen());
    EXPECT_EQ(run.Reports().size(), 1u);
    // The manifest's entries never ran; the steps that need no manifest did.
    ExpectInventory(run.installation(), {{"startmenu-folder", "present"}, {"verbs-view32", "0/276"}});
    EXPECT_NE(UserDword(sample::kUninstallTimeValue), ~0u);
}

TEST(LockPreparationTest, IdentityAndTryNumberOfTheInstallationReachTheLockLibrary) {
    testing_support::SampleInstallation installation(kQuiet);
    ASSERT_TRUE(installation.installed()) << installation.installOutput();
    app::PrepareLockLibrary(installation.dir());
    const std::string tids = std::to_string(sample::kTid1) + " " + std::to_string(sample::kTid2);
    const std::string params = "SetParams 11 [" + std::to_string(sample::kTid1) + "|" +
                               std::to_string(sample::kTid2) + "|0|0|" + std::to_string(sample::kId) + "|" +
                               base::WideToUtf8(sample::kUuid) + "|" + std::to_string(sample::kTryNo) +
                               "|0|0|0|0]";
    EXPECT_EQ(ReadLines(installation.dir() + L"Pavrenkit.log"),
              (std::vector<std::string>{params, "Query 1 " + tids + " 1 -> 1", "Act 1 " + tids + " 1", params,
                                        "Query 1 " + tids + " 2 -> 1", "Act 1 " + tids + " 2", "release"}));
}

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
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(elsewhere.path().c_str()));
    const auto& result = run.Run(L"/s");
    ::SetCurrentDirectoryW(previous);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(run.StepMarksSeen());
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
