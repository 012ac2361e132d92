#include "ui/controls/LxImageWnd.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <vector>

#include "base/text.h"
#include "ui/LxGdi.h"
#include "ui/elements/LxDialog.h"
#include "ui/elements/LxTextPaint.h"
#include "ui/pools/LxReaders.h"
#include "ui/pools/LxSkinPool.h"

namespace ui {

namespace {
using V = std::string_view;
constexpr BYTE kOpaque = 255;
constexpr int kFullPercent = 100;
constexpr int kPushedOrCheckedSlice = 2;
constexpr int kHoveredSlice = 1;
// An icon at a "ico_top" below this is centred vertically.
constexpr int kFirstIconTop = 1;
constexpr UINT kCaptionFlags = DT_CENTER | DT_SINGLELINE;
constexpr int kClipRectItems = 4;

CLxSkinBase* SkinNamed(std::string_view name) { return LxSkinPool::Global().GetSkin(name); }

// "left,top,right,bottom" as four numbers, or false.
bool ReadClipRect(std::string_view text, RECT& out) {
    LONG values[kClipRectItems] = {};
    size_t start = 0;
    for (int i = 0; i < kClipRectItems; ++i) {
        const size_t comma = text.find(',', start);
        if ((comma == std::string_view::npos) != (i == kClipRectItems - 1)) return false;
        values[i] = ReadInt(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
        start = comma + 1;
    }
    out = {values[0], values[1], values[2], values[3]};
    return true;
}
}  // namespace

HRESULT CLxImageWnd::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    using A = LxAttribute<CLxImageWnd>;
    static const A kTable[] = {
        {"skin", [](CLxImageWnd& w, V v, bool) { w.skin_ = v; }},
        {"ico", [](CLxImageWnd& w, V v, bool) { w.icon_ = v; }},
        {"ico_top", [](CLxImageWnd& w, V v, bool) { w.iconTop_ = ReadInt(v); }},
        {"caption", [](CLxImageWnd& w, V v, bool) { w.caption_ = base::Utf8ToWide(v); }},
        {"caption_top", [](CLxImageWnd& w, V v, bool) { w.captionTop_ = ReadInt(v); }},
        {"group", [](CLxImageWnd& w, V v, bool) { w.group_ = v; }},
        {"mask", [](CLxImageWnd& w, V v, bool) { w.mask_ = v; }},
        {"sub", [](CLxImageWnd& w, V v, bool) { w.sub_ = ReadInt(v); }},
        {"cliptype", [](CLxImageWnd& w, V v, bool) { w.clipType_ = ReadInt(v); }},
        {"clipparam", [](CLxImageWnd& w, V v, bool) { w.clipParam_ = v; }},
        {"alpha", [](CLxImageWnd& w, V v, bool) { w.alpha_ = ReadInt(v); }},
        {"use_pos_size", [](CLxImageWnd& w, V v, bool) { w.usePosSize_ = ReadInt(v); }},
    };
    if (ApplyAttribute(kTable, *this, name, value, loading)) return S_OK;
    return CLxWindow::SetAttribute(name, value, loading);
}

SIZE CLxImageWnd::SkinSliceSize() {
    CLxSkinBase* skin = SkinNamed(skin_);
    if (!skin) return {0, 0};
    const SIZE slice = skin->GetSkinSize();
    return {ClampCoordinate(ScaleValue(slice.cx)), ClampCoordinate(ScaleValue(slice.cy))};
}

SIZE CLxImageWnd::NaturalSize(SIZE offered) {
    return usePosSize_ == 0 ? SkinSliceSize() : CLxWindow::NaturalSize(offered);
}

BYTE CLxImageWnd::ClipAlpha() const {
    if (alpha_ < 0) return kOpaque;
    return static_cast<BYTE>(std::min(alpha_, kFullPercent) * kOpaque / kFullPercent);
}

void CLxImageWnd::OnPaint(HDC dc, HRGN region) {
    if (CLxSkinBase* skin = SkinNamed(skin_)) DrawImage(dc, *skin, ImageSlice());
    DrawIcon(dc);
    if (!(State() & (kStateHover | kStateCheck))) {
        if (CLxSkinBase* mask = SkinNamed(mask_)) mask->Draw(dc, Rect(), 0, kOpaque, IsScaled());
    }
    DrawCaption(dc);
    CLxWindow::OnPaint(dc, region);
}

void CLxImageWnd::DrawImage(HDC dc, CLxSkinBase& skin, int slice) {
    const RECT& rect = Rect();
    switch (clipType_) {
        case kClipEllipse:
        case kClipRoundRect:
            DrawSmoothClipped(dc, skin, slice, ClipAlpha());
            return;
        case kClipRect: {
            RECT clip = {0, 0, RectWidth(rect), RectHeight(rect)};
            if (!clipParam_.empty() && !ReadClipRect(clipParam_, clip)) return;
            ::OffsetRect(&clip, rect.left, rect.top);
            DcStateGuard restore(dc);
            ::IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
            skin.Draw(dc, rect, slice, ClipAlpha(), IsScaled());
            return;
        }
        default:
            skin.Draw(dc, rect, slice, kOpaque, IsScaled());
            return;
    }
}

// The slice is drawn into a transparent layer covering the visible part of
// the element, which then fills the clip path through a texture brush with
// anti-aliased edges.
void CLxImageWnd::DrawSmoothClipped(HDC dc, CLxSkinBase& skin, int slice, BYTE alpha) {
    const RECT& rect = Rect();
    const int width = RectWidth(rect);
    const int height = RectHeight(rect);
    RECT visible = {};
    RECT clipBox = {};
    if (::GetClipBox(dc, &clipBox) == ERROR || !::IntersectRect(&visible, &rect, &clipBox)) return;
    if (!EnsureGdiplus()) return;
    LxDib layer(RectWidth(visible), RectHeight(visible));
    if (!layer.ok()) return;
    layer.Fill(0);
    RECT inLayer = rect;
    ::OffsetRect(&inLayer, -visible.left, -visible.top);
    skin.Draw(layer.dc(), inLayer, slice, alpha, IsScaled());
    ::GdiFlush();
    Gdiplus::Bitmap bitmap(layer.width(), layer.height(), layer.width() * static_cast<INT>(sizeof(uint32_t)),
                           PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(layer.pixels()));
    Gdiplus::TextureBrush brush(&bitmap, Gdiplus::WrapModeClamp);
    brush.TranslateTransform(static_cast<Gdiplus::REAL>(visible.left), static_cast<Gdiplus::REAL>(visible.top));
    const Gdiplus::RectF area(static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
                              static_cast<Gdiplus::REAL>(width), static_cast<Gdiplus::REAL>(height));
    Gdiplus::GraphicsPath path;
    if (clipType_ == kClipEllipse) {
        path.AddEllipse(area);
    } else {
        const int radius = std::clamp(ScaleValue(ReadInt(clipParam_)), 0, std::min(width, height) / 2);
        if (radius == 0) {
            path.AddRectangle(area);
        } else {
            const auto d = static_cast<Gdiplus::REAL>(2 * radius);
            const Gdiplus::REAL right = area.GetRight() - d;
            const Gdiplus::REAL bottom = area.GetBottom() - d;
            constexpr Gdiplus::REAL kQuarter = 90;
            path.AddArc(area.X, area.Y, d, d, 2 * kQuarter, kQuarter);
            path.AddArc(right, area.Y, d, d, 3 * kQuarter, kQuarter);
            path.AddArc(right, bottom, d, d, 0, kQuarter);
            path.AddArc(area.X, bottom, d, d, kQuarter, kQuarter);
            path.CloseFigure();
        }
    }
    Gdiplus::Graphics graphics(dc);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.FillPath(&brush, &path);
}

void CLxImageWnd::DrawIcon(HDC dc) {
    CLxSkinBase* icon = SkinNamed(icon_);
    if (!icon) return;
    const SIZE size = icon->GetSkinSize();
    const int w = ScaleValue(size.cx);
    const int h = ScaleValue(size.cy);
    const RECT& rect = Rect();
    const int left = rect.left + (RectWidth(rect) - w) / 2;
    const int top = iconTop_ >= kFirstIconTop ? rect.top + ScaleValue(iconTop_) : rect.top + (RectHeight(rect) - h) / 2;
    icon->Draw(dc, {left, top, left + w, top + h}, 0, kOpaque, IsScaled());
}

void CLxImageWnd::DrawCaption(HDC dc) {
    if (caption_.empty()) return;
    DcStateGuard restore(dc);
    const LxTextSetup setup = PrepareTextDc(dc, *this);
    RECT box = setup.box;
    UINT flags = kCaptionFlags | DT_VCENTER;
    if (captionTop_ >= 0) {
        box.top = Rect().top + ScaleValue(captionTop_);
        flags = kCaptionFlags | DT_TOP;
    }
    DrawPreparedText(dc, *this, caption_, box, flags);
}

template <typename Visit>
void CLxImageBtnWnd::ForEachGroupMember(Visit visit) const {
    if (Group().empty()) return;
    // The members are other elements of the tree, which this one does not own.
    CLxWindow* root = const_cast<CLxImageBtnWnd*>(this);
    while (CLxWindow* parent = root->Parent()) root = parent;
    std::vector<CLxWindow*> pending = {root};
    while (!pending.empty()) {
        CLxWindow* element = pending.back();
        pending.pop_back();
        if (auto* button = dynamic_cast<CLxImageBtnWnd*>(element); button && button->Group() == Group()) visit(*button);
        if (element->IsContainer()) {
            for (const auto& child : static_cast<CLxDialog*>(element)->Children()) pending.push_back(child.get());
        }
    }
}

bool CLxImageBtnWnd::GroupHasChecked() const {
    bool any = false;
    ForEachGroupMember([&any](CLxImageBtnWnd& member) { any = any || member.IsChecked(); });
    return any;
}

int CLxImageBtnWnd::ImageSlice() const {
    if (!GroupHasChecked()) return StateIndex();
    if (State() & (kStateCheck | kStatePush)) return kPushedOrCheckedSlice;
    return (State() & kStateHover) ? kHoveredSlice : 0;
}

void CLxImageBtnWnd::ToggleInGroup() {
    if (IsChecked()) {
        ModifyState(0, kStateCheck);
        return;
    }
    ModifyState(kStateCheck, 0);
    ForEachGroupMember([this](CLxImageBtnWnd& member) {
        if (&member == this || !member.IsChecked()) return;
        member.ModifyState(0, kStateCheck);
        if (HWND container = member.Container()) ::InvalidateRect(container, &member.Rect(), FALSE);
    });
}

bool CLxImageBtnWnd::ProcessMessage(uint32_t handle, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_LBUTTONUP && !Group().empty()) ToggleInGroup();
    return CLxImageWnd::ProcessMessage(handle, message, wParam, lParam, result);
}

SIZE CLxImageBtnWnd::NaturalSize(SIZE) { return SkinSliceSize(); }

}  // namespace ui
