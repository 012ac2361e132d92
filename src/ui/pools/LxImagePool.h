// Decoded images of the skins, cached by resource identifier: each image is
// decoded once (GDI+) into a 32-bit premultiplied DIB that GDI can blend.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "base/unique_any.h"

namespace ui {

struct LxImage {
    base::unique_gdi_object bitmap;  // top-down 32-bit DIB section, premultiplied alpha
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
};

// Decodes PNG or JPEG bytes; null when GDI+ cannot read them.
std::unique_ptr<LxImage> DecodeImage(std::string_view bytes);
// An empty image of the given size (all pixels 0).
std::unique_ptr<LxImage> MakeImage(int width, int height);

enum class LxImageKind { Png, Jpg };

// LxPngPool and LxJpgPool: identifier to decoded image, filled on first use.
// An identifier without a source is remembered as missing, so painting does
// not look for it again.
class LxImagePool {
public:
    static LxImagePool& Png();
    static LxImagePool& Jpg();

    explicit LxImagePool(LxImageKind kind) : kind_(kind) {}
    const LxImage* Get(int id);
    // A pre-scaled image file, cached by its path.
    const LxImage* GetFile(const std::wstring& path);
    // How many images this pool has decoded since it was made or cleared.
    size_t DecodedCount() const { return decoded_; }
    void Clear();

private:
    LxImageKind kind_;
    std::mutex lock_;
    std::map<int, std::unique_ptr<LxImage>> images_;
    std::map<std::wstring, std::unique_ptr<LxImage>> files_;
    size_t decoded_ = 0;
};

}  // namespace ui
