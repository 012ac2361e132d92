// The entry routine seen from outside: uninst.exe started as a real process.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "app/SingleInstance.h"
#include "base/text.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"
#include "support/TracedRun.h"
#include "support/WizardDriver.h"

using namespace testing_support;

namespace {
constexpr DWORD kQuickExitMs = 15000;
constexpr char kSkipManifest[] = "<packet skip=\"1\"/>";  // the run ends at once

std::wstring InstallUninstaller(const TempDir& dir) {
    EXPECT_TRUE(CopyInto(L"uninst.exe", dir.path()));
    return dir / L"uninst.exe";
}
}  // namespace

TEST(EntryProcess, PlainStartWithoutManifestShowsAnUntitledWizardAndCancelEndsIt) {
    TempDir dir(L"entry");
    ChildProcess run(InstallUninstaller(dir), L"");
    HWND wizard = wizard_driver::WaitForWindow(run.id(), wizard_driver::kWizardSize);
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(::GetWindowTextLengthW(wizard), 0);
    wizard_driver::Click(wizard, wizard_driver::kCancelButton);
    EXPECT_TRUE(run.WaitExit(kQuickExitMs));
}

TEST(EntryProcess, SkipWithoutArgumentsSendsNothing) {
    TempDir dir(L"entry");
    ASSERT_TRUE(CopyInto(L"qsdxbase.dll", dir.path()));
    ASSERT_TRUE(WriteBytes(dir / L"installconfig.xml", kSkipManifest));
    ASSERT_TRUE(RunProcess(InstallUninstaller(dir), L"", kQuickExitMs).finished);
    EXPECT_TRUE(Exists(dir / L"installconfig.xml"));
    // The report object is made before the skip test and released at exit; no record is made.
    EXPECT_EQ(ReadLines(dir / L"qsdxbase_calls.log"), (std::vector<std::string>{"init", "shutdown"}));
    EXPECT_FALSE(Exists(dir / L"qsdxbase_reports.jsonl"));
}

// The section that marks a running instance is named by the product value
// lookup, or by the key itself when the library has no value for it.
TEST(EntryProcess, ARunningInstanceOfTheLookedUpNameStopsTheRun) {
    const std::wstring guardName = L"UninstGuard_" + std::to_wstring(::GetCurrentProcessId());
    const struct { bool valueGiven; std::wstring held; bool runs; } cases[] = {
        {false, app::kSingleInstanceKey, false},
        {false, L"", true},
        {true, app::kSingleInstanceKey, true},
        {true, guardName, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        TempDir dir(L"entry");
        ASSERT_TRUE(CopyInto(L"qsdxbase.dll", dir.path()));
        if (c.valueGiven) {
            ASSERT_TRUE(WriteUtf8(dir / L"qsdxbase_values.txt", L"QUninstallToolName=" + guardName + L"\n"));
        }
        ASSERT_TRUE(WriteBytes(dir / L"installconfig.xml", kSkipManifest));
        app::SingleInstanceGuard first(c.held.empty() ? guardName + L"_none" : c.held);
        ASSERT_TRUE(first.IsHeld());
        ASSERT_TRUE(RunProcess(InstallUninstaller(dir), L"", kQuickExitMs).finished);
        EXPECT_EQ(Exists(dir / L"qsdxbase_calls.log"), c.runs);
    }
}

// A start that shows nothing must not pay for what only a window needs: under
// Wine the common controls alone bring up the display driver and the themes.
TEST(EntryProcess, StartsThatShowNothingLoadNoWindowLibraries) {
    for (const bool secondInstance : {false, true}) {
        SCOPED_TRACE(secondInstance ? "second instance" : "skip");
        TempDir dir(L"entry");
        ASSERT_TRUE(CopyInto(L"qsdxbase.dll", dir.path()));
        ASSERT_TRUE(WriteBytes(dir / L"installconfig.xml", kSkipManifest));
        std::optional<app::SingleInstanceGuard> first;
        if (secondInstance) first.emplace(app::kSingleInstanceKey);
        const auto run = RunTraced(InstallUninstaller(dir), L"", L"", {}, kQuickExitMs);
        ASSERT_TRUE(run.finished);
        const auto loaded = [&run](const wchar_t* name) {
            return std::find(run.libraries.begin(), run.libraries.end(), name) != run.libraries.end();
        };
        EXPECT_TRUE(loaded(L"qsdxbase.dll"));  // libraries loaded at run time are seen
        for (const wchar_t* name : {L"comctl32.dll", L"uxtheme.dll", L"winex11.drv", L"gdiplus.dll"}) {
            EXPECT_FALSE(loaded(name)) << base::WideToUtf8(name);
        }
    }
}

TEST(SingleInstanceGuard, SecondGuardOfTheSameNameSeesTheFirstAnotherKindOfObjectNone) {
    const std::wstring name = L"UninstGuardTest_" + std::to_wstring(::GetCurrentProcessId());
    app::SingleInstanceGuard first(name);
    EXPECT_TRUE(first.IsHeld());
    EXPECT_FALSE(first.IsSecondInstance());
    EXPECT_TRUE(app::SingleInstanceGuard(name).IsSecondInstance());
    EXPECT_FALSE(app::SingleInstanceGuard(name + L"_other").IsSecondInstance());
    // A mutex under the name makes the section creation fail: no guard, first instance.
    base::unique_handle mutex(::CreateMutexW(nullptr, FALSE, (name + L"_mutex").c_str()));
    ASSERT_TRUE(mutex);
    app::SingleInstanceGuard guard(name + L"_mutex");
    EXPECT_FALSE(guard.IsHeld());
    EXPECT_FALSE(guard.IsSecondInstance());
}
