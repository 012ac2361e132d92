#include "ui/host/LxShadowWnd.h"

#include <algorithm>

#include "ui/LxApp.h"
#include "ui/LxGdi.h"
#include "ui/pools/LxSkinPool.h"

namespace ui {

namespace {
constexpr UINT kShadowClassStyle = CS_VREDRAW | CS_HREDRAW;
constexpr DWORD kShadowExStyle = WS_EX_LAYERED | WS_EX_TRANSPARENT;
constexpr DWORD kShadowStyle = WS_POPUP | WS_BORDER | WS_SYSMENU;
constexpr BYTE kOpaque = 255;
// Settings changes that move the work area.
constexpr WPARAM kWorkAreaChanges[] = {SPI_SETWORKAREA, SPI_ICONVERTICALSPACING, 0};

ATOM RegisterShadowClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW info = {};
        info.cbSize = sizeof(info);
        info.style = kShadowClassStyle;
        info.lpfnWndProc = ::DefWindowProcW;
        info.hInstance = LxAppModule::Instance();
        info.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        info.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        info.lpszClassName = kShadowWindowClass;
        const ATOM registered = ::RegisterClassExW(&info);
        return registered ? registered
                          : static_cast<ATOM>(::GetClassInfoExW(info.hInstance, kShadowWindowClass, &info));
    }();
    return atom;
}

void Blend(HDC dc, HDC source, const RECT& dst, const RECT& src) {
    if (RectIsEmpty(dst) || RectIsEmpty(src)) return;
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, kOpaque, AC_SRC_ALPHA};
    ::GdiAlphaBlend(dc, dst.left, dst.top, RectWidth(dst), RectHeight(dst), source, src.left, src.top, RectWidth(src),
                    RectHeight(src), blend);
}

const LxImage* SkinImage(std::string_view name) {
    auto* skin = dynamic_cast<CLxBitmapSkin*>(LxSkinPool::Global().GetSkin(name));
    const LxImage* image = skin ? skin->Image() : nullptr;
    return image && image->width > 0 && image->height > 0 ? image : nullptr;
}
}  // namespace

bool DrawShadowFrame(HDC dc, const RECT& rect, std::string_view skin, int srcCorner, int dstCorner) {
    const LxImage* image = SkinImage(skin);
    if (!image) return false;
    const int w = image->width;
    const int h = image->height;
    // The source keeps a one-pixel strip between its corners.
    const int c = std::max(0, std::min({srcCorner, (w - 1) / 2, (h - 1) / 2}));
    const int W = RectWidth(rect);
    const int H = RectHeight(rect);
    const int d = std::max(0, std::min({dstCorner, W / 2, H / 2}));
    base::unique_hdc source(::CreateCompatibleDC(dc));
    if (!source) return false;
    SelectGuard select(source.get(), image->bitmap.get());
    const LONG x0 = rect.left;
    const LONG y0 = rect.top;
    const LONG x1 = rect.right;
    const LONG y1 = rect.bottom;
    const struct {
        RECT src;
        RECT dst;
    } pieces[] = {
        {{0, 0, c, c}, {x0, y0, x0 + d, y0 + d}},              // top-left corner
        {{w - c, 0, w, c}, {x1 - d, y0, x1, y0 + d}},          // top-right corner
        {{0, h - c, c, h}, {x0, y1 - d, x0 + d, y1}},          // bottom-left corner
        {{w - c, h - c, w, h}, {x1 - d, y1 - d, x1, y1}},      // bottom-right corner
        {{c, 0, c + 1, c}, {x0 + d, y0, x1 - d, y0 + d}},      // top edge
        {{c, h - c, c + 1, h}, {x0 + d, y1 - d, x1 - d, y1}},  // bottom edge
        {{0, c, c, c + 1}, {x0, y0 + d, x0 + d, y1 - d}},      // left edge
        {{w - c, c, w, c + 1}, {x1 - d, y0 + d, x1, y1 - d}},  // right edge
    };
    for (const auto& piece : pieces) Blend(dc, source.get(), piece.dst, piece.src);
    return true;
}

bool PaintDefaultShadow(HDC dc, const RECT& rect) {
    const LxImage* image = SkinImage(kDefaultShadowSkin);
    if (!image) return false;
    const int k = (image->width - 2) / 2;
    return DrawShadowFrame(dc, rect, kDefaultShadowSkin, k, k);
}

