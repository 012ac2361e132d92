// The drop shadow of a top-level host: a click-through layered window that
// follows its owner, sits behind it and shows a soft frame S pixels wide
// around it. The owner relays its messages (OnOwnerMessage); the frame comes
// from an IShadowPaintHook or, by default, from the nine-grid skin
// "dlg_shadow" (no such skin: a fully transparent shadow).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "base/unique_any.h"

namespace ui {

constexpr char kDefaultShadowSkin[] = "dlg_shadow";
constexpr int kDefaultShadowSize = 4;
constexpr wchar_t kShadowWindowClass[] = L"LxShadowWndClass";

class IShadowPaintHook {
public:
    // Paints the shadow into `dc` (a 32-bit premultiplied bitmap, transparent
    // at first) over `rect`, from (0, 0) to the shadow's size. Returns 0 when
    // it painted, nonzero to let the default painter run.
    virtual int PaintShadow(HDC dc, const RECT& rect) = 0;

protected:
    ~IShadowPaintHook() = default;
};

// Draws a shadow frame from a skin image: its four srcCorner-square corners
// into the four dstCorner-square corners of `rect`, its one-pixel-wide middle
// strips stretched along the edges between them. The middle of `rect` is
// left alone, so the frame never covers its owner. False when the skin is
// missing or has no image.
bool DrawShadowFrame(HDC dc, const RECT& rect, std::string_view skin, int srcCorner, int dstCorner);
// The default painter: "dlg_shadow" with corners of k = (skin width - 2) / 2.
bool PaintDefaultShadow(HDC dc, const RECT& rect);

class CShadowWnd {
public:
    CShadowWnd() = default;
    CShadowWnd(const CShadowWnd&) = delete;
    CShadowWnd& operator=(const CShadowWnd&) = delete;

    // Creates the (hidden) shadow window, owned by `owner`.
    bool Create(HWND owner);
    // The owner's messages: show, destroy, move, settings change, size,
    // paint, sizing and the end of a size/move loop.
    void OnOwnerMessage(HWND owner, UINT message, WPARAM wParam, LPARAM lParam);
    // Shown when the owner is visible and not minimised (rendered afresh),
    // else hidden.
    void Update(HWND owner);

    void SetSize(int size) { size_ = size < 0 ? 0 : size; }
    int Size() const { return size_; }
    void SetPaintHook(IShadowPaintHook* hook) { hook_ = hook; }
    HWND Window() const { return window_.get(); }
    bool Created() const { return created_; }
    bool IsShown() const { return (status_ & kShown) != 0; }
    bool IsSizing() const { return sizing_; }
    // How often the frame was rendered (for tests and the bench).
    unsigned Renders() const { return renders_; }

private:
    static constexpr uint32_t kEnabled = 1;
    static constexpr uint32_t kShown = 2;
    static constexpr uint32_t kOwnerVisible = 4;

    void Reposition();
    void Render();
    void ShowBehindOwner();
    void Hide();

    HWND owner_ = nullptr;
    base::unique_hwnd window_;
    bool sizing_ = false;
    bool created_ = false;
    int size_ = kDefaultShadowSize;
    uint32_t status_ = 0;
    SIZE lastSize_ = {};
    bool needsRender_ = false;
    IShadowPaintHook* hook_ = nullptr;
    unsigned renders_ = 0;
};

}  // namespace ui
