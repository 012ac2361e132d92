#include "ui/elements/LxTextPaint.h"

#include <algorithm>

#include "base/unique_any.h"
#include "ui/LxGdi.h"
#include "ui/elements/LxWindow.h"
#include "ui/pools/LxFontPool.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxStyle.h"

namespace ui {

namespace {
// The four alignment bits of a text mode (centre, right, vertical centre,
// bottom) do not change a measured size.
constexpr UINT kAlignmentBits = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM;
// Bottom limit of a measured word-breaking text.
constexpr LONG kWordBreakLimit = 0x7FFF;

uint16_t MeasuringFontCode(const CLxWindow& element) {
    uint16_t code = 0;
    uint16_t hover = 0;
    for (const CLxWindow* e = &element; e; e = e->Parent()) {
        const LxStyle& style = e->GetStyle();
        if (code == 0) code = e->FontCode() ? e->FontCode() : style.font;
        if (hover == 0) hover = style.hoverFont;
        if (code != 0 && hover != 0) break;
    }
    if ((element.State() & kStateHover) && hover != 0) code = hover;
    return code;
}
}  // namespace

void DrawElementText(HDC dc, const CLxWindow& element) {
    const std::wstring& text = element.Text();
    if (text.empty() || !dc) return;
    const LxStyle& style = element.GetStyle();
    DcStateGuard restore(dc);
    RECT box = element.Rect();
    ::InflateRect(&box, -style.xMargin, -style.yMargin);
    if (LxSkinPool::Global().GetSkin(style.skin)) ::SetBkMode(dc, TRANSPARENT);
    const COLORREF background = element.BackgroundColor() != kNoColor ? element.BackgroundColor() : style.crbg;
    if (background != kNoColor) ::SetBkColor(dc, background);

    HFONT font = element.GetFont(true);
    COLORREF color = element.TextColor() != kNoColor ? element.TextColor() : style.crText;
    const uint32_t state = element.State();
    if (!element.IsDisabled(true)) {
        bool pushFont = false;
        bool pushColor = false;
        if (state & kStatePush) {
            if (style.pushFont) {
                font = LxFontPool::Global().GetFont(style.pushFont, element.IsScaled());
                pushFont = true;
            }
            if (style.crPush != kNoColor) {
                color = style.crPush;
                pushColor = true;
            }
        }
        if (state & kStateHover) {
            if (style.hoverFont && !pushFont) font = LxFontPool::Global().GetFont(style.hoverFont, element.IsScaled());
            if (style.crHover != kNoColor && !pushColor) color = style.crHover;
        }
    } else if (style.crDisabled != kNoColor) {
        color = style.crDisabled;
    }
    if (font) ::SelectObject(dc, font);
    if (color != kNoColor) ::SetTextColor(dc, color);

    const UINT flags = (element.TextMode() == 0 || element.ForceUpdateStyle()) ? style.textMode : element.TextMode();
    if (element.HasBorder()) {
        ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
        const RECT& r = element.Rect();
        ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
    }
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, flags);
}

SIZE MeasureElementText(const CLxWindow& element, const RECT& box) {
    const std::wstring& text = element.Text();
    if (text.empty()) return {0, 0};
    base::unique_hdc dc(::CreateCompatibleDC(nullptr));
    if (!dc) return {0, 0};
    HFONT font = LxFontPool::Global().GetFont(MeasuringFontCode(element), element.IsScaled());
    SelectGuard select(dc.get(), font);
    const UINT flags = (element.GetStyle().textMode & ~kAlignmentBits) | DT_CALCRECT;
    RECT measured = box;
    if (flags & DT_WORDBREAK) measured.bottom = measured.top + kWordBreakLimit;
    ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &measured, flags);
    return {std::max<LONG>(RectWidth(measured), 0), std::max<LONG>(RectHeight(measured), 0)};
}

}  // namespace ui
