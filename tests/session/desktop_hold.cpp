// Holds the prefix's desktop for a whole test session. Wine ends its desktop
// process (explorer.exe) shortly after the last program attached to the desktop
// has gone, and starts it again inside the next windowed program: that program
// then pays for the start, and tests that look for the shell's process (as a
// signed-in Windows session always has it) find none. One hidden window keeps
// this process attached; it ends with the session's wineserver.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    instance, nullptr);
    if (!window) return 1;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    return 0;
}
