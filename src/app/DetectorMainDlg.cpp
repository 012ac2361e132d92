#include "app/DetectorMainDlg.h"

#include <objidl.h>

#include <gdiplus.h>

#include "app/RunningViewer.h"
#include "app/UninstallRun.h"
#include "manifest/ExpandTask.h"
#include "removal/SelfRemovalScript.h"
#include "report/Report.h"
#include "ui/LxGdi.h"
#include "ui/elements/LxNotify.h"
#include "ui/host/LxModal.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxStringPool.h"
#include "ui/pools/LxStyle.h"

namespace app {

namespace {

// A one-pixel translucent grey frame: half of the two-unit pen lies outside the client area.
constexpr BYTE kFrameAlpha = 100;
constexpr BYTE kFrameGrey = 138;
constexpr float kFramePenWidth = 2.0f;
constexpr WPARAM kSystemCommandMask = 0xFFF0;
constexpr DWORD kWorkerEndedWithoutDialog = 1;

DWORD WINAPI RemovalWorker(void* parameter) {
    auto* dialog = static_cast<QDetectorMainDlg*>(parameter);
    if (dialog == nullptr) return kWorkerEndedWithoutDialog;
    RunUninstallSequence(*dialog);
    return 0;
}

base::unique_hicon LoadWizardIcon(int widthMetric, int heightMetric) {
    return base::unique_hicon(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                              MAKEINTRESOURCEW(kWizardIconId), IMAGE_ICON,
                                                              ::GetSystemMetrics(widthMetric),
                                                              ::GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR)));
}

}  // namespace

QDetectorMainDlg::QDetectorMainDlg(OptionSource options)
    : options_(std::move(options)), installDir_(options_.installDir) {
    SetOwnerPaintHook(true);
    SetPresentListener(&frameMark_);
    // A run with the silent switch shows no window: its start-up does without
    // the look. (The switch alone: the manifest's flag would cost a reading.)
    if (HasSilentSwitch(options_.commandLine)) return;
    ui::LoadSkins();
    ui::LoadStyles();
    ui::LoadStrings();
}

QDetectorMainDlg::~QDetectorMainDlg() {
    DestroyNative();
    // The farewell page can be closed while the worker still runs its last
    // steps (script, registry keys, count), and those use this object. The
    // wait is here, where every way out of the run passes, and before the
    // script path is read, which the worker writes. It has no time limit:
    // the worker can only be running here once it has passed the manifest
    // removal, and what follows is local work that ends.
    if (worker_) ::WaitForSingleObject(worker_.get(), INFINITE);
    // The self-removal script runs once this process is gone; without a
    // script nothing is started.
    scriptStart_.Launch(scriptPath_);
}

void QDetectorMainDlg::Run() {
    // Created first: it reads the install time before any step can delete it.
    report::CSingletonReport& report = report::CSingletonReport::Instance();
    if (IsSkipRun(options_)) return;
    silent_ = IsSilentRun(options_) ? 1 : 0;

    ::OutputDebugStringA("uninst: viewer check\n");
    // Only the question of a run with windows names the product.
    const std::wstring productName = silent_ ? std::wstring() : ReadProductName(options_);
    if (CheckRunningViewer(silent_ != 0, productName) == kUserDeclined) {
        report.SendUninstallReport(0, report::kReasonCancelled);
        return;
    }
    if (silent_) {
        RunUninstallSequence(*this);
        return;
    }
    ShowWizard();
}

void QDetectorMainDlg::ShowWizard() {
    ui::LxModalSession session;
    if (!Create(session.Owner())) return;
    session.Show(hwnd());
    session.Run([this] { return ended_; }, [this](MSG& msg) { return ui::ForwardToFocusedChild(hwnd(), msg); });
    session.Finish();
    DestroyNative();
}

