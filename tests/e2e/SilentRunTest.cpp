// "uninst.exe /s" in a sample installation: the end state it leaves, the order
// of its steps as the stand-ins saw them, and its one usage report.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <ctime>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "support/FileSystemSupport.h"
#include "support/ManifestSupport.h"
#include "support/ProductKey.h"

namespace {

using namespace silent_run;
using testing_support::Exists;
using testing_support::ReadLines;

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

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

std::string ExpectedScript(const std::wstring& dir) {
    const std::string d = base::WideToUtf8(dir);
    return "ping -n 3 127.0>nul\r\n\r\n"
           "del \"" + d + "installconfig.xml\" /f /q \r\n\r\n"
           "del \"" + d + "uninst.exe\" /f /q \r\n\r\n"
           "rd \"" + d + "\" /s /q \r\n\r\n";
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
    ASSERT_TRUE(run.StepMarksSeen()) << Joined(result.traces);

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
    EXPECT_EQ(testing_support::ReadBytes(run.temp() + scripts[0]), ExpectedScript(run.dir()));

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

    // Each kind of thing the installation made, against the platform.
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, jpgVerb, KEY_WOW64_32KEY));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, sample::kForeignVerbKeyPath, KEY_WOW64_32KEY));
    inventory = run.installation().Inventory();
    EXPECT_EQ(inventory["verbs-view32"], "0/276");
    // Where both views show the one SystemFileAssociations key (Windows; Wine for
    // a 32-bit installer), the removal empties both. Where Wine keeps the 64-bit
    // view as a tree of its own, the removal (working in the 32-bit view) never touches it.
    EXPECT_EQ(inventory["verbs-view64"], viewsShared ? "0/276" : "276/276");
    EXPECT_EQ(KeyExists(HKEY_CLASSES_ROOT, jpgVerb, KEY_WOW64_64KEY), !viewsShared);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, sample::kProductKeyPath, sample::kInstallerView));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, sample::kUninstallInfoKeyPath, sample::kInstallerView));
    EXPECT_EQ(testing_support::QueryServiceState(sample::kServiceName), 0u);
    EXPECT_EQ(inventory["processes"], "0");
    EXPECT_EQ(::FindWindowW(sample::kViewerClassName, nullptr), nullptr);
    const std::wstring userDesktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    EXPECT_FALSE(Exists(userDesktop + sample::kUserShortcut));
    EXPECT_FALSE(Exists(userDesktop + sample::kUserToolsShortcut));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + sample::kCommonShortcut));
    EXPECT_TRUE(Exists(userDesktop + sample::kForeignShortcut));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_COMMON_PROGRAMS) + sample::kStartMenuFolder));
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
    EXPECT_TRUE(run.StepMarksSeen()) << Joined(result.traces);
    EXPECT_EQ(run.Reports().size(), 1u);

    // "..\decoy_keep.txt", "bin\..\..\decoy_keep2.txt" and "..\decoy_keep_dir" lie
    // outside the installation directory: listed in the manifest, yet kept.
    for (const wchar_t* decoy : {L"decoy_keep.txt", L"decoy_keep2.txt", L"decoy_keep_dir\\keep.txt"}) {
        EXPECT_TRUE(Exists(run.installation().parent() + decoy)) << base::WideToUtf8(decoy);
    }
    run.ExpectRemoved();
    EXPECT_EQ(run.installation().Inventory()["decoys"], "3/3");
}

}  // namespace
