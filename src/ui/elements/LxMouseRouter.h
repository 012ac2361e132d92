// The host side of the mouse: turns a host window's mouse messages into
// element states, relayed element messages and owner notifications. It needs
// no window: the host passes the messages in and carries out the requests of
// ILxMouseHost (capture, repaint, move, notify ...), so tests drive it with
// a recording host.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

class CLxWindow;

// Element classes (GetObjectClass) that a host treats as clickable: a press
// on any other element of the header moves the window, a double click on one
// toggles maximised.
struct LxClickableClasses {
    std::vector<std::string_view> press;
    std::vector<std::string_view> doubleClick;
    bool Presses(std::string_view cls) const;
    bool DoubleClicks(std::string_view cls) const;
};
const LxClickableClasses& WizardHostClasses();      // the extended top-level host
const LxClickableClasses& MessageBoxHostClasses();  // the plain child host

// How a host kind differs.
struct LxMouseRules {
    const LxClickableClasses* classes;
    bool borderDrag;       // a press on the border band of a resizable layer sizes the window
    bool clickNeedsHover;  // click only while the pressed element is still hovered; a release
                           // elsewhere just ends the press
    static LxMouseRules Extended();
    static LxMouseRules Plain();
};

// What the router asks of its host window.
class ILxMouseHost {
public:
    // An LxNotifyRecord to the owner (className for clicks and double clicks).
    virtual void Notify(UINT code, int32_t id, const char* className) = 0;
    virtual void Capture(bool on) = 0;
    virtual void Redraw(CLxWindow& element) = 0;
    virtual void TakeFocus() = 0;
    virtual bool IsMinimized() = 0;
    // A native window move (system command 0xF012).
    virtual void StartMove() = 0;
    // A native border drag from the non-client hit code (10 to 17).
    virtual void StartBorderDrag(int hitCode) = 0;
    // Maximise or restore (0xF030 / 0xF120 as the window stands).
    virtual void ToggleMaximize() = 0;
    // Opens a link with the shell's "open" verb.
    virtual void OpenHref(const std::wstring& href) = 0;
    virtual void SetToolTip(const std::wstring& text) = 0;
    // Asks the platform for a leave notice.
    virtual void TrackLeave() = 0;

protected:
    ~ILxMouseHost() = default;
};

constexpr int kHitClient = 1;
constexpr int kHitBorderFirst = 10;
constexpr int kHitBorderLast = 17;

class LxMouseRouter {
public:
    LxMouseRouter(ILxMouseHost& host, LxMouseRules rules) : host_(host), rules_(rules) {}

    // The root panels, tried in this order by hit tests (any may be null).
    // They are held by handle: panels replaced by a new layout hit nothing
    // until the host sets the new ones.
    void SetRoots(CLxWindow* header, CLxWindow* body, CLxWindow* footer);
    void SetLayer(bool resizable, bool noMove);
    // The host's last answer to the non-client hit test.
    void SetLastHitCode(int code) { lastHitCode_ = code; }

    void LButtonDown(int x, int y);
    void LButtonUp(int x, int y);
    void LButtonDblClk(int x, int y);
    void RButtonDown(int x, int y);
    void RButtonUp(int x, int y);
    void MouseMove(int x, int y);
    void MouseLeave();
    // Forgets pressed and hovered elements (a new layout was loaded).
    void Forget();

    // The element under a point: header, then body, then footer.
    CLxWindow* HitTest(int x, int y) const;
    uint32_t Pressed() const { return pressed_; }
    uint32_t Hovered() const { return hovered_; }
    bool Captured() const { return captured_; }

private:
    bool InHeader(const CLxWindow& element) const;
    void Relay(CLxWindow& element, UINT message, int x, int y);
    void Repaint(CLxWindow& element);
    void NotifyId(UINT code, const CLxWindow& element, bool withClass = false);
    void ReleaseCapture();

    ILxMouseHost& host_;
    LxMouseRules rules_;
    uint32_t roots_[3] = {};
    bool resizable_ = false;
    bool noMove_ = false;
    int lastHitCode_ = kHitClient;
    uint32_t pressed_ = 0;
    uint32_t hovered_ = 0;
    uint32_t rightPressed_ = 0;
    bool captured_ = false;
    bool leaveTracking_ = false;
};

}  // namespace ui
