// Notifications from the skinned UI to the dialog that owns it: a
// synchronous WM_NOTIFY carrying an LxNotifyRecord.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

namespace ui {

// Notification codes.
constexpr UINT LXNM_CLICK = 1;
constexpr UINT LXNM_LBUTTONDOWN = 2;
constexpr UINT LXNM_LBUTTONDBLCLK = 3;
constexpr UINT LXNM_RBUTTONDOWN = 4;
constexpr UINT LXNM_RBUTTONUP = 5;
constexpr UINT LXNM_WNDMOUSE = 6;  // sent by an element itself (attribute "notify")
constexpr UINT LXNM_MOUSEMOVE = 7;
constexpr UINT LXNM_MOUSELEAVE = 8;

// Sender id (and wParam) of a top-level host's notifications to itself (-1).
constexpr UINT_PTR kTopLevelSenderId = static_cast<UINT_PTR>(-1);

// The standard header, the element's id and, for LXNM_CLICK and
// LXNM_LBUTTONDBLCLK, the element's class name (GetObjectClass).
struct LxNotifyRecord {
    NMHDR hdr;
    int32_t id;
    const char* className;
};

// LXNM_WNDMOUSE: the element's id, the text "wnd" and a sub-code.
constexpr int32_t kWndMouseMove = 3;
constexpr int32_t kWndMouseLeave = 4;
struct LxWndMouseRecord {
    NMHDR hdr;
    int32_t id;
    const char* text;
    int32_t subCode;
};

// Sends `record` as WM_NOTIFY to `target` with wParam = the sender id.
LRESULT SendLxNotify(HWND target, HWND sender, UINT_PTR senderId, UINT code, int32_t id,
                     const char* className = nullptr);

}  // namespace ui