void QDetectorMainDlg::End() {
    ended_ = true;
    result_ = 0;
    if (hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
}

void QDetectorMainDlg::OnInitDialog() {
    bigIcon_ = LoadWizardIcon(SM_CXICON, SM_CYICON);
    smallIcon_ = LoadWizardIcon(SM_CXSMICON, SM_CYSMICON);
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    previousUninstallCount_ = ReadUserUninstallCount();
    ::SetWindowTextW(hwnd(), ReadProductName(options_).c_str());
}

bool QDetectorMainDlg::IsPageShown(int id) const {
    const ui::CLxWindow* page = FindChildById(id);
    return page != nullptr && page->IsVisible(true);
}

bool QDetectorMainDlg::WorkerRunning() const {
    return worker_ && ::WaitForSingleObject(worker_.get(), 0) == WAIT_TIMEOUT;
}

void QDetectorMainDlg::OnClick(int id) {
    switch (id) {
        case kWizardCloseId:
        case kFarewellButtonId:
            OnClose();
            break;
        case kWizardMinimiseId:
            ::ShowWindow(hwnd(), SW_MINIMIZE);
            break;
        case kUninstallButtonId:
            StartUninstall();
            break;
        case kCancelButtonId:
            report::CSingletonReport::Instance().SendUninstallReport(0, report::kReasonCancelled);
            End();
            break;
        default:
            break;
    }
}

void QDetectorMainDlg::OnClose() {
    // Sent on every close, also when the close then does nothing.
    report::CSingletonReport::Instance().SendUninstallReport(0, report::kReasonClosed);
    if (IsPageShown(kFarewellPageId)) {
        manifest::ExpandTaskList::Instance().RunAfter();
    } else if (IsPageShown(kProgressPageId) && WorkerRunning()) {
        return;  // the removal is under way
    }
    // Also on the progress page once the worker has ended without asking for
    // the farewell page (the manifest could not be opened): nobody is kept.
    End();
}

void QDetectorMainDlg::StartUninstall() {
    // A second press while the removal runs would start a second worker.
    if (worker_) return;
    PrepareLockLibrary(installDir_);
    PrepareDocumentKit(installDir_);
    ::SetTimer(hwnd(), kProgressTimerId, kProgressTimerPeriodMs, nullptr);
    SetItemVisible(kConfirmPageId, false);
    SetItemVisible(kProgressPageId, true);
    finishTarget_ = hwnd();
    worker_.reset(::CreateThread(nullptr, 0, RemovalWorker, this, 0, nullptr));
}

void QDetectorMainDlg::OnProgressTick() {
    // A worker that could not be started counts as running: the display stops at 99.
    const bool ended = worker_ && ::WaitForSingleObject(worker_.get(), 0) == WAIT_OBJECT_0;
    progressPercent_ = NextProgressPercent(progressPercent_, ended);
    if (ended) ::KillTimer(hwnd(), kProgressTimerId);
    SetItemText(kProgressTextId, std::to_wstring(progressPercent_) + L"%");
    // Only the bar's rectangle is repainted.
    SetItemAttribute(kProgressBarId, "value", std::to_string(progressPercent_));
}

void QDetectorMainDlg::ShowFarewellPage() {
    SetItemAttribute(kWizardBannerId, "skin", kFinishBannerSkin);
    SetItemVisible(kConfirmPageId, false);
    SetItemVisible(kProgressPageId, false);
    SetItemVisible(kMissingPageId, false);
    SetItemVisible(kFarewellPageId, true);
}

void QDetectorMainDlg::OnPaintHook(HDC dc, const RECT& client) {
    if (!ui::EnsureGdiplus()) return;
    const Gdiplus::Point corners[] = {
        {0, 0}, {client.right, 0}, {client.right, client.bottom}, {0, client.bottom}, {0, 0}};
    Gdiplus::Graphics graphics(dc);
    Gdiplus::Pen pen(Gdiplus::Color(kFrameAlpha, kFrameGrey, kFrameGrey, kFrameGrey), kFramePenWidth);
    graphics.DrawLines(&pen, corners, static_cast<INT>(sizeof(corners) / sizeof(corners[0])));
}

LRESULT QDetectorMainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_TIMER:
            if (wParam == kProgressTimerId) {
                OnProgressTick();
                return 0;
            }
            break;
        case WM_NOTIFY: {
            const auto* record = reinterpret_cast<const ui::LxNotifyRecord*>(lParam);
            if (wParam == ui::kTopLevelSenderId && record->hdr.code == ui::LXNM_CLICK) {
                OnClick(record->id);
                return 0;
            }
            break;
        }
        case WM_CLOSE:
            // The cancel command, which the library reports as a click of
            // control 2: a close request minimises.
            ::SendMessageW(hwnd(), WM_COMMAND, IDCANCEL, 0);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & kSystemCommandMask) == SC_CLOSE) {
                OnClose();
                return 0;
            }
            break;
        case kFinishMessage:
            ShowFarewellPage();
            return 0;
        default:
            break;
    }
    return CLxDialogViewImplEx::HandleMessage(message, wParam, lParam);
}

}  // namespace app
