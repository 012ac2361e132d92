// "uninst.exe /s" in a sample installation: the end state it leaves, the order
// of its steps as the stand-ins saw them, and its one usage report. And the
// sample installer itself: it lays down what it claims, and its removal check
// tells a removed installation from one that is still there or lost too much.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <ctime>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "removal/Registry.h"
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
    const auto& record = reports[0];
    EXPECT_EQ(record.table, "metrcdorva_orbix_uninstall:102 product_id:int uninstall:bit reason:byte days:int "
                            "process:string ver:byte");
    EXPECT_EQ(record.names(),
              (std::vector<std::string>{"product_id", "uninstall", "reason", "days", "process", "ver"}));
    EXPECT_EQ(record.value("product_id"), "130");
    EXPECT_EQ(record.value("uninstall"), "1");
    EXPECT_EQ(record.value("reason"), "0");
    EXPECT_EQ(record.value("days"), std::to_string(kInstalledDaysAgo));
    // The parent of the uninstaller is this test program.
    EXPECT_TRUE(base::EqualsNoCase(base::Utf8ToWide(record.value("process")),
                                   testing_support::BinDir() + L"test_e2e.exe"))
        << record.value("process");
    EXPECT_EQ(record.value("ver"), "1");

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
    EXPECT_NE(testing_support::ReadBytes(run.temp() + scripts[0]).find("rd \"" + base::WideToUtf8(run.dir()) + "\" /s /q"),
              std::string::npos);

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
    // outside the installation directory: listed in the manifest, yet kept.
    for (const wchar_t* decoy : {L"decoy_keep.txt", L"decoy_keep2.txt", L"decoy_keep_dir\\keep.txt"}) {
        EXPECT_TRUE(Exists(run.installation().parent() + decoy)) << base::WideToUtf8(decoy);
    }
    run.ExpectRemoved();
    EXPECT_EQ(run.installation().Inventory()["decoys"], "3/3");
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

}  // namespace
