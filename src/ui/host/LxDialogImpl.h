// A top-level skinned dialog whose client area is one child host
// (CLxDialogView) carrying the layout: the message box's frame. The view
// reports clicks to this window as WM_NOTIFY with its control id as sender
// id; OK and cancel commands (Enter, Esc, a close request) become clicks of
// ids 1 and 2 from the view. The dialog casts the shadow; owners derive,
// override HandleMessage and may hook the shadow's painting.
#pragma once

#include <windows.h>

#include "ui/host/LxDialogView.h"
#include "ui/host/LxNativeWindow.h"
#include "ui/host/LxShadowWnd.h"

namespace ui {

constexpr UINT kDefaultViewId = 1000;
// The view: a visible child that clips its children.
constexpr DWORD kChildViewStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP;

class CLxDialogImpl : public CLxNativeWindow {
public:
    explicit CLxDialogImpl(int layoutId = kMessageBoxLayoutId, UINT viewId = kDefaultViewId);
    ~CLxDialogImpl() override;

    // Creates the hidden dialog owned by `owner` (may be null), styled and
    // sized by the view's layer, with the view filling its client area, then
    // sends it WM_INITDIALOG. Null when either window cannot be created.
    HWND Create(HWND owner);

    CLxDialogView& View() { return view_; }
    UINT ViewId() const { return viewId_; }
    CShadowWnd& Shadow() { return shadow_; }
    // Set before Create.
    void EnableShadow(bool on) { shadowEnabled_ = on; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool OnCreate();

    CLxDialogView view_;
    UINT viewId_;
    CShadowWnd shadow_;
    bool shadowEnabled_ = true;
};

}  // namespace ui
