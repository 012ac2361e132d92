#include "ui/elements/LxTextPaint.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>

#include "base/unique_any.h"
#include "ui/LxGdi.h"
#include "ui/elements/LxWindow.h"
#include "ui/pools/LxFontPool.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxStyle.h"
#include "ui/scaling/LxDisplayScaler.h"

namespace ui {

namespace {
// The four alignment bits of a text mode (centre, right, vertical centre,
// bottom) do not change a measured size.
constexpr UINT kAlignmentBits = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM;
// Bottom limit of a measured word-breaking text.
constexpr LONG kWordBreakLimit = 0x7FFF;
// The style value that switches the YaHei correction off.
constexpr int kYaheiCorrectionOff = 1;
// GDI+ text is never drawn fully opaque: 255 reads as 254.
constexpr int kMaxTextAlpha = 254;
// Where the shadow falls, in pixels right and down of the text.
constexpr int kShadowOffsetX = 1;
constexpr int kShadowOffsetY = 1;
// Alignment bits of the style's "textmodeex" for GDI+ text.
constexpr UINT kExCentre = 0x1;
constexpr UINT kExFar = 0x2;
constexpr UINT kExLineCentre = 0x4;
constexpr UINT kExLineFar = 0x8;
constexpr UINT kExLineLimit = 0x20;

using DrawShadowTextFn = int(WINAPI*)(HDC, LPCWSTR, UINT, RECT*, DWORD, COLORREF, COLORREF, int, int);

// The common controls' shadow-text routine, looked up once; null where the
// loaded common controls lack it.
DrawShadowTextFn ShadowTextRoutine() {
    // Kept loaded for the life of the process once found.
    static base::unique_hmodule library(::LoadLibraryW(L"comctl32.dll"));
    static const DrawShadowTextFn routine =
        library ? reinterpret_cast<DrawShadowTextFn>(::GetProcAddress(library.get(), "DrawShadowText")) : nullptr;
    return routine;
}

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

bool CurrentFont(HDC dc, LOGFONTW& font) {
    HGDIOBJ current = ::GetCurrentObject(dc, OBJ_FONT);
    return current && ::GetObjectW(current, sizeof(font), &font) == sizeof(font);
}

// The YaHei correction for the font selected in `dc`, when the base face is
// YaHei and the style allows it.
RECT CorrectForYahei(HDC dc, const CLxWindow& element, const RECT& box, UINT flags) {
    const LOGFONTW& base = LxFontPool::Global().Base();
    if (!IsYaheiFace(base.lfFaceName) || element.GetStyle().yaheiResizeDisable == kYaheiCorrectionOff) return box;
    LOGFONTW current;
    if (!CurrentFont(dc, current)) return box;
    const int baseHeight =
        std::abs(element.IsScaled() ? LxDisplayScaler::Instance().ScaleFont(base.lfHeight) : base.lfHeight);
    return YaheiCorrectedRect(box, flags, std::abs(current.lfHeight) - baseHeight, baseHeight,
                              element.AutoFixTextRect());
}

// Private font collections by file, loaded once; null when the file is
// missing or holds no family.
Gdiplus::PrivateFontCollection* PrivateFonts(std::wstring_view face) {
    const wchar_t* file = PrivateFontFileFor(face);
    if (!file) return nullptr;
    static std::map<std::wstring, std::unique_ptr<Gdiplus::PrivateFontCollection>> collections;
    auto found = collections.find(file);
    if (found != collections.end()) return found->second.get();
    std::unique_ptr<Gdiplus::PrivateFontCollection> collection;
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        const std::wstring path = std::wstring(windows, length) + L"\\fonts\\" + file;
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            collection = std::make_unique<Gdiplus::PrivateFontCollection>();
            if (collection->AddFontFile(path.c_str()) != Gdiplus::Ok || collection->GetFamilyCount() < 1) {
                collection.reset();
            }
        }
    }
    return collections.emplace(file, std::move(collection)).first->second.get();
}