bool CShadowWnd::Create(HWND owner) {
    if (created_ || !owner || !RegisterShadowClass()) return false;
    window_.reset(::CreateWindowExW(kShadowExStyle, kShadowWindowClass, L"", kShadowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                    0, 0, owner, nullptr, LxAppModule::Instance(), nullptr));
    if (!window_) return false;
    owner_ = owner;
    created_ = true;
    status_ = kEnabled;
    return true;
}

void CShadowWnd::OnOwnerMessage(HWND owner, UINT message, WPARAM wParam, LPARAM) {
    if (!created_ || owner != owner_) return;
    switch (message) {
        case WM_SHOWWINDOW:
            if (!wParam && (status_ & kEnabled)) {
                Hide();
                status_ &= ~kOwnerVisible;
            }
            break;
        case WM_DESTROY:
            Hide();
            window_.reset();
            owner_ = nullptr;
            created_ = false;
            sizing_ = false;
            status_ = 0;
            break;
        case WM_MOVE:
            Reposition();
            break;
        case WM_SETTINGCHANGE:
            if (std::find(std::begin(kWorkAreaChanges), std::end(kWorkAreaChanges), wParam) !=
                std::end(kWorkAreaChanges)) {
                Reposition();
            }
            break;
        case WM_SIZE: {
            RECT r = {};
            ::GetWindowRect(owner_, &r);
            const SIZE size = {RectWidth(r), RectHeight(r)};
            if (wParam == SIZE_MINIMIZED || RectIsEmpty(r)) {
                Hide();
            } else if (::IsWindowVisible(owner_)) {
                if (!IsShown()) {
                    status_ |= kShown | kOwnerVisible;
                    Render();
                    ShowBehindOwner();
                } else if (size.cx != lastSize_.cx || size.cy != lastSize_.cy) {
                    needsRender_ = true;
                }
            }
            lastSize_ = size;
            break;
        }
        case WM_PAINT:
            if (!sizing_ && needsRender_) {
                Render();
                needsRender_ = false;
            }
            break;
        case WM_SIZING:
            sizing_ = true;
            break;
        case WM_EXITSIZEMOVE:
            if (sizing_) {
                sizing_ = false;
                Update(owner_);
            } else if (IsShown()) {
                Render();
            }
            break;
        default:
            break;
    }
}

void CShadowWnd::Update(HWND owner) {
    if (!created_ || owner != owner_) return;
    status_ &= kEnabled;
    if (::IsWindowVisible(owner_)) {
        status_ |= kOwnerVisible;
        if (!::IsIconic(owner_)) status_ |= kShown;
    }
    if (IsShown()) {
        Render();
        ShowBehindOwner();
    } else {
        Hide();
    }
}

void CShadowWnd::Reposition() {
    if (!IsShown() || sizing_) return;
    RECT r = {};
    ::GetWindowRect(owner_, &r);
    if (RectIsEmpty(r)) {
        Hide();
        return;
    }
    ::SetWindowPos(window_.get(), owner_, r.left - size_, r.top - size_, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void CShadowWnd::Render() {
    RECT r = {};
    if (!window_ || !::GetWindowRect(owner_, &r) || RectIsEmpty(r)) return;
    const SIZE size = {RectWidth(r) + 2 * size_, RectHeight(r) + 2 * size_};
    LxDib canvas(size.cx, size.cy);
    if (!canvas.ok()) return;
    const RECT whole = {0, 0, size.cx, size.cy};
    if (!hook_ || hook_->PaintShadow(canvas.dc(), whole) != 0) PaintDefaultShadow(canvas.dc(), whole);
    ::GdiFlush();
    POINT position = {r.left - size_, r.top - size_};
    POINT origin = {0, 0};
    SIZE extent = size;
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, kOpaque, AC_SRC_ALPHA};
    // A failing update leaves the previous image; nothing is retried.
    ::UpdateLayeredWindow(window_.get(), nullptr, &position, &extent, canvas.dc(), &origin, 0, &blend, ULW_ALPHA);
    ++renders_;
}

void CShadowWnd::ShowBehindOwner() {
    if (!window_) return;
    RECT r = {};
    ::GetWindowRect(owner_, &r);
    ::SetWindowPos(window_.get(), owner_, r.left - size_, r.top - size_, 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CShadowWnd::Hide() {
    status_ &= ~kShown;
    if (window_ && ::IsWindowVisible(window_.get())) ::ShowWindow(window_.get(), SW_HIDE);
}

}  // namespace ui
