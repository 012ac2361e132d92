// bench_empty_window.exe: the second baseline of the first-frame benchmark
// (bench/first-frame.sh), built as bench_empty_gui.exe is. It shows one layered
// window of the wizard's size, presents a blank buffer into it once (marking
// "bench: window first frame" in a trace) and exits: what any program pays
// under Wine for the first frame of such a window (the window-system and
// display-driver set-up that the empty program never needs).
#include <windows.h>

#include "../BenchCommon.h"
#include "base/unique_any.h"

namespace {

using bench::kWizardHeight;
using bench::kWizardWidth;
constexpr BYTE kOpaque = 255;
constexpr WORD kBitsPerPixel = 32;
constexpr wchar_t kClassName[] = L"bench_empty_window";

int ShowOneFrame(HINSTANCE instance) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    if (!::RegisterClassExW(&wc)) return 1;
    base::unique_hwnd window(::CreateWindowExW(WS_EX_LAYERED, kClassName, L"", WS_POPUP, 0, 0, kWizardWidth,
                                               kWizardHeight, nullptr, nullptr, instance, nullptr));
    if (!window) return 1;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kWizardWidth;
    info.bmiHeader.biHeight = kWizardHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = kBitsPerPixel;
    void* bits = nullptr;
    base::unique_hdc memory(::CreateCompatibleDC(nullptr));
    base::unique_gdi_object buffer(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !buffer) return 1;
    const HGDIOBJ previous = ::SelectObject(memory.get(), buffer.get());
    ::ShowWindow(window.get(), SW_SHOWNORMAL);
    POINT position = {0, 0};
    SIZE size = {kWizardWidth, kWizardHeight};
    POINT origin = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, kOpaque, AC_SRC_ALPHA};
    ::UpdateLayeredWindow(window.get(), nullptr, &position, &size, memory.get(), &origin, 0, &blend, ULW_ALPHA);
    ::OutputDebugStringA("bench: window first frame\n");
    ::SelectObject(memory.get(), previous);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return ShowOneFrame(instance); }
