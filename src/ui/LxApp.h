// Process-wide pieces of the UI library that the entry routine sets up.
#pragma once

#include <windows.h>
#include <dwmapi.h>

namespace ui {

// Hover notices between list items: registered once at start-up, in this order.
struct LxListMessages {
    UINT hover = 0;      // pointer position: x low, y high 16 bits
    UINT hoverEnd = 0;
    UINT leave = 0;
};
const LxListMessages& RegisterListMessages();
const LxListMessages& ListMessages();

// Desktop-composition entry points, resolved once; available only when the
// library and all four entry points were found.
struct DwmApi {
    using ExtendFrameFn = HRESULT(WINAPI*)(HWND, const MARGINS*);
    using IsEnabledFn = HRESULT(WINAPI*)(BOOL*);
    using EnableCompositionFn = HRESULT(WINAPI*)(UINT);
    using EnableBlurFn = HRESULT(WINAPI*)(HWND, const DWM_BLURBEHIND*);

    ExtendFrameFn extendFrameIntoClientArea = nullptr;
    IsEnabledFn isCompositionEnabled = nullptr;
    EnableCompositionFn enableComposition = nullptr;
    EnableBlurFn enableBlurBehindWindow = nullptr;
    bool available = false;

    static const DwmApi& Get();
};

// The application module: registry of windows and message loops.
class LxAppModule {
public:
    static bool Init(HINSTANCE instance);
    static void Term();
    static HINSTANCE Instance();
    static bool IsRunning();
};

}  // namespace ui
