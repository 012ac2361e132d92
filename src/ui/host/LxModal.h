// Showing a host window modally, as both skinned dialogs do: take the owner
// (the library's current modal window, else the active window) and disable
// it, centre the window over it or over the work area, bring the window to
// the foreground, run a message loop until the dialog ends, then hide the
// window, re-enable and reactivate the owner. The owner creates and destroys
// the window itself, between the session's construction and its end.
//
//     LxModalSession session;                  // owner picked and disabled
//     if (!host.Create(session.Owner())) return;
//     session.Show(host.hwnd());
//     session.Run([&] { return ended; });
//     session.Finish();                        // also done by the destructor
//     host.DestroyNative();
#pragma once

#include <windows.h>

#include <functional>

namespace ui {

// The window whose modal loop runs now (null when none).
HWND CurrentModalWindow();

class LxModalSession {
public:
    LxModalSession();
    ~LxModalSession();
    LxModalSession(const LxModalSession&) = delete;
    LxModalSession& operator=(const LxModalSession&) = delete;

    // The window the dialog is shown over (null when there is none).
    HWND Owner() const { return owner_; }

    // Records `window` as the current modal window, centres it over the
    // owner (or the work area), shows it and, when asked, brings it to the
    // foreground. A layered window is asked to repaint.
    void Show(HWND window, bool foreground = true);
    // Runs the loop until `ended` answers true, a quit message waits (it is
    // left for the caller's loop) or the window is gone. Keyboard and mouse
    // messages go to `preTranslate` first (when given; true: consumed), then
    // to the dialog navigation (Enter and Esc become the OK and cancel
    // commands), then to translation and dispatch.
    void Run(const std::function<bool()>& ended, const std::function<bool(MSG&)>& preTranslate = {});
    // Hides the window without activating another, re-enables the owner and
    // gives it back the activation when the window still had it; the
    // previous modal record returns.
    void Finish();

private:
    HWND owner_ = nullptr;
    bool ownerDisabled_ = false;
    HWND window_ = nullptr;
    HWND previousModal_ = nullptr;
    bool recorded_ = false;
    bool finished_ = false;
};

// The message a native child gets to look at an input message before its
// dialog does (the convention of ATL's forwarding); nonzero: consumed.
constexpr UINT kForwardMessage = 0x037F;
// Offers an input message to the focused native child of `window`, if the
// focus lies in one; true when the child consumed it. Owners pass it to
// LxModalSession::Run as the first look at input.
bool ForwardToFocusedChild(HWND window, MSG& msg);

// Centres `window` over `owner`, or over the work area when there is no
// owner, kept inside the work area.
void CentreWindow(HWND window, HWND owner);
// Shows `window` without moving or resizing it and makes it the foreground
// window, with the foreground lock lifted for the moment of the switch.
void BringToForeground(HWND window);

}  // namespace ui
