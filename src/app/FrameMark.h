// A trace mark at a window's first presented frame, like the start-up and
// step marks: where a person first sees the window. Set on the host before
// its window is created.
#pragma once

#include <windows.h>

#include "ui/host/LxDialogView.h"

namespace app {

class FirstFrameMark : public ui::ILxPresentListener {
public:
    explicit FirstFrameMark(const char* text) : text_(text) {}

    void OnHostPresented(HWND host) override {
        // A present into a hidden window shows nothing yet.
        if (marked_ || !::IsWindowVisible(::GetAncestor(host, GA_ROOT))) return;
        marked_ = true;
        ::OutputDebugStringA(text_);
    }

private:
    const char* text_;
    bool marked_ = false;
};

}  // namespace app
