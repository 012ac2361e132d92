// bench_startup_helper.exe: the start-up benchmark's (bench/startup.sh) helper.
//   clocks      prints "TRACE_MS REALTIME_NS": the clock of Wine's +timestamp
//               trace (the performance counter, in ms) and the wall clock (ns
//               since 1970), read together, so that the script can place a
//               process start it took with `date` on the trace's time line.
//   hold NAME   holds the named four-byte section that marks a running
//               uninstaller until its standard input closes; prints "held"
//               once the section exists.
//   desktop     keeps a one-pixel window on the screen until its standard
//               input closes: Wine's desktop process, which every window
//               needs, would otherwise end between the timed starts and start
//               again inside the next one (a signed-in session always has its
//               shell running); prints "shown" once the window is up.
//   click W H X Y [CHILD]
//               waits for a shown top-level window with a client area of W x H
//               (the first-frame benchmark's only windows of that size) and
//               clicks at client point (X, Y), of its child window with
//               control id CHILD when given, as a person does; prints
//               "clicked", or fails when no such window appears.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "base/unique_any.h"

namespace {
constexpr DWORD kSectionBytes = 4;
constexpr double kMillisecondsPerSecond = 1000.0;
constexpr unsigned long long kUnixEpochAsFileTime = 116444736000000000ULL;  // 1970-01-01 in 100 ns units
constexpr unsigned long long kNanosecondsPerFileTimeUnit = 100;
constexpr DWORD kWindowWaitMs = 15000;
constexpr DWORD kWindowPollMs = 20;
constexpr int kDecimal = 10;

struct WindowSearch {
    SIZE size;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    RECT client = {};
    if (!::IsWindowVisible(window) || ::IsIconic(window) || !::GetClientRect(window, &client)) return TRUE;
    if (client.right != search->size.cx || client.bottom != search->size.cy) return TRUE;
    search->found = window;
    return FALSE;
}

DWORD WINAPI QuitWhenInputCloses(void* thread) {
    char buffer[64];
    DWORD read = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    }
    ::PostThreadMessageW(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(thread)), WM_QUIT, 0, 0);
    return 0;
}

int HoldDesktop() {
    base::unique_hwnd window(::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1,
                                               nullptr, nullptr, nullptr, nullptr));
    if (!window) return 1;
    ::ShowWindow(window.get(), SW_SHOWNOACTIVATE);
    const auto self = reinterpret_cast<void*>(static_cast<UINT_PTR>(::GetCurrentThreadId()));
    base::unique_handle reader(::CreateThread(nullptr, 0, QuitWhenInputCloses, self, 0, nullptr));
    if (!reader) return 1;
    std::puts("shown");
    std::fflush(stdout);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}

int Click(wchar_t** args, int count) {
    int numbers[5] = {0, 0, 0, 0, -1};  // W H X Y CHILD
    for (int i = 0; i < count; ++i) numbers[i] = static_cast<int>(std::wcstol(args[i], nullptr, kDecimal));
    WindowSearch search = {{numbers[0], numbers[1]}, nullptr};
    const DWORD start = ::GetTickCount();
    for (;;) {
        ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) break;
        if (::GetTickCount() - start >= kWindowWaitMs) {
            std::fputs("no such window\n", stderr);
            return 1;
        }
        ::Sleep(kWindowPollMs);
    }
    HWND target = numbers[4] < 0 ? search.found : ::GetDlgItem(search.found, numbers[4]);
    if (target == nullptr) {
        std::fputs("no such child window\n", stderr);
        return 1;
    }
    POINT screen = {numbers[2], numbers[3]};
    ::ClientToScreen(target, &screen);
    ::SetCursorPos(screen.x, screen.y);
    const LPARAM at = MAKELPARAM(numbers[2], numbers[3]);
    ::PostMessageW(target, WM_MOUSEMOVE, 0, at);
    ::PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(target, WM_LBUTTONUP, 0, at);
    std::puts("clicked");
    return 0;
}

int PrintClocks() {
    LARGE_INTEGER frequency, counter;
    FILETIME now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    ::GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long units = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    std::printf("%.4f %llu\n", static_cast<double>(counter.QuadPart) * kMillisecondsPerSecond / frequency.QuadPart,
                (units - kUnixEpochAsFileTime) * kNanosecondsPerFileTimeUnit);
    return 0;
}

int HoldSection(const wchar_t* name) {
    base::unique_handle section(
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSectionBytes, name));
    if (!section) return 1;
    std::puts("held");
    std::fflush(stdout);
    char buffer[64];
    DWORD read = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    }
    return 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"clocks") == 0) return PrintClocks();
    if (argc == 3 && std::wcscmp(argv[1], L"hold") == 0) return HoldSection(argv[2]);
    if (argc == 2 && std::wcscmp(argv[1], L"desktop") == 0) return HoldDesktop();
    if ((argc == 6 || argc == 7) && std::wcscmp(argv[1], L"click") == 0) return Click(argv + 2, argc - 2);
    std::fputs("usage: bench_startup_helper.exe clocks | hold NAME | desktop | click W H X Y [CHILD]\n", stderr);
    return 2;
}
