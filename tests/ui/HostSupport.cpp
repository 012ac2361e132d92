#include "HostSupport.h"

namespace hosttest {

namespace {
constexpr wchar_t kBackdropClass[] = L"HostTestBackdrop";
// The GDI handle table the process environment block points to: 24-byte
// entries (object, owner process id, unique, type, flags, user pointer). A
// 32-bit process on a 64-bit system finds it in the 64-bit block, through
// the offset its thread block keeps to the 64-bit one.
constexpr size_t kPeb64GdiTable = 0xF8;
constexpr size_t kTeb64Peb = 0x60;
constexpr size_t kTeb32WowOffset = 0xFDC;
constexpr size_t kGdiEntrySize = 24;
constexpr size_t kGdiEntryPid = 8;
constexpr size_t kGdiEntryType = 14;
constexpr size_t kGdiTableEntries = 0x10000;

LRESULT CALLBACK BackdropProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(hwnd, &paint);
        const auto rgb = static_cast<uint32_t>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        base::unique_gdi_object brush(::CreateSolidBrush(RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF)));
        ::FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(brush.get()));
        ::EndPaint(hwnd, &paint);
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

const BYTE* GdiTable() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
#ifdef _WIN64
    using GetPebFn = void*(WINAPI*)();
    const auto getPeb = reinterpret_cast<GetPebFn>(::GetProcAddress(ntdll, "RtlGetCurrentPeb"));
    const auto* peb = getPeb ? static_cast<const BYTE*>(getPeb()) : nullptr;
    return peb ? *reinterpret_cast<const BYTE* const*>(peb + kPeb64GdiTable) : nullptr;
#else
    using GetTebFn = void*(WINAPI*)();
    const auto getTeb = reinterpret_cast<GetTebFn>(::GetProcAddress(ntdll, "NtCurrentTeb"));
    const auto* teb = getTeb ? static_cast<const BYTE*>(getTeb()) : nullptr;
    const LONG offset = teb ? *reinterpret_cast<const LONG*>(teb + kTeb32WowOffset) : 0;
    if (offset == 0) return nullptr;
    const uint64_t peb = *reinterpret_cast<const uint64_t*>(teb + offset + kTeb64Peb);
    if (peb == 0 || peb > UINT32_MAX) return nullptr;
    const uint64_t table = *reinterpret_cast<const uint64_t*>(static_cast<uintptr_t>(peb) + kPeb64GdiTable);
    return table && table <= UINT32_MAX ? reinterpret_cast<const BYTE*>(static_cast<uintptr_t>(table)) : nullptr;
#endif
}

size_t GdiTableCount() {
    const BYTE* table = GdiTable();
    if (!table) return 0;
    const USHORT self = static_cast<USHORT>(::GetCurrentProcessId());
    size_t count = 0;
    for (size_t i = 0; i < kGdiTableEntries; ++i) {
        const BYTE* entry = table + i * kGdiEntrySize;
        const USHORT pid = *reinterpret_cast<const USHORT*>(entry + kGdiEntryPid);
        // Wine's table is the process's own and leaves the owner empty.
        if (entry[kGdiEntryType] != 0 && (pid == 0 || pid == self)) ++count;
    }
    return count;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}

BOOL CALLBACK CountTop(HWND hwnd, LPARAM count) {
    ++*reinterpret_cast<size_t*>(count);
    ::EnumChildWindows(hwnd, CountChild, count);
    return TRUE;
}
}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

uint32_t ScreenPixel(POINT screen) {
    HDC dc = ::GetDC(nullptr);
    const COLORREF c = ::GetPixel(dc, screen.x, screen.y);
    ::ReleaseDC(nullptr, dc);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

uint32_t WaitForPixel(POINT screen, uint32_t want, DWORD timeoutMs) {
    uint32_t seen = 0;
    PumpUntil([&] { return (seen = ScreenPixel(screen)) == want; }, timeoutMs);
    return seen;
}

size_t GdiObjects() {
    const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    return counted ? counted : GdiTableCount();
}

size_t UserObjects() {
    const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    if (counted) return counted;
    size_t count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountTop, reinterpret_cast<LPARAM>(&count));
    return count;
}

Backdrop::Backdrop(const RECT& screen, uint32_t rgb) {
    static const ATOM atom = [] {
        WNDCLASSW info = {};
        info.lpfnWndProc = BackdropProc;
        info.hInstance = ::GetModuleHandleW(nullptr);
        info.lpszClassName = kBackdropClass;
        return ::RegisterClassW(&info);
    }();
    (void)atom;
    window_.reset(::CreateWindowExW(0, kBackdropClass, L"", WS_POPUP, screen.left, screen.top,
                                    screen.right - screen.left, screen.bottom - screen.top, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr));
    ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, static_cast<LONG_PTR>(rgb));
    ::ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
    ::UpdateWindow(window_.get());
}

bool Recording::Clicked(int32_t id) const {
    for (const Notice& n : notices) {
        if (n.code == ui::LXNM_CLICK && n.id == id) return true;
    }
    return false;
}

bool Open(ui::CLxDialogViewImpl& host, POINT origin) {
    const RECT place = {origin.x, origin.y, origin.x + 1, origin.y + 1};
    if (!host.Create(nullptr, &place)) return false;
    ::ShowWindow(host.hwnd(), SW_SHOW);
    ::UpdateWindow(host.hwnd());
    return PumpUntil([&] { return host.PaintStats().renders > 0; });
}

bool Open(ui::CLxDialogImpl& dialog, POINT origin) {
    if (!dialog.Create(nullptr)) return false;
    ::SetWindowPos(dialog.hwnd(), nullptr, origin.x, origin.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(dialog.hwnd(), SW_SHOW);
    ::UpdateWindow(dialog.hwnd());
    return PumpUntil([&] { return dialog.View().PaintStats().renders > 0; });
}

POINT ScreenCentre(const ui::CLxDialogViewImpl& host, int id) {
    POINT p = uitest::Centre(*host.FindChildById(id));
    ::ClientToScreen(host.hwnd(), &p);
    return p;
}

void PostMouse(const ui::CLxDialogViewImpl& host, UINT message, POINT client) {
    POINT screen = client;
    ::ClientToScreen(host.hwnd(), &screen);
    ::SetCursorPos(screen.x, screen.y);
    const WPARAM keys = message == WM_LBUTTONDOWN ? MK_LBUTTON : 0;
    ::PostMessageW(host.hwnd(), message, keys, MAKELPARAM(client.x, client.y));
}

}  // namespace hosttest
