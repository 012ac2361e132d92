#include "ui/pools/LxImagePool.h"

#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>

#include "base/com_ptr.h"
#include "ui/LxGdi.h"
#include "ui/pools/LxSources.h"

namespace ui {

namespace {
constexpr WORD kBitsPerPixel = 32;
// Images beyond this edge length are refused: no skin is that large and the
// DIB would take gigabytes.
constexpr UINT kMaxImageEdge = 16384;
}  // namespace

std::unique_ptr<LxImage> MakeImage(int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    auto image = std::make_unique<LxImage>();
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = kBitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    image->bitmap.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!image->bitmap || !bits) return nullptr;
    image->pixels = static_cast<uint32_t*>(bits);
    image->width = width;
    image->height = height;
    return image;
}

std::unique_ptr<LxImage> DecodeImage(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > UINT_MAX || !EnsureGdiplus()) return nullptr;
    base::com_ptr<IStream> stream(
        ::SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size())));
    if (!stream) return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromStream(stream.get()));
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
    const UINT width = bitmap->GetWidth();
    const UINT height = bitmap->GetHeight();
    if (width == 0 || height == 0 || width > kMaxImageEdge || height > kMaxImageEdge) return nullptr;
    auto image = MakeImage(static_cast<int>(width), static_cast<int>(height));
    if (!image) return nullptr;
    Gdiplus::Rect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data = {};
    data.Width = width;
    data.Height = height;
    data.Stride = static_cast<INT>(width * sizeof(uint32_t));
    data.PixelFormat = PixelFormat32bppPARGB;
    data.Scan0 = image->pixels;
    // Decodes straight into the DIB's pixels, converted to premultiplied alpha.
    if (bitmap->LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                         PixelFormat32bppPARGB, &data) != Gdiplus::Ok) {
        return nullptr;
    }
    bitmap->UnlockBits(&data);
    return image;
}

LxImagePool& LxImagePool::Png() {
    static LxImagePool pool(LxImageKind::Png);
    return pool;
}

LxImagePool& LxImagePool::Jpg() {
    static LxImagePool pool(LxImageKind::Jpg);
    return pool;
}

const LxImage* LxImagePool::Get(int id) {
    std::lock_guard<std::mutex> guard(lock_);
    auto found = images_.find(id);
    if (found != images_.end()) return found->second.get();
    std::string bytes;
    const bool png = kind_ == LxImageKind::Png;
    std::unique_ptr<LxImage> image;
    if (FindImageBytes(id, png ? L"png" : L"jpg", png ? kPngResourceType : kJpgResourceType, bytes)) {
        image = DecodeImage(bytes);
        if (image) ++decoded_;
    }
    return images_.emplace(id, std::move(image)).first->second.get();
}

const LxImage* LxImagePool::GetFile(const std::wstring& path) {
    std::lock_guard<std::mutex> guard(lock_);
    auto found = files_.find(path);
    if (found != files_.end()) return found->second.get();
    std::string bytes;
    std::unique_ptr<LxImage> image;
    if (ReadFileBytes(path, bytes)) {
        image = DecodeImage(bytes);
        if (image) ++decoded_;
    }
    return files_.emplace(path, std::move(image)).first->second.get();
}

void LxImagePool::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    images_.clear();
    files_.clear();
    decoded_ = 0;
}

}  // namespace ui