// The GDI+ font for the font selected in `dc`: the face's private font file
// when the Windows font folder has it, else the context's font itself.
std::unique_ptr<Gdiplus::Font> MakeGdiplusFont(HDC dc) {
    LOGFONTW selected;
    if (CurrentFont(dc, selected) && selected.lfHeight != 0) {
        if (Gdiplus::PrivateFontCollection* fonts = PrivateFonts(selected.lfFaceName)) {
            Gdiplus::FontFamily family;
            INT found = 0;
            fonts->GetFamilies(1, &family, &found);
            if (found == 1) {
                INT style = Gdiplus::FontStyleRegular;
                if (selected.lfWeight >= FW_BOLD) style |= Gdiplus::FontStyleBold;
                if (selected.lfItalic) style |= Gdiplus::FontStyleItalic;
                if (selected.lfUnderline) style |= Gdiplus::FontStyleUnderline;
                if (selected.lfStrikeOut) style |= Gdiplus::FontStyleStrikeout;
                auto font = std::make_unique<Gdiplus::Font>(
                    &family, static_cast<Gdiplus::REAL>(std::abs(selected.lfHeight)), style, Gdiplus::UnitPixel);
                if (font->IsAvailable()) return font;
            }
        }
    }
    auto font = std::make_unique<Gdiplus::Font>(dc);
    return font->IsAvailable() ? std::move(font) : nullptr;
}

// Alignment, line limit and trimming of GDI+ text from the text flags and
// the style's "textmodeex".
void ApplyTextFormat(Gdiplus::StringFormat& format, UINT flags, UINT extra) {
    if (flags & DT_CENTER) format.SetAlignment(Gdiplus::StringAlignmentCenter);
    if (flags & DT_VCENTER) format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    if (extra & kExLineLimit) format.SetFormatFlags(format.GetFormatFlags() | Gdiplus::StringFormatFlagsLineLimit);
    if (extra & kExFar) format.SetAlignment(Gdiplus::StringAlignmentFar);
    if (extra & kExCentre) format.SetAlignment(Gdiplus::StringAlignmentCenter);
    if (extra & kExLineCentre) format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    if (extra & kExLineFar) format.SetLineAlignment(Gdiplus::StringAlignmentFar);
    const UINT trimming = flags | extra;
    if (trimming & DT_END_ELLIPSIS) format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    if (trimming & DT_WORD_ELLIPSIS) format.SetTrimming(Gdiplus::StringTrimmingEllipsisWord);
    if (trimming & DT_PATH_ELLIPSIS) format.SetTrimming(Gdiplus::StringTrimmingEllipsisPath);
}

void DrawGdiplusText(HDC dc, const CLxWindow& element, std::wstring_view text, const RECT& box, UINT flags) {
    if (!EnsureGdiplus()) return;
    const LxStyle& style = element.GetStyle();
    std::unique_ptr<Gdiplus::Font> font = MakeGdiplusFont(dc);
    if (!font) return;
    const int alpha = std::clamp(element.AlphaText() != -1 ? element.AlphaText() : style.alphaText, 0, kMaxTextAlpha);
    const COLORREF color = ::GetTextColor(dc);
    Gdiplus::SolidBrush brush(
        Gdiplus::Color(static_cast<BYTE>(alpha), GetRValue(color), GetGValue(color), GetBValue(color)));
    Gdiplus::StringFormat format;
    ApplyTextFormat(format, flags, style.textModeEx);
    Gdiplus::Graphics graphics(dc);
    graphics.SetTextRenderingHint(static_cast<Gdiplus::TextRenderingHint>(style.textRenderingHint));
    using R = Gdiplus::REAL;
    const Gdiplus::RectF layout(static_cast<R>(box.left), static_cast<R>(box.top), static_cast<R>(RectWidth(box)),
                                static_cast<R>(RectHeight(box)));
    graphics.DrawString(text.data(), static_cast<INT>(text.size()), font.get(), layout, &format, &brush);
}

SIZE MeasureGdiplusText(HDC dc, const CLxWindow& element, const RECT& box, UINT flags) {
    if (!EnsureGdiplus()) return {0, 0};
    std::unique_ptr<Gdiplus::Font> font = MakeGdiplusFont(dc);
    if (!font) return {0, 0};
    const std::wstring& text = element.Text();
    Gdiplus::StringFormat format;
    ApplyTextFormat(format, flags & ~kAlignmentBits, element.GetStyle().textModeEx & kExLineLimit);
    Gdiplus::Graphics graphics(dc);
    graphics.SetTextRenderingHint(static_cast<Gdiplus::TextRenderingHint>(element.GetStyle().textRenderingHint));
    Gdiplus::RectF bound;
    const INT length = static_cast<INT>(text.size());
    if ((flags & DT_WORDBREAK) && RectWidth(box) > 0) {
        const Gdiplus::RectF layout(0, 0, static_cast<Gdiplus::REAL>(RectWidth(box)),
                                    static_cast<Gdiplus::REAL>(kWordBreakLimit));
        graphics.MeasureString(text.c_str(), length, font.get(), layout, &format, &bound);
    } else {
        format.SetFormatFlags(format.GetFormatFlags() | Gdiplus::StringFormatFlagsNoWrap);
        graphics.MeasureString(text.c_str(), length, font.get(), Gdiplus::PointF(0, 0), &format, &bound);
    }
    return {static_cast<LONG>(std::ceil(bound.Width)), static_cast<LONG>(std::ceil(bound.Height))};
}
}  // namespace

