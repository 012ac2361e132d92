#include "ui/controls/LxControls.h"

#include <tinyxml.h>

#include <algorithm>
#include <utility>

#include "base/text.h"
#include "ui/LxGdi.h"
#include "ui/pools/LxReaders.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxStyle.h"

namespace ui {

namespace {
using V = std::string_view;
constexpr BYTE kOpaque = 255;
constexpr COLORREF kProgressPen = 0x707070;
constexpr COLORREF kProgressFill = 0x906142;
constexpr int kProgressCorner = 2;
constexpr int kProgressInset = 2;
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
    CLxSkinBase* skin = LxSkinPool::Global().GetSkin(skin_);
    if (!skin) return {0, 0};
    const SIZE slice = skin->GetSkinSize();
    return {ClampCoordinate(ScaleValue(slice.cx)), ClampCoordinate(ScaleValue(slice.cy))};
}

void CLxImageWnd::DrawSkin(HDC dc, int slice) {
    if (CLxSkinBase* skin = LxSkinPool::Global().GetSkin(skin_)) skin->Draw(dc, Rect(), slice, kOpaque, IsScaled());
}

void CLxImageWnd::OnPaint(HDC dc, HRGN region) {
    DrawSkin(dc, sub_);
    CLxWindow::OnPaint(dc, region);
}

SIZE CLxImageWnd::NaturalSize(SIZE offered) {
    return usePosSize_ == 0 ? SkinSliceSize() : CLxWindow::NaturalSize(offered);
}

void CLxImageBtnWnd::OnPaint(HDC dc, HRGN region) {
    DrawSkin(dc, StateIndex());
    CLxWindow::OnPaint(dc, region);
}

SIZE CLxImageBtnWnd::NaturalSize(SIZE) { return SkinSliceSize(); }

void CLxDialogButton::Load(const TiXmlElement& element) {
    SetButtonTarget(true);
    CLxDialog::Load(element);
}

HRESULT CLxDialogButton::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    using A = LxAttribute<CLxDialogButton>;
    static const A kTable[] = {
        {"name", [](CLxDialogButton& b, V v, bool) { b.name_ = base::Utf8ToWide(v); }},
    };
    if (ApplyAttribute(kTable, *this, name, value, loading)) return S_OK;
    return CLxDialog::SetAttribute(name, value, loading);
}

HRESULT CLxProgress::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    using A = LxAttribute<CLxProgress>;
    static const A kTable[] = {
        {"bgskin", [](CLxProgress& p, V v, bool) { p.bgSkin_ = v; }},
        {"posskin", [](CLxProgress& p, V v, bool) { p.posSkin_ = v; }},
        {"skinposx", [](CLxProgress& p, V v, bool) { p.skinPosX_ = ReadInt(v); }},
        {"min", [](CLxProgress& p, V v, bool) { p.min_ = static_cast<uint32_t>(ReadInt(v)); }},
        {"max", [](CLxProgress& p, V v, bool) { p.max_ = static_cast<uint32_t>(ReadInt(v)); }},
        {"value", [](CLxProgress& p, V v, bool) { p.value_ = static_cast<uint32_t>(ReadInt(v)); }},
        {"showpercent", [](CLxProgress& p, V v, bool) { p.showPercent_ = ReadInt(v); }},
        {"progressbar", [](CLxProgress& p, V v, bool) { p.marquee_ = ReadInt(v); }},
    };
    if (ApplyAttribute(kTable, *this, name, value, loading)) return S_OK;
    return CLxWindow::SetAttribute(name, value, loading);
}

double CLxProgress::Fraction() {
    if (max_ == min_) return 0.0;
    if (max_ < min_) std::swap(min_, max_);
    value_ = std::clamp(value_, min_, max_);
    return static_cast<double>(value_ - min_) / static_cast<double>(max_ - min_);
}

void CLxProgress::OnPaint(HDC dc, HRGN) {
    DcStateGuard restore(dc);
    base::unique_gdi_object pen(::CreatePen(PS_SOLID, 1, kProgressPen));
    ::SelectObject(dc, pen.get());
    RECT track = Rect();
    if (CLxSkinBase* bg = LxSkinPool::Global().GetSkin(bgSkin_)) {
        bg->Draw(dc, track, 0, kOpaque, IsScaled());
    } else {
        ::RoundRect(dc, track.left, track.top, track.right, track.bottom, kProgressCorner, kProgressCorner);
    }
    const double fraction = Fraction();
    RECT bar = track;
    if (CLxSkinBase* pos = LxSkinPool::Global().GetSkin(posSkin_)) {
        const SIZE slice = pos->GetSkinSize();
        const int insetX = std::min(skinPosX_, RectWidth(track) / 2);
        const int insetY = (RectHeight(track) - slice.cy) / 2;
        ::InflateRect(&bar, -insetX, -insetY);
        bar.right = bar.left + static_cast<LONG>(RectWidth(bar) * fraction);
        pos->Draw(dc, bar, 0, kOpaque, IsScaled());
    } else {
        ::InflateRect(&bar, -kProgressInset, -kProgressInset);
        bar.right = bar.left + static_cast<LONG>(RectWidth(bar) * fraction);
        ::RoundRect(dc, bar.left, bar.top, bar.right, bar.bottom, kProgressCorner, kProgressCorner);
        base::unique_gdi_object fill(::CreateSolidBrush(kProgressFill));
        ::FillRect(dc, &bar, static_cast<HBRUSH>(fill.get()));
    }
}

}  // namespace ui
