#include "ui/LxGdi.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>

namespace ui {

namespace {
constexpr WORD kBitsPerPixel = 32;
}

LxDib::LxDib(int width, int height, bool bottomUp)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), bottomUp_(bottomUp) {
    dc_.reset(::CreateCompatibleDC(nullptr));
    if (!dc_ || width_ == 0 || height_ == 0) return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = bottomUp ? height_ : -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = kBitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_ || !bits) return;
    pixels_ = static_cast<uint32_t*>(bits);
    oldBitmap_ = ::SelectObject(dc_.get(), bitmap_.get());
}

LxDib::~LxDib() {
    if (oldBitmap_) ::SelectObject(dc_.get(), oldBitmap_);
}

uint32_t LxDib::At(int x, int y) const noexcept {
    if (!pixels_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    ::GdiFlush();
    const int row = bottomUp_ ? height_ - 1 - y : y;
    return pixels_[static_cast<size_t>(row) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

void LxDib::Fill(uint32_t argb) noexcept {
    if (!pixels_) return;
    ::GdiFlush();
    std::fill(pixels_, pixels_ + static_cast<size_t>(width_) * static_cast<size_t>(height_), argb);
}

bool EnsureGdiplus() {
    static bool started = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    return started;
}

}  // namespace ui
