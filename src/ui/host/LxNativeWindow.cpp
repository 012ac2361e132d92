#include "ui/host/LxNativeWindow.h"

#include <cwchar>

#include "ui/LxApp.h"

namespace ui {

namespace {
constexpr wchar_t kClassNameFormat[] = L"ATL:%p";

ATOM RegisterOnce(LxWindowClass& windowClass, WNDPROC proc) {
    if (windowClass.atom) return windowClass.atom;
    std::swprintf(windowClass.name, sizeof(windowClass.name) / sizeof(windowClass.name[0]), kClassNameFormat,
                  static_cast<void*>(&windowClass));
    WNDCLASSEXW info = {};
    info.cbSize = sizeof(info);
    info.style = windowClass.style;
    info.lpfnWndProc = proc;
    info.hInstance = LxAppModule::Instance();
    info.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    info.hbrBackground = windowClass.background;
    info.lpszClassName = windowClass.name;
    windowClass.atom = ::RegisterClassExW(&info);
    if (!windowClass.atom && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        windowClass.atom = static_cast<ATOM>(::GetClassInfoExW(info.hInstance, windowClass.name, &info));
    }
    return windowClass.atom;
}
}  // namespace

CLxNativeWindow::~CLxNativeWindow() { DestroyNative(); }

bool CLxNativeWindow::IsChildWindow() const { return hwnd_ && (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD) != 0; }

void CLxNativeWindow::DestroyNative() {
    if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

HWND CLxNativeWindow::CreateNative(LxWindowClass& windowClass, HWND parent, const RECT& rect, DWORD style,
                                   DWORD exStyle, UINT_PTR controlId, const wchar_t* title) {
    if (hwnd_) return nullptr;
    if (!RegisterOnce(windowClass, &CLxNativeWindow::WindowProc)) return nullptr;
    HMENU menu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(controlId) : nullptr;
    return ::CreateWindowExW(exStyle, windowClass.name, title ? title : L"", style, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent, menu, LxAppModule::Instance(),
                             this);
}

LRESULT CLxNativeWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultHandler(message, wParam, lParam);
}

LRESULT CLxNativeWindow::DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK CLxNativeWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CLxNativeWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<CLxNativeWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->OnFinalMessage();
    }
    return result;
}

}  // namespace ui
