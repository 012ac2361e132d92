#include "ScreenShot.h"

// GDI+ needs the COM declarations first.
#include <gdiplus.h>
#include <objidl.h>

#include "ui/LxGdi.h"

namespace shots {

namespace {

constexpr uint32_t kRgbMask = 0xFFFFFF;
constexpr uint32_t kOpaque = 0xFF000000;
constexpr int kBytesPerPixel = 4;
constexpr wchar_t kPngMime[] = L"image/png";

}  // namespace

bool ImageEncoder(const wchar_t* mime, CLSID& clsid) {
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == mime) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

Frame CaptureScreen(const RECT& area) {
    Frame frame;
    const int w = ui::RectWidth(area);
    const int h = ui::RectHeight(area);
    if (w <= 0 || h <= 0) return frame;
    ui::LxDib shot(w, h);
    if (!shot.ok()) return frame;
    HDC screen = ::GetDC(nullptr);
    const BOOL copied = ::BitBlt(shot.dc(), 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
    ::ReleaseDC(nullptr, screen);
    if (!copied) return frame;
    ::GdiFlush();
    frame.width = w;
    frame.height = h;
    frame.pixels.assign(shot.pixels(), shot.pixels() + static_cast<size_t>(w) * static_cast<size_t>(h));
    for (uint32_t& pixel : frame.pixels) pixel &= kRgbMask;
    return frame;
}

bool SavePng(const Frame& frame, const std::wstring& path) {
    CLSID png;
    if (frame.empty() || !ui::EnsureGdiplus() || !ImageEncoder(kPngMime, png)) return false;
    std::vector<uint32_t> argb(frame.pixels);
    for (uint32_t& pixel : argb) pixel |= kOpaque;
    Gdiplus::Bitmap bitmap(frame.width, frame.height, frame.width * kBytesPerPixel, PixelFormat32bppRGB,
                           reinterpret_cast<BYTE*>(argb.data()));
    return bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

}  // namespace shots
