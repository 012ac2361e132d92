// Stand-in for the viewer's main window: a top-level window of the viewer's
// class that closes when the uninstaller sends it the close message.
//
//   lumenox_viewer.exe [--show] [--ignore-close] [--windows N] [--ms N]
//
// Appends to "lumenox_viewer.log" (see CompanionLog.h): "opened <n>" once all
// windows exist, "closed by 0x472" for each window closed by the message,
// "ignored 0x472" in --ignore-close mode. --windows opens N windows (default 1);
// the process exits when the last one is gone. As a safety net it exits on its
// own after --ms milliseconds (default two minutes).
// --show maps the windows on the screen.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "../common/CompanionLog.h"

namespace {

constexpr wchar_t kViewerClassName[] = L"Lumenox_{CAC78C77-BC1C-456d-A26A-57E1B59B18CC}";
constexpr UINT kCloseViewerMessage = 0x472;
constexpr wchar_t kLogName[] = L"lumenox_viewer.log";
constexpr DWORD kDefaultLifetimeMs = 120 * 1000;
constexpr UINT_PTR kLifetimeTimer = 1;
constexpr int kWindowWidth = 320;
constexpr int kWindowHeight = 200;

bool g_ignoreClose = false;
int g_openWindows = 0;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kCloseViewerMessage:
        if (g_ignoreClose) {
            companion::AppendLogLine(nullptr, kLogName, L"ignored 0x472");
            return 0;
        }
        companion::AppendLogLine(nullptr, kLogName, L"closed by 0x472");
        ::DestroyWindow(window);
        return 0;
    case WM_TIMER:
        if (wParam == kLifetimeTimer) ::PostQuitMessage(0);
        return 0;
    case WM_DESTROY:
        if (--g_openWindows == 0) ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int windows = 1;
    bool show = false;
    DWORD lifetimeMs = kDefaultLifetimeMs;
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--show") {
            show = true;
        } else if (arg == L"--ignore-close") {
            g_ignoreClose = true;
        } else if (arg == L"--windows" && i + 1 < argc) {
            windows = static_cast<int>(std::wcstol(argv[++i], nullptr, 10));
        } else if (arg == L"--ms" && i + 1 < argc) {
            lifetimeMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        }
    }
    if (argv != nullptr) ::LocalFree(argv);
    if (windows < 1) windows = 1;

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kViewerClassName;
    if (!::RegisterClassExW(&wc)) return 1;

    HWND first = nullptr;
    for (int i = 0; i < windows; ++i) {
        HWND window = ::CreateWindowExW(0, kViewerClassName, L"Lumenox", WS_OVERLAPPEDWINDOW,
                                        CW_USEDEFAULT, CW_USEDEFAULT, kWindowWidth, kWindowHeight,
                                        nullptr, nullptr, instance, nullptr);
        if (window == nullptr) return 1;
        if (first == nullptr) first = window;
        ++g_openWindows;
        // Shown only on request: under Xvfb without a window manager, Wine waits
        // about two seconds for a shown window to be withdrawn when it is destroyed.
        if (show) ::ShowWindow(window, SW_SHOWNOACTIVATE);
    }
    ::SetTimer(first, kLifetimeTimer, lifetimeMs, nullptr);
    companion::AppendLogLine(nullptr, kLogName, L"opened " + std::to_wstring(windows));

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
