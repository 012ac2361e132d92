#include "ui/elements/LxMouseRouter.h"

#include <algorithm>

#include "ui/elements/LxNotify.h"
#include "ui/elements/LxWindow.h"
#include "ui/elements/LxWindowRegistry.h"

namespace ui {

namespace {
bool Contains(const std::vector<std::string_view>& list, std::string_view cls) {
    return std::find(list.begin(), list.end(), cls) != list.end();
}
}  // namespace

bool LxClickableClasses::Presses(std::string_view cls) const { return Contains(press, cls); }
bool LxClickableClasses::DoubleClicks(std::string_view cls) const { return Contains(doubleClick, cls); }

const LxClickableClasses& WizardHostClasses() {
    static const LxClickableClasses classes = {
        {"button", "imgbtn", "dlgbtn", "dlgbtnEx2", "tabctrl", "link", "skinbtn", "imgbtnsized", "check", "radio",
         "slider", "imgradio", "listwnd"},
        {"button", "imgbtn", "dlgbtn", "tabctrl", "link", "skinbtn", "imgbtnsized", "slider", "check", "listwnd"},
    };
    return classes;
}

const LxClickableClasses& MessageBoxHostClasses() {
    static const LxClickableClasses classes = {
        {"button", "imgbtn", "dlgbtn", "tabctrl", "link", "skinbtn", "imgbtnsized", "check", "slider", "richtext"},
        {"button", "imgbtn", "dlgbtn", "tabctrl", "link", "skinbtn", "imgbtnsized", "slider", "check"},
    };
    return classes;
}

LxMouseRules LxMouseRules::Extended() { return {&WizardHostClasses(), true, false}; }
LxMouseRules LxMouseRules::Plain() { return {&MessageBoxHostClasses(), false, true}; }

void LxMouseRouter::SetRoots(CLxWindow* header, CLxWindow* body, CLxWindow* footer) {
    roots_[0] = header ? header->Handle() : 0;
    roots_[1] = body ? body->Handle() : 0;
    roots_[2] = footer ? footer->Handle() : 0;
    Forget();
}

void LxMouseRouter::SetLayer(bool resizable, bool noMove) {
    resizable_ = resizable;
    noMove_ = noMove;
}

void LxMouseRouter::Forget() {
    pressed_ = 0;
    hovered_ = 0;
    rightPressed_ = 0;
}

CLxWindow* LxMouseRouter::HitTest(int x, int y) const {
    for (const uint32_t handle : roots_) {
        CLxWindow* root = FindElement(handle);
        if (!root || !root->IsVisible(false)) continue;
        if (const uint32_t hit = root->HitTest(x, y, true)) return FindElement(hit);
    }
    return nullptr;
}

bool LxMouseRouter::InHeader(const CLxWindow& element) const {
    if (!roots_[0]) return false;
    for (const CLxWindow* e = &element; e; e = e->Parent()) {
        if (e->Handle() == roots_[0]) return true;
    }
    return false;
}

void LxMouseRouter::Relay(CLxWindow& element, UINT message, int x, int y) {
    LRESULT result = 0;
    element.ProcessMessage(element.Handle(), message, 0, MAKELPARAM(x, y), &result);
}

void LxMouseRouter::Repaint(CLxWindow& element) {
    if (element.NeedRedrawWhenStateChange()) host_.Redraw(element);
}

void LxMouseRouter::NotifyId(UINT code, const CLxWindow& element, bool withClass) {
    // Elements without an id send nothing.
    if (element.Id() != 0) host_.Notify(code, element.Id(), withClass ? element.GetObjectClass() : nullptr);
}

void LxMouseRouter::ReleaseCapture() {
    if (!captured_) return;
    captured_ = false;
    host_.Capture(false);
}

void LxMouseRouter::LButtonDown(int x, int y) {
    if (rules_.borderDrag && resizable_ && lastHitCode_ >= kHitBorderFirst && lastHitCode_ <= kHitBorderLast) {
        host_.StartBorderDrag(lastHitCode_);
        return;
    }
    CLxWindow* hit = HitTest(x, y);
    if (!hit) return;
    if (InHeader(*hit) && !rules_.classes->Presses(hit->GetObjectClass()) && !hit->IsHeadAcceptLButtonDown()) {
        host_.TakeFocus();
        if (!noMove_ && !host_.IsMinimized()) host_.StartMove();
        return;
    }
    if (hit->IsDisabled(true) || captured_) return;
    captured_ = true;
    host_.Capture(true);
    pressed_ = hovered_ = hit->Handle();
    hit->ModifyState(kStatePush, 0);
    Repaint(*hit);
    Relay(*hit, WM_LBUTTONDOWN, x, y);
    if (CLxWindow* still = FindElement(pressed_)) NotifyId(LXNM_LBUTTONDOWN, *still);
}

void LxMouseRouter::LButtonUp(int x, int y) {
    ReleaseCapture();
    CLxWindow* under = HitTest(x, y);
    const uint32_t underHandle = under ? under->Handle() : 0;
    const uint32_t pressedHandle = pressed_;
    CLxWindow* pressed = FindElement(pressedHandle);
    pressed_ = 0;
    if (!pressed) return;
    pressed->ModifyState(0, kStatePush);
    Repaint(*pressed);
    Relay(*pressed, WM_LBUTTONUP, x, y);
    pressed = FindElement(pressedHandle);  // the relay may have ended it
    if (!pressed) return;
    if (rules_.clickNeedsHover) {
        if (underHandle != pressedHandle || hovered_ != pressedHandle) return;
    } else if (underHandle != pressedHandle) {
        pressed->ModifyState(0, kStateHover);
        Repaint(*pressed);
        Relay(*pressed, WM_MOUSELEAVE, x, y);
        if (hovered_ == pressedHandle) hovered_ = 0;
        if (CLxWindow* still = FindElement(pressedHandle)) NotifyId(LXNM_MOUSELEAVE, *still);
        return;
    }
    if (!pressed->Href().empty()) {
        host_.OpenHref(pressed->Href());
        return;
    }
    NotifyId(LXNM_CLICK, *pressed, true);
}

void LxMouseRouter::LButtonDblClk(int x, int y) {
    CLxWindow* hit = HitTest(x, y);
    if (!hit) return;
    if (InHeader(*hit) && !rules_.classes->DoubleClicks(hit->GetObjectClass()) && !hit->IsHeadAcceptLButtonDown()) {
        if (resizable_) host_.ToggleMaximize();
        return;
    }
    host_.TakeFocus();
    if (hit->IsDisabled(true)) return;
    const uint32_t handle = hit->Handle();
    hit->ModifyState(kStatePush, 0);
    Repaint(*hit);
    pressed_ = handle;
    Relay(*hit, WM_LBUTTONDBLCLK, x, y);
    if (CLxWindow* still = FindElement(handle)) NotifyId(LXNM_LBUTTONDBLCLK, *still, true);
}

void LxMouseRouter::RButtonDown(int x, int y) {
    CLxWindow* hit = HitTest(x, y);
    if (!hit) return;
    if (!captured_) {
        captured_ = true;
        host_.Capture(true);
    }
    rightPressed_ = hit->Handle();
    Relay(*hit, WM_RBUTTONDOWN, x, y);
    if (CLxWindow* still = FindElement(rightPressed_)) NotifyId(LXNM_RBUTTONDOWN, *still);
}

void LxMouseRouter::RButtonUp(int x, int y) {
    if (!pressed_) ReleaseCapture();
    CLxWindow* under = HitTest(x, y);
    const uint32_t rightPressed = rightPressed_;
    rightPressed_ = 0;
    if (!under || under->Handle() != rightPressed) return;
    Relay(*under, WM_RBUTTONUP, x, y);
    if (CLxWindow* still = FindElement(rightPressed)) NotifyId(LXNM_RBUTTONUP, *still);
}

void LxMouseRouter::MouseMove(int x, int y) {
    if (!leaveTracking_) {
        leaveTracking_ = true;
        host_.TrackLeave();
    }
    if (pressed_) {
        if (CLxWindow* pressed = FindElement(pressed_)) Relay(*pressed, WM_MOUSEMOVE, x, y);
        return;
    }
    if (lastHitCode_ != kHitClient) return;
    CLxWindow* under = HitTest(x, y);
    const uint32_t underHandle = under ? under->Handle() : 0;
    if (under && !under->IsDisabled(true)) {
        Relay(*under, WM_MOUSEMOVE, x, y);
        if (CLxWindow* still = FindElement(underHandle)) NotifyId(LXNM_MOUSEMOVE, *still);
    }
    if (underHandle == hovered_) return;
    if (CLxWindow* old = FindElement(hovered_)) {
        const uint32_t oldHandle = hovered_;
        old->ModifyState(0, kStateHover);
        Repaint(*old);
        Relay(*old, WM_MOUSELEAVE, x, y);
        if (CLxWindow* still = FindElement(oldHandle)) NotifyId(LXNM_MOUSELEAVE, *still);
    }
    hovered_ = underHandle;
    under = FindElement(underHandle);
    if (under && !under->IsDisabled(true)) {
        under->ModifyState(kStateHover, 0);
        Repaint(*under);
    }
    host_.SetToolTip(under ? under->GetToolTip() : std::wstring());
}

void LxMouseRouter::MouseLeave() {
    leaveTracking_ = false;
    int32_t lastId = 0;
    if (CLxWindow* hovered = FindElement(hovered_)) {
        hovered->ModifyState(0, kStateHover | kStatePush);
        Repaint(*hovered);
        Relay(*hovered, WM_MOUSELEAVE, 0, 0);
        if (CLxWindow* still = FindElement(hovered_)) lastId = still->Id();
    }
    if (CLxWindow* pressed = FindElement(pressed_)) {
        pressed->ModifyState(0, kStateHover | kStatePush);
        Repaint(*pressed);
        lastId = pressed->Id();
    }
    hovered_ = 0;
    pressed_ = 0;
    ReleaseCapture();
    host_.Notify(LXNM_MOUSELEAVE, lastId, nullptr);
}

}  // namespace ui
