// The native window under every host: a window class registered once per
// kind with a generated "ATL:%p" name, the object found again from the window
// handle, and one virtual message handler that derived hosts and their owners
// override (calling the base for everything they leave alone).
#pragma once

#include <windows.h>

namespace ui {

// One window class; its address names it ("ATL:%p"), so each kind of host
// declares one static instance.
struct LxWindowClass {
    UINT style = 0;
    HBRUSH background = nullptr;
    ATOM atom = 0;
    wchar_t name[32] = {};
};

class CLxNativeWindow {
public:
    CLxNativeWindow() = default;
    CLxNativeWindow(const CLxNativeWindow&) = delete;
    CLxNativeWindow& operator=(const CLxNativeWindow&) = delete;
    // Destroys a window still open. Hosts destroy theirs in their own
    // destructor, while their members still live.
    virtual ~CLxNativeWindow();

    HWND hwnd() const { return hwnd_; }
    bool IsChildWindow() const;
    // Destroys the native window (if any).
    void DestroyNative();

    // The window procedure's handler: every message of the window after
    // WM_NCCREATE. The base passes the message to the platform's default.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Registers `windowClass` on first use and creates a window of it that
    // belongs to this object.
    HWND CreateNative(LxWindowClass& windowClass, HWND parent, const RECT& rect, DWORD style, DWORD exStyle,
                      UINT_PTR controlId, const wchar_t* title);
    LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam);
    // The last message has been handled; the handle is already forgotten.
    virtual void OnFinalMessage() {}

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

}  // namespace ui
