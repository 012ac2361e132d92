// Small GDI and GDI+ helpers shared by the pools, the elements and the hosts.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/unique_any.h"

namespace ui {

inline int RectWidth(const RECT& r) noexcept { return r.right - r.left; }
inline int RectHeight(const RECT& r) noexcept { return r.bottom - r.top; }
inline bool RectIsEmpty(const RECT& r) noexcept { return r.right <= r.left || r.bottom <= r.top; }

// Selects an object into a device context and puts the previous one back.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(object ? ::SelectObject(dc, object) : nullptr) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() {
        if (old_) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Saves the whole state of a device context (objects, colours, modes, clip)
// and restores it at the end of the scope.
class DcStateGuard {
public:
    explicit DcStateGuard(HDC dc) noexcept : dc_(dc), saved_(::SaveDC(dc)) {}
    DcStateGuard(const DcStateGuard&) = delete;
    DcStateGuard& operator=(const DcStateGuard&) = delete;
    ~DcStateGuard() {
        if (saved_) ::RestoreDC(dc_, saved_);
    }

private:
    HDC dc_;
    int saved_;
};

// A 32-bit device-independent bitmap selected into its own memory device
// context: the canvas elements paint into (the host's back buffer is one).
// Pixels are 0xAARRGGBB words; rows run top-down unless bottomUp is asked.
class LxDib {
public:
    LxDib(int width, int height, bool bottomUp = false);
    LxDib(const LxDib&) = delete;
    LxDib& operator=(const LxDib&) = delete;
    ~LxDib();

    bool ok() const noexcept { return pixels_ != nullptr; }
    HDC dc() const noexcept { return dc_.get(); }
    HBITMAP bitmap() const noexcept { return static_cast<HBITMAP>(bitmap_.get()); }
    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    uint32_t* pixels() const noexcept { return pixels_; }
    // The pixel at (x, y) counted from the top-left corner.
    uint32_t At(int x, int y) const noexcept;
    void Fill(uint32_t argb) noexcept;

private:
    int width_;
    int height_;
    bool bottomUp_;
    uint32_t* pixels_ = nullptr;
    base::unique_gdi_object bitmap_;
    base::unique_hdc dc_;
    HGDIOBJ oldBitmap_ = nullptr;
};

// Starts GDI+ once for the process. It is never shut down: cached objects
// and other libraries may use it until the process ends, which releases it.
bool EnsureGdiplus();

}  // namespace ui
