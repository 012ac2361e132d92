// Helpers of the host window tests: message pumping, screen pixels, handle
// counts, a backdrop window to judge transparency against, and hosts that
// record what reaches their message handler.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "UiSupport.h"
#include "base/unique_any.h"
#include "ui/elements/LxNotify.h"
#include "ui/host/LxDialogImpl.h"
#include "ui/host/LxDialogView.h"

namespace hosttest {

// Dispatches this thread's messages until `done` answers true or the time is
// up; answers `done` at the end.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000);
// Dispatches messages for a while (the window system flushes surfaces meanwhile).
void Pump(DWORD ms = 50);

// A screen pixel as 0xRRGGBB.
uint32_t ScreenPixel(POINT screen);
// Waits until the screen shows `want` at `screen`; answers the last value seen.
uint32_t WaitForPixel(POINT screen, uint32_t want, DWORD timeoutMs = 3000);

// GDI objects and USER objects (windows) of this process: the platform's
// counts when it keeps them, else the GDI handle table and the windows of
// this thread.
size_t GdiObjects();
size_t UserObjects();

// A top-level window painted in one colour (0xRRGGBB), to show through
// transparent pixels.
class Backdrop {
public:
    Backdrop(const RECT& screen, uint32_t rgb);
    HWND hwnd() const { return window_.get(); }

private:
    base::unique_hwnd window_;
};

struct Notice {
    UINT_PTR sender;
    UINT code;
    int32_t id;
    std::string cls;
};

// What a recording window's handler saw.
struct Recording {
    std::vector<Notice> notices;
    std::vector<WPARAM> sysCommands;  // swallowed: no native move or size loop starts
    int mouseMoves = 0;
    bool Clicked(int32_t id) const;
    void Clear() { *this = Recording(); }
};

// A host (or dialog) that records notifications, system commands and mouse
// moves before the library handles the rest.
template <typename Base>
class Recorder : public Base {
public:
    using Base::Base;
    Recording seen;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_NOTIFY) {
            const auto* n = reinterpret_cast<const ui::LxNotifyRecord*>(lParam);
            seen.notices.push_back({n->hdr.idFrom, n->hdr.code, n->id, n->className ? n->className : ""});
            return 0;
        }
        if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) != SC_CLOSE) {
            seen.sysCommands.push_back(wParam);
            return 0;
        }
        if (message == WM_MOUSEMOVE) ++seen.mouseMoves;
        return Base::HandleMessage(message, wParam, lParam);
    }
};
using View = Recorder<ui::CLxDialogViewImplEx>;
using Dialog = Recorder<ui::CLxDialogImpl>;

// Creates `host` as a visible top-level window at `origin` and waits for its
// first paint.
bool Open(ui::CLxDialogViewImpl& host, POINT origin);
bool Open(ui::CLxDialogImpl& dialog, POINT origin);

// The screen point of an element's centre in a host window.
POINT ScreenCentre(const ui::CLxDialogViewImpl& host, int id);

// Real mouse input as a person gives it: the pointer moves there, then the
// message is posted to the host window at the client point.
void PostMouse(const ui::CLxDialogViewImpl& host, UINT message, POINT client);

}  // namespace hosttest
