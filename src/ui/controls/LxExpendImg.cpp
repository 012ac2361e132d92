#include "ui/controls/LxExpendImg.h"

#include "ui/elements/LxPos.h"
#include "ui/pools/LxReaders.h"

namespace ui {

namespace {
using V = std::string_view;
constexpr BYTE kOpaque = 255;
}  // namespace

HRESULT CLxExpendImgEx2::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    using A = LxAttribute<CLxExpendImgEx2>;
    static const A kTable[] = {
        {"skin", [](CLxExpendImgEx2& e, V v, bool) { e.skin_ = v; }},
        {"margin_left", [](CLxExpendImgEx2& e, V v, bool) { e.SetMargin(e.margins_.left, v); }},
        {"margin_right", [](CLxExpendImgEx2& e, V v, bool) { e.SetMargin(e.margins_.right, v); }},
        {"margin_top", [](CLxExpendImgEx2& e, V v, bool) { e.SetMargin(e.margins_.top, v); }},
        {"margin_bottom", [](CLxExpendImgEx2& e, V v, bool) { e.SetMargin(e.margins_.bottom, v); }},
    };
    if (ApplyAttribute(kTable, *this, name, value, loading)) return S_OK;
    return CLxWindow::SetAttribute(name, value, loading);
}

void CLxExpendImgEx2::SetMargin(int& margin, std::string_view value) {
    margin = ClampCoordinate(ReadInt(value));
    marginsGiven_ = true;
}

void CLxExpendImgEx2::DrawIn(HDC dc, const RECT& area) {
    LxPosChange change;
    change.parentContent = area;
    change.origin = {area.left, area.top};
    if (Pos().count == 2 || Pos().count == 4) {
        change.origin = {ResolvePosItem(Pos().items[0], area.left, area.right),
                         ResolvePosItem(Pos().items[1], area.top, area.bottom)};
    }
    LRESULT result = 0;
    ProcessMessage(Handle(), kLxMsgPositionChanged, 0, reinterpret_cast<LPARAM>(&change), &result);
    RedrawRegion(dc, nullptr);
}

void CLxExpendImgEx2::OnPaint(HDC dc, HRGN region) {
    if (CLxSkinBase* skin = LxSkinPool::Global().GetSkin(skin_)) {
        auto* image = dynamic_cast<CLxBitmapSkin*>(skin);
        if (image && marginsGiven_) {
            // The margins are in image pixels; a scaled element scales them
            // as the skin scales its own.
            image->DrawWithMargins(dc, Rect(), 0, kOpaque, margins_, IsScaled());
        } else {
            skin->Draw(dc, Rect(), 0, kOpaque, IsScaled());
        }
    }
    CLxWindow::OnPaint(dc, region);
}

}  // namespace ui
