#include "ui/host/LxModal.h"

#include <algorithm>

namespace ui {

namespace {
HWND g_currentModal = nullptr;

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

LONG Centred(LONG start, LONG span, LONG size, LONG areaStart, LONG areaEnd) {
    LONG at = start + (span - size) / 2;
    // Inside the work area when it fits there.
    if (size <= areaEnd - areaStart) at = std::clamp(at, areaStart, areaEnd - size);
    return at;
}
}  // namespace

HWND CurrentModalWindow() { return g_currentModal; }

bool ForwardToFocusedChild(HWND window, MSG& msg) {
    HWND focus = ::GetFocus();
    if (!focus || focus == window || !::IsChild(window, focus)) return false;
    return ::SendMessageW(focus, kForwardMessage, 0, reinterpret_cast<LPARAM>(&msg)) != 0;
}

void CentreWindow(HWND window, HWND owner) {
    RECT area = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT over = area;
    if (owner) ::GetWindowRect(owner, &over);
    RECT own = {};
    ::GetWindowRect(window, &own);
    const LONG w = own.right - own.left;
    const LONG h = own.bottom - own.top;
    const LONG x = Centred(over.left, over.right - over.left, w, area.left, area.right);
    const LONG y = Centred(over.top, over.bottom - over.top, h, area.top, area.bottom);
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void BringToForeground(HWND window) {
    DWORD lockTimeout = 0;
    const bool haveTimeout = ::SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &lockTimeout, 0) != FALSE;
    ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    HWND foreground = ::GetForegroundWindow();
    const DWORD foregroundThread = foreground ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
    const DWORD self = ::GetCurrentThreadId();
    const bool attached =
        foregroundThread && foregroundThread != self && ::AttachThreadInput(self, foregroundThread, TRUE);
    ::SetForegroundWindow(window);
    ::SetActiveWindow(window);
    if (attached) ::AttachThreadInput(self, foregroundThread, FALSE);
    // The lock is a setting of the whole session: it gets its value back.
    if (haveTimeout) {
        ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                                reinterpret_cast<void*>(static_cast<UINT_PTR>(lockTimeout)), 0);
    }
}

LxModalSession::LxModalSession() {
    owner_ = g_currentModal ? g_currentModal : ::GetActiveWindow();
    if (owner_ == ::GetDesktopWindow()) owner_ = nullptr;
    if (owner_ && ::IsWindowEnabled(owner_)) {
        ::EnableWindow(owner_, FALSE);
        ownerDisabled_ = true;
    }
}

LxModalSession::~LxModalSession() { Finish(); }

void LxModalSession::Show(HWND window, bool foreground) {
    window_ = window;
    if (!window_) return;
    if (!recorded_) {
        previousModal_ = g_currentModal;
        recorded_ = true;
    }
    g_currentModal = window_;
    CentreWindow(window_, owner_);
    if (foreground) {
        BringToForeground(window_);
    } else {
        ::SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    }
    if (::GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_LAYERED) {
        ::InvalidateRect(window_, nullptr, FALSE);
        ::UpdateWindow(window_);
    }
}

void LxModalSession::Run(const std::function<bool()>& ended, const std::function<bool(MSG&)>& preTranslate) {
    for (;;) {
        MSG msg;
        if (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) return;
        if ((ended && ended()) || !window_ || !::IsWindow(window_)) return;
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) continue;
        if (got == 0) {
            // The quit belongs to the loop around this one.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (IsInput(msg.message)) {
            if (preTranslate && preTranslate(msg)) continue;
            if (::IsDialogMessageW(window_, &msg)) continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void LxModalSession::Finish() {
    if (finished_) return;
    finished_ = true;
    const bool hadActivation = window_ && ::GetActiveWindow() == window_;
    if (window_ && ::IsWindow(window_)) {
        ::SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (ownerDisabled_) ::EnableWindow(owner_, TRUE);
    if (hadActivation && owner_) ::SetActiveWindow(owner_);
    if (recorded_) g_currentModal = previousModal_;
}

}  // namespace ui
