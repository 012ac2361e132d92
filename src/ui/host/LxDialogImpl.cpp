#include "ui/host/LxDialogImpl.h"

#include "ui/elements/LxNotify.h"
#include "ui/scaling/LxDisplayScaler.h"

namespace ui {

namespace {
LxWindowClass g_dialogClass = {CS_DBLCLKS, nullptr};
}

CLxDialogImpl::CLxDialogImpl(int layoutId, UINT viewId) : view_(layoutId), viewId_(viewId) {}

CLxDialogImpl::~CLxDialogImpl() { DestroyNative(); }

HWND CLxDialogImpl::Create(HWND owner) {
    if (hwnd()) return nullptr;
    LxLayout& layout = view_.Layout();
    if (!layout.Loaded()) view_.LoadLayoutResource(view_.LayoutResourceId());
    const LxLayerInfo& layer = layout.Layer();
    const bool loaded = layout.Loaded();
    const DWORD style = (loaded ? layer.style : kLayerBaseStyle) & ~(WS_VISIBLE | WS_CHILD);
    const DWORD exStyle = (loaded ? layer.exStyle : kLayerBaseExStyle) & ~WS_EX_LAYERED;
    const SIZE size = layout.InitialClientSize();
    const RECT place = {0, 0, size.cx, size.cy};
    HWND created = nullptr;
    {
        LxCreationAwareness awareness(LxDisplayScaler::Instance());
        created = CreateNative(g_dialogClass, owner, place, style, exStyle, 0, layer.title.c_str());
    }
    if (created) ::SendMessageW(created, WM_INITDIALOG, 0, 0);
    return created;
}

bool CLxDialogImpl::OnCreate() {
    RECT client = {};
    ::GetClientRect(hwnd(), &client);
    if (!view_.Create(hwnd(), &client, kChildViewStyle, 0, viewId_)) return false;
    if (shadowEnabled_) shadow_.Create(hwnd());
    return true;
}

LRESULT CLxDialogImpl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (shadow_.Created()) shadow_.OnOwnerMessage(hwnd(), message, wParam, lParam);
    switch (message) {
        case WM_CREATE:
            return OnCreate() ? 0 : -1;
        case WM_NCCALCSIZE:
            // No non-client frame: the client area is the whole window.
            return 0;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED && view_.hwnd()) {
                ::SetWindowPos(view_.hwnd(), nullptr, 0, 0, LOWORD(lParam), HIWORD(lParam),
                               SWP_NOZORDER | SWP_NOACTIVATE);
            }
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_WINDOWPOSCHANGED:
            if ((reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) && shadow_.Created()) {
                shadow_.Update(hwnd());
            }
            break;
        case WM_CLOSE:
            // A close request is the cancel command.
            ::SendMessageW(hwnd(), WM_COMMAND, IDCANCEL, 0);
            return 0;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDOK || id == IDCANCEL) {
                const CLxWindow* element = view_.FindChildById(id);
                SendLxNotify(hwnd(), view_.hwnd(), viewId_, LXNM_CLICK, id,
                             element ? element->GetObjectClass() : nullptr);
                return 0;
            }
            break;
        }
        default:
            break;
    }
    return DefaultHandler(message, wParam, lParam);
}

}  // namespace ui
