// "expendimgex2": a skin stretched as a nine-grid over the element, with the
// element's own margins (corners and edges keep their size). The message box
// paints its shadow with one, outside any layout (DrawIn).
#pragma once

#include <string>
#include <string_view>

#include "ui/elements/LxWindow.h"
#include "ui/pools/LxSkinPool.h"

namespace ui {

class CLxExpendImgEx2 : public CLxWindow {
public:
    const char* GetObjectClass() const override { return "expendimgex2"; }
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    // Lays the element out by its "pos" inside `area`, as a parent panel of
    // that rectangle would, and paints it into `dc`.
    void DrawIn(HDC dc, const RECT& area);
    const LxMargins& Margins() const { return margins_; }

protected:
    std::string_view OwnSkinName() const override { return skin_; }
    // The skin as a nine-grid with the element's margins (display-scaled),
    // then the element's text. A skin that is not an image draws as it
    // draws; without margins the skin's own apply.
    void OnPaint(HDC dc, HRGN region) override;

private:
    void SetMargin(int& margin, std::string_view value);

    std::string skin_;
    LxMargins margins_;
    bool marginsGiven_ = false;
};

}  // namespace ui
