// ui_shots.exe FOLDER: opens each layout of the program in a real host window
// (the wizard, 11001, on its pages 100, 200 and 400; the message box, 11004)
// over a light backdrop, puts its buttons into their states with mouse
// messages at their centres, and saves what the screen shows, shadow
// included, as PNG files in FOLDER. Prints one line per file.
#include <windows.h>

#include <cstdio>
#include <string>

#include "ScreenShot.h"
#include "base/unique_any.h"
#include "ui/LxGdi.h"
#include "ui/host/LxDialogImpl.h"
#include "ui/host/LxDialogView.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxStringPool.h"
#include "ui/pools/LxStyle.h"

namespace {
constexpr COLORREF kBackdrop = RGB(0xE9, 0xEC, 0xEF);
constexpr POINT kOrigin = {120, 100};
constexpr DWORD kSettleMs = 150;
constexpr int kBoxShadow = 28;
constexpr int kCaptureMargin = 8;
constexpr wchar_t kBackdropClass[] = L"UiShotsBackdrop";
constexpr wchar_t kProduct[] = L"Lumenox";

// Wizard ids.
constexpr int kBanner = 3;
constexpr int kClose = 1;
constexpr int kConfirmPage = 100;
constexpr int kUninstall = 101;
constexpr int kCancel = 104;
constexpr int kProgressPage = 200;
constexpr int kProgressBar = 206;
constexpr int kFarewellPage = 400;
constexpr int kFarewell = 401;
// Message box ids.
constexpr int kBoxClose = 100;
constexpr int kFirstLine = 103;
constexpr int kSecondLine = 104;
constexpr int kOk = 108;
constexpr int kNo = 110;

void Settle(DWORD ms = kSettleMs) {
    const DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    } while (::GetTickCount() - start < ms);
}

LRESULT CALLBACK BackdropProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(hwnd, &paint);
        base::unique_gdi_object brush(::CreateSolidBrush(kBackdrop));
        ::FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(brush.get()));
        ::EndPaint(hwnd, &paint);
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

base::unique_hwnd MakeBackdrop() {
    WNDCLASSW info = {};
    info.lpfnWndProc = BackdropProc;
    info.hInstance = ::GetModuleHandleW(nullptr);
    info.lpszClassName = kBackdropClass;
    ::RegisterClassW(&info);
    base::unique_hwnd window(::CreateWindowExW(0, kBackdropClass, L"", WS_POPUP, 0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                                               ::GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, info.hInstance,
                                               nullptr));
    ::ShowWindow(window.get(), SW_SHOWNOACTIVATE);
    ::UpdateWindow(window.get());
    return window;
}

// The message box's frame: the skin "cnm_showdow" spread over the shadow.
class BoxShadow : public ui::IShadowPaintHook {
public:
    int PaintShadow(HDC dc, const RECT& rect) override {
        return ui::DrawShadowFrame(dc, rect, "cnm_showdow", kBoxShadow, kBoxShadow) ? 0 : 1;
    }
};

class Shooter {
public:
    explicit Shooter(std::wstring folder) : folder_(std::move(folder)) {}

    // Saves the screen around `window` (its shadow included).
    void Shot(HWND window, int margin, const wchar_t* name) {
        Settle();
        RECT area;
        ::GetWindowRect(window, &area);
        ::InflateRect(&area, margin, margin);
        const std::wstring path = folder_ + L"\\" + name + L".png";
        const bool saved = shots::SavePng(shots::CaptureScreen(area), path);
        std::printf("%s %ls.png\n", saved ? "saved" : "FAILED", name);
        ok_ = ok_ && saved;
    }

