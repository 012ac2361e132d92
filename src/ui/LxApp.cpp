#include "ui/LxApp.h"

#include "base/unique_any.h"

namespace ui {

namespace {
constexpr wchar_t kHoverMessage[] = L"{24F8405F-BB3A-455e-B5B3-87220CD2E244}";
constexpr wchar_t kHoverEndMessage[] = L"{AC6822FA-05D6-473b-BAE6-A5C2E0084549}";
constexpr wchar_t kLeaveMessage[] = L"{826C229B-7EF0-4d33-AA49-D02117D188CA}";

LxListMessages g_listMessages;
HINSTANCE g_instance = nullptr;
bool g_running = false;

DwmApi ProbeDwm() {
    DwmApi api;
    // Kept loaded for the life of the process once the probe found it.
    static base::unique_hmodule library(::LoadLibraryW(L"dwmapi"));
    if (!library) return api;
    HMODULE dll = library.get();
    api.extendFrameIntoClientArea =
        reinterpret_cast<DwmApi::ExtendFrameFn>(::GetProcAddress(dll, "DwmExtendFrameIntoClientArea"));
    api.isCompositionEnabled = reinterpret_cast<DwmApi::IsEnabledFn>(::GetProcAddress(dll, "DwmIsCompositionEnabled"));
    api.enableComposition =
        reinterpret_cast<DwmApi::EnableCompositionFn>(::GetProcAddress(dll, "DwmEnableComposition"));
    api.enableBlurBehindWindow =
        reinterpret_cast<DwmApi::EnableBlurFn>(::GetProcAddress(dll, "DwmEnableBlurBehindWindow"));
    api.available = api.extendFrameIntoClientArea && api.isCompositionEnabled && api.enableComposition &&
                    api.enableBlurBehindWindow;
    return api;
}
}  // namespace

const LxListMessages& RegisterListMessages() {
    if (g_listMessages.hover == 0) {
        g_listMessages.hover = ::RegisterWindowMessageW(kHoverMessage);
        g_listMessages.hoverEnd = ::RegisterWindowMessageW(kHoverEndMessage);
        g_listMessages.leave = ::RegisterWindowMessageW(kLeaveMessage);
    }
    return g_listMessages;
}

const LxListMessages& ListMessages() { return g_listMessages; }

const DwmApi& DwmApi::Get() {
    static const DwmApi api = ProbeDwm();
    return api;
}

bool LxAppModule::Init(HINSTANCE instance) {
    g_instance = instance;
    g_running = true;
    return true;
}

void LxAppModule::Term() { g_running = false; }

HINSTANCE LxAppModule::Instance() { return g_instance ? g_instance : ::GetModuleHandleW(nullptr); }

bool LxAppModule::IsRunning() { return g_running; }

}  // namespace ui
