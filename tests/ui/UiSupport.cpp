#include "UiSupport.h"

#include <cstdlib>

#include <objidl.h>
#include <gdiplus.h>

#include "ScreenShot.h"
#include "base/com_ptr.h"
#include "base/text.h"
#include "ui/elements/LxNotify.h"
#include "ui/pools/LxFontPool.h"
#include "ui/pools/LxImagePool.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxSources.h"
#include "ui/pools/LxStringPool.h"
#include "ui/pools/LxStyle.h"

namespace uitest {

namespace {
void ClearAll() {
    ui::LxSkinPool::Global().Clear();
    ui::LxStylePool::Global().Clear();
    ui::LxStringPool::Global().Clear();
    ui::LxImagePool::Png().Clear();
    ui::LxImagePool::Jpg().Clear();
    ui::LxFontPool::Global().Clear();
    ui::SourceHooks() = ui::LxSourceHooks();
}

std::string Save(Gdiplus::Bitmap& bitmap, const wchar_t* mime) {
    CLSID clsid;
    if (!shots::ImageEncoder(mime, clsid)) return {};
    base::com_ptr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.put()))) return {};
    if (bitmap.Save(stream.get(), &clsid, nullptr) != Gdiplus::Ok) return {};
    HGLOBAL memory = nullptr;
    ::GetHGlobalFromStream(stream.get(), &memory);
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    const void* data = ::GlobalLock(memory);
    std::string bytes(static_cast<const char*>(data), static_cast<size_t>(stat.cbSize.QuadPart));
    ::GlobalUnlock(memory);
    return bytes;
}
}  // namespace

CleanPools::CleanPools() { ClearAll(); }
CleanPools::~CleanPools() { ClearAll(); }

std::vector<uint32_t> Bands(const std::vector<uint32_t>& colors, int bandWidth, int height) {
    const int width = bandWidth * static_cast<int>(colors.size());
    std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels[static_cast<size_t>(y * width + x)] = colors[static_cast<size_t>(x / bandWidth)];
        }
    }
    return pixels;
}

std::string EncodeImage(const std::vector<uint32_t>& argb, int width, int height, bool jpeg) {
    ui::EnsureGdiplus();
    Gdiplus::Bitmap bitmap(width, height, width * 4, PixelFormat32bppARGB,
                           reinterpret_cast<BYTE*>(const_cast<uint32_t*>(argb.data())));
    return Save(bitmap, jpeg ? L"image/jpeg" : L"image/png");
}

ServedSources::ServedSources() {
    ui::SourceHooks().streamProvider = [this](int id, const wchar_t* ext, std::string& bytes) {
        const auto key = std::make_pair(id, std::wstring(ext));
        ++requests_[key];
        auto found = served_.find(key);
        if (found == served_.end()) return false;
        bytes = found->second;
        return true;
    };
}

bool Near(uint32_t pixel, uint32_t expected, int tolerance) {
    return std::abs(Red(pixel) - Red(expected)) <= tolerance && std::abs(Green(pixel) - Green(expected)) <= tolerance &&
           std::abs(Blue(pixel) - Blue(expected)) <= tolerance;
}

Canvas::Canvas(int width, int height, ui::LxHostKind kind, ui::LxMouseRules rules)
    : layout(kind), dib(width, height), router(host, rules) {
    constexpr int kThreeSliceImage = 901;
    constexpr int kRedImage = 902;
    constexpr int kBlueImage = 903;
    served.Add(kThreeSliceImage, L"png", EncodeImage(Bands({kRed, kGreen, kBlue}, 4, 4), 12, 4));
    served.Add(kRedImage, L"png", EncodeImage(Bands({kRed}, 4, 4), 4, 4));
    served.Add(kBlueImage, L"png", EncodeImage(Bands({kBlue}, 4, 4), 4, 4));
    Skins("<png name='three' src='901' subwidth='4'/><png name='red' src='902'/><png name='blue' src='903'/>"
          "<png name='gone' src='899'/>");
}

void Canvas::LoadLayer(const std::string& xml) {
    ASSERT_TRUE(layout.LoadLayout(xml));
    layout.Arrange({0, 0, dib.width(), dib.height()});
    router.SetRoots(layout.Header(), layout.Body(), layout.Footer());
}

ui::CLxWindow& Canvas::operator[](int id) {
    ui::CLxWindow* element = layout.FindChildById(id);
    EXPECT_NE(element, nullptr) << id;
    return element ? *element : *layout.Body();
}

std::string Utf8(const std::wstring& text) { return base::WideToUtf8(text); }

std::string N(UINT code, int id, const char* cls) {
    return std::to_string(code) + ":" + std::to_string(id) + (cls && *cls ? std::string(":") + cls : "");
}

std::vector<std::string> RecordingHost::Notifications() const {
    std::vector<std::string> out;
    for (const HostCall& c : calls) {
        if (c.what == "notify") out.push_back(N(static_cast<UINT>(c.code), c.id, c.text.c_str()));
    }
    return out;
}

int RecordingHost::Count(const std::string& what) const {
    int n = 0;
    for (const HostCall& c : calls) n += c.what == what ? 1 : 0;
    return n;
}

POINT Centre(const ui::CLxWindow& element) {
    const RECT& r = element.Rect();
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

namespace {
constexpr wchar_t kBackdropClass[] = L"HostTestBackdrop";
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

}  // namespace uitest
