// Text of an element: painting it on the paint message and measuring it for
// the natural size.
#pragma once

#include <windows.h>

namespace ui {

class CLxWindow;

// Draws the element's text with the platform's text drawing: its font and
// colours by state (push, hover, disabled), the style's margins and flags.
// Styles that ask for GDI+ text or shadowed text are drawn the same way
// until the controls add those paths.
void DrawElementText(HDC dc, const CLxWindow& element);

// The text's size inside `box` (the element's rectangle, or the offered
// size) with the measuring font: the element's or its style's code, else
// the nearest ancestor's; the hover font while hovered. 0 by 0 without text.
SIZE MeasureElementText(const CLxWindow& element, const RECT& box);

}  // namespace ui
