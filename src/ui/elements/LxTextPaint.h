// Text of an element: painting it on the paint message and measuring it for
// the natural size. Controls that draw texts of their own (captions, the
// progress percentage) set the device context up the same way and draw
// through DrawPreparedText.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace ui {

class CLxWindow;

// Draws the element's text: its font and colours by state (push, hover,
// disabled), the style's margins and flags, the YaHei correction, then GDI
// text (shadowed when the style asks) or GDI+ text. Leaves the device
// context as it was.
void DrawElementText(HDC dc, const CLxWindow& element);

// What PrepareTextDc chose: the text box (the rectangle less the style's
// margins) and the text flags (the element's, else the style's).
struct LxTextSetup {
    RECT box;
    UINT flags;
};
// Selects the element's font and colours by state into `dc` and sets the
// background mode and colour as its style asks. The caller restores the
// device context (DcStateGuard).
LxTextSetup PrepareTextDc(HDC dc, const CLxWindow& element);

// Draws `text` into `box` with `flags` on a device context that
// PrepareTextDc set up: the YaHei correction, then GDI or GDI+ text as the
// element's style asks, in the context's text colour.
void DrawPreparedText(HDC dc, const CLxWindow& element, std::wstring_view text, RECT box, UINT flags);

// The vertical correction for the YaHei face, whose glyphs sit low in their
// cell. `taller`: pixels by which the drawing font is taller than the base
// font; `baseHeight`: the base font's character height in pixels (positive).
// Bottom-aligned text moves up by 2 * taller + 2 and, with `autoFix`, keeps
// a box tall enough for the glyphs; top-aligned text moves up by
// 3 * taller + 3; vertically centred text stays.
RECT YaheiCorrectedRect(const RECT& box, UINT flags, int taller, int baseHeight, bool autoFix);

// The file under the Windows font folder that GDI+ text loads privately for
// a face, or null when the face has none.
const wchar_t* PrivateFontFileFor(std::wstring_view face);

// The text's size inside `box` (the element's rectangle, or the offered
// size) with the measuring font: the element's or its style's code, else
// the nearest ancestor's; the hover font while hovered. 0 by 0 without text.
// GDI+ text is measured with GDI+, each dimension rounded up.
SIZE MeasureElementText(const CLxWindow& element, const RECT& box);

}  // namespace ui
