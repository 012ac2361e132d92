// "uninst.exe" started plainly on a sample installation, driven as a person
// drives it: clicks at the centres of the controls, Enter, Esc and close
// requests, judged by what the screen shows, the stand-ins' logs, the usage
// reports and the end state.
#include <gtest/gtest.h>

#include <functional>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "app/UninstallRun.h"
#include "base/text.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"
#include "support/WizardDriver.h"

namespace {

using namespace wizard_driver;
using silent_run::kQuiet;
using namespace testing_support;

using Code = std::pair<std::string, std::string>;  // (uninstall, reason) of a report
using Codes = std::vector<Code>;

constexpr DWORD kExitWaitMs = 30000;  // the machine may be busy with other tests
constexpr DWORD kStaysMs = 700;          // long enough for a wrongly ended wizard to be gone
constexpr DWORD kScriptWaitMs = 10000;
constexpr DWORD kSampleEveryMs = 25;
constexpr int kHeldSamples = 3 * app::kProgressTimerPeriodMs / kSampleEveryMs;  // three ticks at 99
constexpr POINT kFrameBottom = {265, 399};  // on the white panel, the frame's row
constexpr POINT kAboveFrame = {265, 398};
constexpr uint32_t kFrameOnWhite = 0xD1D1D1;  // grey 138 at alpha 100 over white
const Code kCancelled = {"0", "1"};
const Code kClosed = {"0", "3"};
const Code kRemoved = {"1", "0"};

// A plain run of the installation's uninstaller, its temporary folder the
// test's own (where the self-removal script lands).
class WizardRun : public silent_run::SilentRun {
public:
    using SilentRun::SilentRun;

    DWORD Start(const std::wstring& arguments = L"") {
        process_ = ChildProcess(dir() + sample::kUninstallerFile, arguments, temp());
        return process_.id();
    }
    HWND Wizard() const { return WaitForWindow(process_.id(), kWizardSize); }
    HWND Box() const { return WaitForWindow(process_.id(), kBoxSize); }
    bool Exited() const { return process_.WaitExit(kExitWaitMs); }
    bool Running() const { return process_.Running(); }
    DWORD ExitCode() const {
        DWORD code = ~0u;
        ::GetExitCodeProcess(process_.handle(), &code);
        return code;
    }
    Codes ReportCodes() const {
        Codes codes;
        for (const auto& r : Reports()) codes.emplace_back(r.value("uninstall"), r.value("reason"));
        return codes;
    }
    bool WaitForReports(size_t count) const {
        return WaitUntil([&] { return Reports().size() >= count; }, kExitWaitMs);
    }
    // The removal stops in the utility library's second call until Release().
    bool Hold() {
        hold_ = temp() + L"hold";
        return testing_support::WriteBytes(hold_, "held\n") &&
               testing_support::WriteBytes(dir() + L"qlumenoxutil_config.txt",
                                           "B.hold=" + base::WideToUtf8(hold_) + "\n");
    }
    bool HeldInTheRemoval() const {
        return WaitUntil([&] { return Log(L"qlumenoxutil.log").find("B.Run") != std::string::npos; }, kExitWaitMs);
    }
    void Release() const { ::DeleteFileW(hold_.c_str()); }
    // The wizard of a run held in the removal; null when the installation, the hold or the start failed.
    HWND StartHeld() { return installation().installed() && Hold() && Start() != 0 ? Wizard() : nullptr; }

private:
    ChildProcess process_;
    std::wstring hold_;
};

// The window's whole rectangle is its client area, centred on the work area.
void ExpectFramelessAndCentred(HWND window) {
    RECT bounds = {}, client = {}, area = {};
    ::GetWindowRect(window, &bounds);
    ::GetClientRect(window, &client);
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const LONG left = area.left + (area.right - area.left - kWizardSize.cx) / 2;
    const LONG top = area.top + (area.bottom - area.top - kWizardSize.cy) / 2;
    EXPECT_EQ((std::vector<LONG>{bounds.left, bounds.top, bounds.right, bounds.bottom, client.right, client.bottom}),
              (std::vector<LONG>{left, top, left + kWizardSize.cx, top + kWizardSize.cy, kWizardSize.cx,
                                 kWizardSize.cy}));
}

// A close request and Esc minimise; the window comes back and stays.
void ExpectCloseAndEscMinimise(HWND wizard) {
    PostClose(wizard);
    EXPECT_TRUE(WaitMinimised(wizard));
    EXPECT_TRUE(Restore(wizard));
    PressKey(wizard, VK_ESCAPE);
    EXPECT_TRUE(WaitMinimised(wizard));
    EXPECT_TRUE(Restore(wizard));
}

// The first paint can take a moment: the banner is decoded first.
bool WaitForPaint(HWND window, POINT white = kAboveFrame) {
    return WaitUntil([&] { return ClientPixel(window, white) == kWhite; }, kExitWaitMs);
}

bool WaitForFarewellPage(HWND wizard) {
    // The farewell button covers the gap between the first page's buttons. Its
    // own colour, not just "not white": a window just restored reads black for
    // a moment, and a click then would land on the progress page.
    return WaitUntil([&] { return NearColour(ClientPixel(wizard, kFarewellButton), kFarewellButtonColour); },
                     kExitWaitMs);
}

}  // namespace