    // Puts an element of `host` into a mouse state: "hover" or "pressed"
    // (pressed and held, released again by Rest()).
    static void Mouse(ui::CLxDialogViewImpl& host, int id, UINT message) {
        const RECT& r = host.FindChildById(id)->Rect();
        POINT at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        POINT screen = at;
        ::ClientToScreen(host.hwnd(), &screen);
        ::SetCursorPos(screen.x, screen.y);
        ::PostMessageW(host.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        if (message == WM_LBUTTONDOWN) ::PostMessageW(host.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    }
    // Releases the button away from every element and parks the pointer.
    static void Rest(ui::CLxDialogViewImpl& host) {
        ::SetCursorPos(0, 0);
        ::PostMessageW(host.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(-1, -1));
        ::PostMessageW(host.hwnd(), WM_MOUSELEAVE, 0, 0);
        Settle();
    }

    // One element in its three states.
    void States(ui::CLxDialogViewImpl& host, HWND window, int margin, int id, const std::wstring& name) {
        Shot(window, margin, name.c_str());
        Mouse(host, id, WM_MOUSEMOVE);
        Shot(window, margin, (name + L"-hover").c_str());
        Mouse(host, id, WM_LBUTTONDOWN);
        Shot(window, margin, (name + L"-pressed").c_str());
        Rest(host);
    }

    bool ok() const { return ok_; }

private:
    std::wstring folder_;
    bool ok_ = true;
};

bool ShootWizard(Shooter& shooter) {
    ui::CLxDialogViewImplEx wizard(ui::kWizardLayoutId);
    const RECT place = {kOrigin.x, kOrigin.y, kOrigin.x + 1, kOrigin.y + 1};
    if (!wizard.Create(nullptr, &place)) return false;
    ::ShowWindow(wizard.hwnd(), SW_SHOW);
    const int margin = wizard.Shadow().Size() + kCaptureMargin;
    shooter.States(wizard, wizard.hwnd(), margin, kUninstall, L"wizard-100-uninstall");
    shooter.States(wizard, wizard.hwnd(), 0, kCancel, L"wizard-100-cancel");
    Shooter::Mouse(wizard, kClose, WM_MOUSEMOVE);
    shooter.Shot(wizard.hwnd(), 0, L"wizard-100-close-hover");
    Shooter::Rest(wizard);

    wizard.SetItemVisible(kConfirmPage, false);
    wizard.SetItemVisible(kProgressPage, true);
    const struct {
        const char* value;
        const wchar_t* name;
    } steps[] = {
        {"0", L"wizard-200-progress-0"}, {"40", L"wizard-200-progress-40"}, {"100", L"wizard-200-progress-100"}};
    for (const auto& step : steps) {
        wizard.SetItemAttribute(kProgressBar, "value", step.value);
        shooter.Shot(wizard.hwnd(), 0, step.name);
    }

    wizard.SetItemAttribute(kBanner, "skin", "mainbg_banner_finish");
    wizard.SetItemVisible(kProgressPage, false);
    wizard.SetItemVisible(kFarewellPage, true);
    shooter.States(wizard, wizard.hwnd(), margin, kFarewell, L"wizard-400-farewell");
    wizard.DestroyNative();
    return true;
}

bool ShootMessageBox(Shooter& shooter) {
    BoxShadow painter;
    ui::CLxDialogImpl box(ui::kMessageBoxLayoutId);
    box.Shadow().SetSize(kBoxShadow);
    box.Shadow().SetPaintHook(&painter);
    if (!box.Create(nullptr)) return false;
    ui::CLxDialogView& view = box.View();
    // The running-viewer question, placed as the message box places two lines.
    wchar_t first[128];
    std::swprintf(first, sizeof(first) / sizeof(first[0]), L"您已打开%ls，继续卸载会关闭", kProduct);
    view.SetItemText(kFirstLine, first);
    view.SetItemText(kSecondLine, L"正打开的图片，您确定吗？");
    view.SetItemVisible(kSecondLine, true);
    view.SetItemAttribute(kFirstLine, "pos", "100,25,-20,50");
    ::SetWindowPos(box.hwnd(), nullptr, kOrigin.x + 80, kOrigin.y + 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(box.hwnd(), SW_SHOW);
    // Wine shows the translucent pixels of a layered window opaque (no
    // compositor blends them), so the shadow has a shot of its own.
    shooter.Shot(box.hwnd(), kBoxShadow + kCaptureMargin, L"msgbox-shadow");
    shooter.States(view, box.hwnd(), kCaptureMargin, kOk, L"msgbox-ok");
    shooter.States(view, box.hwnd(), kCaptureMargin, kNo, L"msgbox-cancel");
    Shooter::Mouse(view, kBoxClose, WM_MOUSEMOVE);
    shooter.Shot(box.hwnd(), kCaptureMargin, L"msgbox-close-hover");
    Shooter::Rest(view);
    box.DestroyNative();
    return true;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui_shots.exe FOLDER\n");
        return 2;
    }
    ui::LoadSkins();
    ui::LoadStyles();
    ui::LoadStrings();
    base::unique_hwnd backdrop = MakeBackdrop();
    Shooter shooter(argv[1]);
    const bool wizard = ShootWizard(shooter);
    const bool box = ShootMessageBox(shooter);
    if (!wizard || !box) std::fprintf(stderr, "ui-shots: a host window could not be created\n");
    return wizard && box && shooter.ok() ? 0 : 1;
}
