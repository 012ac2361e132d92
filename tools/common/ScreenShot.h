// Screenshots for the tools: a rectangle of the screen read back through GDI
// (xwd sees only black under Xvfb with Wine) and written as a PNG file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace shots {

// Pixels as 0xRRGGBB, rows from the top.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    bool empty() const { return pixels.empty(); }
    uint32_t At(POINT at) const { return pixels[static_cast<size_t>(at.y) * static_cast<size_t>(width) + at.x]; }
    bool operator==(const Frame& other) const {
        return width == other.width && height == other.height && pixels == other.pixels;
    }
    bool operator!=(const Frame& other) const { return !(*this == other); }
};

// The GDI+ encoder of a MIME type ("image/png", "image/jpeg"); GDI+ must be started.
bool ImageEncoder(const wchar_t* mime, CLSID& clsid);
// What the screen shows inside `area` (in screen coordinates); empty on failure.
Frame CaptureScreen(const RECT& area);
// An opaque RGB PNG file.
bool SavePng(const Frame& frame, const std::wstring& path);

}  // namespace shots
