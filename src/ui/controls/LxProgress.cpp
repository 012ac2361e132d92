#include "ui/controls/LxProgress.h"

#include <algorithm>
#include <utility>

#include "base/unique_any.h"
#include "ui/LxGdi.h"
#include "ui/elements/LxTextPaint.h"
#include "ui/pools/LxReaders.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxStyle.h"

namespace ui {

namespace {
using V = std::string_view;
constexpr BYTE kOpaque = 255;
constexpr COLORREF kProgressPen = 0x707070;
constexpr COLORREF kProgressFill = 0x906142;
constexpr COLORREF kPercentOverBar = 0xFFFFFF;
constexpr int kProgressCorner = 2;
constexpr int kProgressInset = 2;
constexpr UINT kPercentFlags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
// The marquee block: how far it moves per paint and its share of the lane.
constexpr int kMarqueeStep = 10;
constexpr int kMarqueeBlockParts = 4;

void FillColor(HDC dc, const RECT& r, COLORREF color) {
    base::unique_gdi_object brush(::CreateSolidBrush(color));
    ::FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
}
}  // namespace

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

void CLxProgress::Normalize() {
    if (max_ == min_) return;
    if (max_ < min_) std::swap(min_, max_);
    value_ = std::clamp(value_, min_, max_);
}

int CLxProgress::FilledLength(int length) {
    Normalize();
    if (max_ == min_ || length <= 0) return 0;
    return static_cast<int>(static_cast<uint64_t>(length) * (value_ - min_) / (max_ - min_));
}

RECT CLxProgress::Lane(const RECT& track, CLxSkinBase* pos) {
    RECT lane = track;
    if (pos) {
        const int insetX = std::min(skinPosX_, RectWidth(track) / 2);
        const int insetY = (RectHeight(track) - ScaleValue(pos->GetSkinSize().cy)) / 2;
        ::InflateRect(&lane, -insetX, -insetY);
    } else {
        ::InflateRect(&lane, -kProgressInset, -kProgressInset);
    }
    return lane;
}

void CLxProgress::OnPaint(HDC dc, HRGN) {
    DcStateGuard restore(dc);
    PrepareTextDc(dc, *this);
    const RECT& track = Rect();
    CLxSkinBase* pos = LxSkinPool::Global().GetSkin(posSkin_);
    const RECT lane = Lane(track, pos);
    base::unique_gdi_object pen(::CreatePen(PS_SOLID, 1, kProgressPen));
    std::wstring percent;
    RECT bar = lane;
    {
        SelectGuard selectPen(dc, pen.get());
        if (CLxSkinBase* bg = LxSkinPool::Global().GetSkin(bgSkin_)) {
            bg->Draw(dc, track, 0, kOpaque, IsScaled());
        } else {
            ::RoundRect(dc, track.left, track.top, track.right, track.bottom, kProgressCorner, kProgressCorner);
        }
        if (marquee_) {
            DrawMarquee(dc, lane);
            return;
        }
        if (showPercent_) {
            percent = std::to_wstring(Percent()) + L"%";
            DrawPreparedText(dc, *this, percent, track, kPercentFlags);
        }
        bar.right = bar.left + FilledLength(RectWidth(lane));
        if (pos) {
            pos->Draw(dc, bar, 0, kOpaque, IsScaled());
        } else {
            ::RoundRect(dc, bar.left, bar.top, bar.right, bar.bottom, kProgressCorner, kProgressCorner);
            FillColor(dc, bar, kProgressFill);
        }
    }
    if (!showPercent_) return;
    // The part of the text over the bar, in a colour that stands out on it.
    const COLORREF own = BackgroundColor() != kNoColor ? BackgroundColor() : GetStyle().crbg;
    ::SetTextColor(dc, own != kNoColor ? own : kPercentOverBar);
    ::IntersectClipRect(dc, bar.left, bar.top, bar.right, bar.bottom);
    DrawPreparedText(dc, *this, percent, track, kPercentFlags);
}

// The block moves on every paint and starts again at the left once it has
// passed the right end of the lane.
void CLxProgress::DrawMarquee(HDC dc, const RECT& lane) {
    if (RectIsEmpty(lane)) return;
    if (lane.left + marqueeOffset_ >= lane.right) marqueeOffset_ = 0;
    const int block = std::max(RectWidth(lane) / kMarqueeBlockParts, 1);
    const LONG left = lane.left + marqueeOffset_;
    const RECT r = {left, lane.top, std::min<LONG>(left + block, lane.right), lane.bottom};
    FillColor(dc, r, kProgressFill);
    marqueeOffset_ += kMarqueeStep;
}

}  // namespace ui
