// The entry routine seen from outside: uninst.exe started as a real process.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "app/SingleInstance.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"
#include "support/TracedRun.h"
#include "support/WizardDriver.h"

using testing_support::CopyInto;
using testing_support::ReadLines;
using testing_support::RunProcess;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

constexpr DWORD kQuickExitMs = 15000;
constexpr uint32_t kSectionMarker = 0x5A17C0DEu;
constexpr char kSkipManifest[] = "<packet skip=\"1\"/>";

std::wstring InstallUninstaller(const TempDir& dir) {
    EXPECT_TRUE(CopyInto(L"uninst.exe", dir.path()));
    return dir / L"uninst.exe";
}

// Holds a named four-byte section as a first instance would.
class HeldSection {
public:
    explicit HeldSection(const std::wstring& name) {
        section_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, name.c_str()));
        view_.reset(::MapViewOfFile(section_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 4));
        if (view_) *static_cast<uint32_t*>(view_.get()) = kSectionMarker;
    }
    bool held() const { return static_cast<bool>(view_); }
    uint32_t value() const { return *static_cast<const uint32_t*>(view_.get()); }

private:
    base::unique_handle section_;
    base::unique_view view_;
};

}  // namespace

TEST(EntryProcess, PlainStartWithoutManifestShowsAnUntitledWizardAndCancelExitsZero) {
    TempDir dir(L"entry");
    testing_support::ChildProcess run(InstallUninstaller(dir), L"");
    HWND wizard = wizard_driver::WaitForWindow(run.id(), wizard_driver::kWizardSize);
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(::GetWindowTextLengthW(wizard), 0);
    wizard_driver::Click(wizard, wizard_driver::kCancelButton);
    ASSERT_TRUE(run.WaitExit(kQuickExitMs));
    DWORD code = ~0u;
    EXPECT_TRUE(::GetExitCodeProcess(run.handle(), &code));
    EXPECT_EQ(code, 0u);
}

TEST(EntryProcess, SecondInstanceExitsAtOnceAndLeavesTheSectionAlone) {
    TempDir dir(L"entry");
    HeldSection first(app::kSingleInstanceKey);  // no SDK library: the key is the name
    ASSERT_TRUE(first.held());
    const auto result = RunProcess(InstallUninstaller(dir), L"/s", kQuickExitMs);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(first.value(), kSectionMarker);
}

TEST(EntryProcess, SkipWithoutArgumentsSendsNothing) {
    TempDir dir(L"entry");
    ASSERT_TRUE(CopyInto(L"qsdxbase.dll", dir.path()));
    ASSERT_TRUE(WriteBytes(dir / L"installconfig.xml", kSkipManifest));
    const auto result = RunProcess(InstallUninstaller(dir), L"", kQuickExitMs);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(testing_support::Exists(dir / L"installconfig.xml"));
    // The report object is made before the skip test and released at exit; no record is made.
    EXPECT_EQ(ReadLines(dir / L"qsdxbase_calls.log"), (std::vector<std::string>{"init", "shutdown"}));
    EXPECT_FALSE(testing_support::Exists(dir / L"qsdxbase_reports.jsonl"));
}

TEST(EntryProcess, FirstInstanceStartsTheRunSecondDoesNot) {
    TempDir dir(L"entry");
    ASSERT_TRUE(CopyInto(L"qsdxbase.dll", dir.path()));
    ASSERT_TRUE(WriteBytes(dir / L"installconfig.xml", kSkipManifest));  // the run ends at once
    const std::wstring exe = InstallUninstaller(dir);
    {
        // The SDK has no value for the name: the key itself names the section.
        HeldSection first(app::kSingleInstanceKey);
        ASSERT_TRUE(RunProcess(exe, L"", kQuickExitMs).finished);
        EXPECT_FALSE(testing_support::Exists(dir / L"qsdxbase_calls.log"));
    }
    ASSERT_TRUE(RunProcess(exe, L"", kQuickExitMs).finished);
    EXPECT_EQ(ReadLines(dir / L"qsdxbase_calls.log"), (std::vector<std::string>{"init", "shutdown"}));
}

TEST(EntryProcess, SectionNameComesFromTheProductValueLookup) {
    TempDir dir(L"entry");
    ASSERT_TRUE(CopyInto(L"qsdxbase.dll", dir.path()));
    const std::wstring guardName = L"UninstGuard_" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(testing_support::WriteUtf8(dir / L"qsdxbase_values.txt", L"QUninstallToolName=" + guardName + L"\n"));
    ASSERT_TRUE(WriteBytes(dir / L"installconfig.xml", kSkipManifest));
    const std::wstring exe = InstallUninstaller(dir);
    {
        HeldSection other(app::kSingleInstanceKey);  // not the looked-up name: no effect
        ASSERT_TRUE(RunProcess(exe, L"", kQuickExitMs).finished);
        EXPECT_EQ(ReadLines(dir / L"qsdxbase_calls.log").size(), 2u);
    }
    HeldSection first(guardName);
    ASSERT_TRUE(first.held());
    const auto result = RunProcess(exe, L"", kQuickExitMs);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(ReadLines(dir / L"qsdxbase_calls.log").size(), 2u);  // nothing more from the second run
    EXPECT_EQ(first.value(), kSectionMarker);
}

// A start that shows nothing must not pay for what only a window needs: under
// Wine the common controls alone bring up the display driver and the themes.
TEST(EntryProcess, StartsThatShowNothingLoadNoWindowLibraries) {
    for (const bool secondInstance : {false, true}) {
        SCOPED_TRACE(secondInstance ? "second instance" : "skip");
        TempDir dir(L"entry");
        ASSERT_TRUE(CopyInto(L"qsdxbase.dll", dir.path()));
        ASSERT_TRUE(WriteBytes(dir / L"installconfig.xml", "<packet skip=\"1\"/>"));
        std::optional<HeldSection> first;
        if (secondInstance) first.emplace(app::kSingleInstanceKey);
        const auto run = testing_support::RunTraced(InstallUninstaller(dir), L"", L"", {}, kQuickExitMs);
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

TEST(SingleInstanceGuard, SecondGuardOfTheSameNameSeesTheFirst) {
    const std::wstring name = L"UninstGuardTest_" + std::to_wstring(::GetCurrentProcessId());
    app::SingleInstanceGuard first(name);
    EXPECT_TRUE(first.IsHeld());
    EXPECT_FALSE(first.IsSecondInstance());
    app::SingleInstanceGuard second(name);
    EXPECT_TRUE(second.IsSecondInstance());
    app::SingleInstanceGuard other(name + L"_other");
    EXPECT_FALSE(other.IsSecondInstance());
}

TEST(SingleInstanceGuard, NameTakenByAnotherKindOfObjectRunsUnguarded) {
    // A mutex under the name makes the section creation fail: no guard, first instance.
    const std::wstring name = L"UninstGuardMutex_" + std::to_wstring(::GetCurrentProcessId());
    base::unique_handle mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
    ASSERT_TRUE(mutex);
    app::SingleInstanceGuard guard(name);
    EXPECT_FALSE(guard.IsHeld());
    EXPECT_FALSE(guard.IsSecondInstance());
}
