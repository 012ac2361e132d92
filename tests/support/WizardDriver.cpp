#include "support/WizardDriver.h"

#include <cstdlib>
#include <vector>

#include "base/unique_any.h"
#include "support/FileSystemSupport.h"

namespace wizard_driver {

namespace {

struct Search {
    DWORD pid;
    SIZE size;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    RECT client = {};
    if (pid != search->pid || !::IsWindowVisible(window) || ::IsIconic(window) || !::GetClientRect(window, &client)) {
        return TRUE;
    }
    if (client.right != search->size.cx || client.bottom != search->size.cy) return TRUE;
    search->found = window;
    return FALSE;
}

POINT ToScreen(HWND window, POINT client) {
    ::ClientToScreen(window, &client);
    return client;
}

// One screen row as 0xRRGGBB values.
std::vector<uint32_t> ScreenRow(POINT start, int length) {
    std::vector<uint32_t> row(static_cast<size_t>(length));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = length;
    info.bmiHeader.biHeight = -1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    base::unique_gdi_object dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    base::unique_hdc memory(::CreateCompatibleDC(nullptr));
    if (!dib || !memory) return row;
    HGDIOBJ previous = ::SelectObject(memory.get(), dib.get());
    HDC screen = ::GetDC(nullptr);
    ::BitBlt(memory.get(), 0, 0, length, 1, screen, start.x, start.y, SRCCOPY);
    ::ReleaseDC(nullptr, screen);
    ::GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    for (int i = 0; i < length; ++i) row[static_cast<size_t>(i)] = pixels[i] & 0xFFFFFF;
    ::SelectObject(memory.get(), previous);
    return row;
}

}  // namespace

HWND WaitForWindow(DWORD pid, SIZE size, DWORD timeoutMs) {
    Search search = {pid, size, nullptr};
    testing_support::WaitUntil(
        [&] {
            ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

HWND BoxView(HWND box) { return ::GetDlgItem(box, static_cast<int>(kBoxViewId)); }

void Click(HWND window, POINT client) {
    const POINT screen = ToScreen(window, client);
    ::SetCursorPos(screen.x, screen.y);
    const LPARAM at = MAKELPARAM(client.x, client.y);
    ::PostMessageW(window, WM_MOUSEMOVE, 0, at);
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(window, WM_LBUTTONUP, 0, at);
}

void PressKey(HWND window, WPARAM key) {
    ::PostMessageW(window, WM_KEYDOWN, key, 1);
    ::PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

void PostClose(HWND window) { ::PostMessageW(window, WM_CLOSE, 0, 0); }

bool WaitMinimised(HWND window, DWORD timeoutMs) {
    return testing_support::WaitUntil([&] { return ::IsIconic(window) != FALSE; }, timeoutMs);
}

bool Restore(HWND window, DWORD timeoutMs) {
    ::PostMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    return testing_support::WaitUntil([&] { return !::IsIconic(window) && ::IsWindowVisible(window); }, timeoutMs);
}

uint32_t ClientPixel(HWND window, POINT client) { return ScreenRow(ToScreen(window, client), 1)[0]; }

int ProgressFill(HWND wizard) {
    int filled = 0;
    for (uint32_t pixel : ScreenRow(ToScreen(wizard, kProgressBarStart), kProgressBarLength)) {
        if (NearColour(pixel, kProgressFillColour)) ++filled;
    }
    return filled;
}

bool NearColour(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance) return false;
    }
    return true;
}

}  // namespace wizard_driver
