// "text": an element whose content is its text (see LxTextPaint.h for how
// every element paints and measures its text).
#pragma once

#include "ui/elements/LxWindow.h"

namespace ui {

class CLxStatic : public CLxWindow {
public:
    const char* GetObjectClass() const override { return "text"; }
};

}  // namespace ui