RECT YaheiCorrectedRect(const RECT& box, UINT flags, int taller, int baseHeight, bool autoFix) {
    RECT r = box;
    if (flags & DT_BOTTOM) {
        const int shift = 2 * taller + 2;
        r.top -= shift;
        r.bottom -= shift;
        if (autoFix) {
            const int minHeight = 3 * taller + baseHeight + 4;
            if (RectHeight(r) < minHeight) r.bottom = r.top + minHeight;
            const LONG lowest = box.top + baseHeight + taller + 3;
            if (r.bottom < lowest) r.bottom = lowest;
        }
    } else if (!(flags & DT_VCENTER)) {
        const int shift = 3 * taller + 3;
        r.top -= shift;
        r.bottom -= shift;
    }
    return r;
}

const wchar_t* PrivateFontFileFor(std::wstring_view face) {
    if (face == L"微软雅黑" || face == L"Microsoft YaHei") return L"msyh.ttf";
    if (face == L"宋体") return L"simsun.ttc";
    if (face == L"SimSun") return L"SimSun.ttc";
    return nullptr;
}

LxTextSetup PrepareTextDc(HDC dc, const CLxWindow& element) {
    const LxStyle& style = element.GetStyle();
    LxTextSetup setup;
    setup.box = element.Rect();
    ::InflateRect(&setup.box, -style.xMargin, -style.yMargin);
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
    setup.flags = (element.TextMode() == 0 || element.ForceUpdateStyle()) ? style.textMode : element.TextMode();
    return setup;
}

void DrawPreparedText(HDC dc, const CLxWindow& element, std::wstring_view text, RECT box, UINT flags) {
    if (text.empty()) return;
    box = CorrectForYahei(dc, element, box, flags);
    const LxStyle& style = element.GetStyle();
    if (style.gdiPlus) {
        DrawGdiplusText(dc, element, text, box, flags);
        return;
    }
    const int length = static_cast<int>(text.size());
    if (style.shadow) {
        if (DrawShadowTextFn shadowText = ShadowTextRoutine()) {
            shadowText(dc, text.data(), static_cast<UINT>(length), &box, flags, ::GetTextColor(dc), style.crShadow,
                       kShadowOffsetX, kShadowOffsetY);
            return;
        }
    }
    ::DrawTextW(dc, text.data(), length, &box, flags);
}

void DrawElementText(HDC dc, const CLxWindow& element) {
    const std::wstring& text = element.Text();
    if (text.empty() || !dc) return;
    DcStateGuard restore(dc);
    const LxTextSetup setup = PrepareTextDc(dc, element);
    if (element.HasBorder()) {
        ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
        const RECT& r = element.Rect();
        ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
    }
    DrawPreparedText(dc, element, text, setup.box, setup.flags);
}

SIZE MeasureElementText(const CLxWindow& element, const RECT& box) {
    const std::wstring& text = element.Text();
    if (text.empty()) return {0, 0};
    base::unique_hdc dc(::CreateCompatibleDC(nullptr));
    if (!dc) return {0, 0};
    HFONT font = LxFontPool::Global().GetFont(MeasuringFontCode(element), element.IsScaled());
    SelectGuard select(dc.get(), font);
    const UINT flags = (element.GetStyle().textMode & ~kAlignmentBits) | DT_CALCRECT;
    if (element.GetStyle().gdiPlus) return MeasureGdiplusText(dc.get(), element, box, flags);
    RECT measured = box;
    if (flags & DT_WORDBREAK) measured.bottom = measured.top + kWordBreakLimit;
    ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &measured, flags);
    return {std::max<LONG>(RectWidth(measured), 0), std::max<LONG>(RectHeight(measured), 0)};
}

}  // namespace ui