TEST(WizardTest, FirstPageWaysOutReportOnceAndRemoveNothing) {
    struct Case {
        const char* name;
        std::function<void(HWND)> act;
        Codes reports;
        bool withoutProductName;
    };
    const Case cases[] = {
        {"cancel", [](HWND w) { Click(w, kCancelButton); }, {kCancelled}, false},
        {"close button", [](HWND w) { Click(w, kCloseButton); }, {kClosed}, false},
        {"Enter, no MsgTip", [](HWND w) { PressKey(w, VK_RETURN); }, {kClosed}, true},
    };
    WizardRun run(kQuiet);
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW((run.logs() + L"qsdxbase_reports.jsonl").c_str());
        if (c.withoutProductName) {
            ASSERT_TRUE(silent_run::ReplaceInFile(run.dir() + sample::kManifestName, " MsgTip=\"Lumenox Viewer\"", ""));
        }
        run.Start();
        HWND wizard = run.Wizard();
        ASSERT_NE(wizard, nullptr);
        wchar_t caption[64] = {};
        ::GetWindowTextW(wizard, caption, ARRAYSIZE(caption));
        EXPECT_STREQ(caption, c.withoutProductName ? L"" : L"Lumenox Viewer");
        ExpectFramelessAndCentred(wizard);
        ASSERT_TRUE(WaitForPaint(wizard));
        EXPECT_TRUE(NearColour(ClientPixel(wizard, kFrameBottom), kFrameOnWhite));
        ExpectCloseAndEscMinimise(wizard);
        EXPECT_TRUE(run.Running());
        EXPECT_TRUE(run.Reports().empty());

        c.act(wizard);
        ASSERT_TRUE(run.Exited());
        EXPECT_EQ(run.ExitCode(), 0u);
        EXPECT_EQ(run.ReportCodes(), c.reports);
    }
    EXPECT_EQ(run.installation().Inventory()["files"], "40/40");
    EXPECT_TRUE(run.Scripts().empty());
}

TEST(WizardTest, CloseWaitsOnTheProgressPageAndTheFarewellCloseEndsTheRun) {
    WizardRun run(kQuiet);
    HWND wizard = run.StartHeld();
    ASSERT_NE(wizard, nullptr) << run.installation().installOutput();
    Click(wizard, kUninstallButton);
    ASSERT_TRUE(run.HeldInTheRemoval());

    // Each close on the progress page reports and leaves the wizard open.
    for (size_t closes = 1; closes <= 2; ++closes) {
        Click(wizard, kCloseButton);
        ASSERT_TRUE(run.WaitForReports(closes));
        ::Sleep(kStaysMs);
        EXPECT_TRUE(run.Running());
        EXPECT_TRUE(::IsWindowVisible(wizard));
    }
    ExpectCloseAndEscMinimise(wizard);
    EXPECT_EQ(run.ReportCodes(), (Codes{kClosed, kClosed}));

    run.Release();
    ASSERT_TRUE(WaitForFarewellPage(wizard));
    ExpectCloseAndEscMinimise(wizard);
    EXPECT_EQ(run.ReportCodes(), (Codes{kClosed, kClosed, kRemoved}));
    EXPECT_FALSE(Exists(run.logs() + L"lumenox_db_after.dat"));  // the after-actions wait for the farewell

    Click(wizard, kFarewellButton);
    ASSERT_TRUE(run.Exited());
    EXPECT_EQ(run.ExitCode(), 0u);
    EXPECT_EQ(run.ReportCodes(), (Codes{kClosed, kClosed, kRemoved, kClosed}));
    EXPECT_TRUE(Exists(run.logs() + L"lumenox_db_after.dat"));
    run.ExpectRemoved(kScriptWaitMs);
}

TEST(WizardTest, WithoutTheManifestTheBarRunsToTheEndAndCloseEndsTheWizard) {
    WizardRun run(kQuiet);
    HWND wizard = run.StartHeld();
    ASSERT_NE(wizard, nullptr) << run.installation().installOutput();
    // Gone after the start: the removal cannot open it, and never asks for the farewell page.
    ASSERT_TRUE(::DeleteFileW((run.dir() + sample::kManifestName).c_str()));
    Click(wizard, kUninstallButton);

    const int held = kProgressBarLength * static_cast<int>(app::kProgressCeiling) / 100;
    std::vector<int> shown;  // each new fill the screen showed
    int heldSamples = 0;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < kExitWaitMs) {
        const int fill = ProgressFill(wizard);
        if (fill > 0 && (shown.empty() || shown.back() != fill)) shown.push_back(fill);
        if (fill == kProgressBarLength) break;
        // Held at 99 for a few ticks, then the removal goes on and ends.
        if (fill == held && ++heldSamples == kHeldSamples) run.Release();
        ::Sleep(kSampleEveryMs);
    }
    std::vector<int> expected;
    for (int percent : {10, 20, 30, 40, 50, 60, 70, 80, 99, 100}) {
        expected.push_back(kProgressBarLength * percent / 100);
    }
    EXPECT_EQ(shown, expected);

    EXPECT_TRUE(run.Running());
    Click(wizard, kCloseButton);
    ASSERT_TRUE(run.Exited());
    EXPECT_EQ(run.ReportCodes(), (Codes{kRemoved, kClosed}));
    EXPECT_TRUE(Exists(run.dir() + L"bin"));  // nothing listed was removed
}

TEST(WizardTest, ViewerQuestionDeclinedEndsTheRunAcceptedClosesEveryViewerWindow) {
    struct Case {
        const char* name;
        POINT button;
        bool accepted;
    };
    const Case cases[] = {
        {"取消", kBoxNoButton, false},
        {"close button", kBoxCloseButton, false},
        {"确定", kBoxYesButton, true},
    };
    WizardRun run(kQuiet);
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    auto viewerOpen = [] { return ::FindWindowW(sample::kViewerClassName, nullptr) != nullptr; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW((run.logs() + L"qsdxbase_reports.jsonl").c_str());
        ChildProcess viewer(run.dir() + sample::kViewerFile, L"--windows 2");
        ASSERT_TRUE(WaitUntil(viewerOpen));
        run.Start();
        HWND box = run.Box();
        ASSERT_NE(box, nullptr);
        // The question's warning icon has no skin: the icon area stays as empty as the body.
        ASSERT_TRUE(WaitForPaint(box, {kBoxIconCentre.x, kBoxSize.cy - 2}));
        EXPECT_EQ(ClientPixel(box, kBoxIconCentre), kWhite);
        PostClose(box);
        ::Sleep(kStaysMs);
        EXPECT_TRUE(::IsWindowVisible(box));

        Click(BoxView(box), c.button);
        if (c.accepted) {
            EXPECT_TRUE(WaitUntil([&] { return !viewerOpen(); }));
            HWND wizard = run.Wizard();
            ASSERT_NE(wizard, nullptr);
            EXPECT_TRUE(run.Reports().empty());
            Click(wizard, kCancelButton);
        }
        // Declined, no wizard comes: the process ends by itself.
        ASSERT_TRUE(run.Exited());
        EXPECT_EQ(run.ReportCodes(), Codes{kCancelled});
        EXPECT_EQ(viewerOpen(), !c.accepted);
    }
    EXPECT_EQ(run.installation().Inventory()["files"], "40/40");
}
