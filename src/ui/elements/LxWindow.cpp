#include "ui/elements/LxWindow.h"

#include <objidl.h>
#include <gdiplus.h>
#include <tinyxml.h>

#include <algorithm>

#include "base/text.h"
#include "ui/LxGdi.h"
#include "ui/LxXml.h"
#include "ui/elements/LxDialog.h"
#include "ui/elements/LxNotify.h"
#include "ui/elements/LxTextPaint.h"
#include "ui/elements/LxWindowRegistry.h"
#include "ui/pools/LxFontPool.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxStringPool.h"
#include "ui/pools/LxStyle.h"
#include "ui/scaling/LxDisplayScaler.h"

namespace ui {

namespace {
using V = std::string_view;
constexpr char kFull[] = "full";
constexpr char kWndText[] = "wnd";
constexpr int kStateIndexDisabled = 3;
constexpr int kStateIndexPushed = 2;
constexpr int kStateIndexHovered = 1;

std::wstring Wide(V value) { return base::Utf8ToWide(value); }

// The platform's colour value to GDI+'s 0xAARRGGBB.
Gdiplus::Color ToGdiplus(COLORREF color, int alpha) {
    return Gdiplus::Color(static_cast<BYTE>(std::clamp(alpha, 0, kOpaqueAlpha)), GetRValue(color), GetGValue(color),
                          GetBValue(color));
}
}  // namespace

HRESULT LxLayoutParam::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    using A = LxAttribute<LxLayoutParam>;
    static const A kTable[] = {
        {"layout_width", [](LxLayoutParam& p, V v, bool) { p.width = p.ReadLength(v); }},
        {"layout_height", [](LxLayoutParam& p, V v, bool) { p.height = p.ReadLength(v); }},
        {"layout_margin_left", [](LxLayoutParam& p, V v, bool) { p.marginLeft = ClampCoordinate(ReadInt(v)); }},
        {"layout_margin_right", [](LxLayoutParam& p, V v, bool) { p.marginRight = ClampCoordinate(ReadInt(v)); }},
        {"layout_margin_top", [](LxLayoutParam& p, V v, bool) { p.marginTop = ClampCoordinate(ReadInt(v)); }},
        {"layout_margin_bottom", [](LxLayoutParam& p, V v, bool) { p.marginBottom = ClampCoordinate(ReadInt(v)); }},
        {"layout_place_holder", [](LxLayoutParam& p, V v, bool) { p.placeHolder = ReadInt(v); }},
        {"layout_float", [](LxLayoutParam& p, V v, bool) { p.isFloat = ReadInt(v); }},
        {"layout_min_width", [](LxLayoutParam& p, V v, bool) { p.minWidth = ReadInt(v); }},
        {"layout_max_width", [](LxLayoutParam& p, V v, bool) { p.maxWidth = ReadInt(v); }},
        {"layout_min_height", [](LxLayoutParam& p, V v, bool) { p.minHeight = ReadInt(v); }},
        {"layout_max_height", [](LxLayoutParam& p, V v, bool) { p.maxHeight = ReadInt(v); }},
    };
    if (!ApplyAttribute(kTable, *this, name, value, loading)) return kUnknownAttribute;
    if (!loading && (name == "layout_width" || name == "layout_height")) owner_.RequestRelayout();
    return S_OK;
}

int LxLayoutParam::ReadLength(std::string_view value) const {
    const int v = ReadInt(value);
    if (v == kLayoutUnset || v == kLayoutOffered) return v;
    return std::max(ClampCoordinate(owner_.ScaleValue(ClampCoordinate(v))), 0);
}

CLxWindow::CLxWindow() : handle_(LxWindowRegistry::Instance().Register(this)), layout_(*this) {}

CLxWindow::~CLxWindow() { LxWindowRegistry::Instance().Unregister(handle_); }

HRESULT CLxWindow::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    using A = LxAttribute<CLxWindow>;
    static const A kTable[] = {
        {"class", [](CLxWindow& w, V v, bool) { w.className_ = v; }},
        {"id", [](CLxWindow& w, V v, bool) { w.id_ = ReadInt(v); }},
        {"alphatxt", [](CLxWindow& w, V v, bool) { w.alphaText_ = ReadInt(v); }},
        {"crbg", [](CLxWindow& w, V v, bool) { w.crbg_ = ReadColor(v); }},
        {"crtext", [](CLxWindow& w, V v, bool) { w.crText_ = ReadColor(v); }},
        {"font", [](CLxWindow& w, V v, bool) { w.fontCode_ = static_cast<uint16_t>(ReadHex(v)); }},
        {"href", [](CLxWindow& w, V v, bool) { w.href_ = Wide(v); }},
        {"tip", [](CLxWindow& w, V v, bool) { w.tip_ = Wide(v); }},
        {"valign", [](CLxWindow& w, V v, bool) {
             if (v == "top") w.valign_ = 0;
             if (v == "middle") w.valign_ = kVAlignMiddle;
             if (v == "bottom") w.valign_ = kVAlignBottom;
         }},
        {"align", [](CLxWindow& w, V v, bool) {
             if (v == "left") w.align_ = 0;
             if (v == "center") w.align_ = kAlignCenter;
             if (v == "right") w.align_ = kAlignRight;
         }},
        {"pos", [](CLxWindow& w, V v, bool loading) {
             w.pos_ = ParsePos(v, [&w](int length) { return w.ScaleValue(length); });
             w.posGiven_ = true;
             w.posFlags_ = (w.posFlags_ & ~(kPosWidthFixed | kPosWidthFull | kPosHeightFixed | kPosHeightFull)) |
                           kPosWidthAuto | kPosHeightAuto;
             if (!loading) w.RequestRelayout();
         }},
        {"transparent", [](CLxWindow& w, V v, bool) { w.transparent_ = ReadInt(v); }},
        {"headacceptlbtndownmsg", [](CLxWindow& w, V v, bool) { w.headAcceptLButtonDown_ = ReadInt(v); }},
        {"userdata", [](CLxWindow& w, V v, bool) { w.userData_ = ReadInt(v); }},
        {"notify", [](CLxWindow& w, V v, bool) { w.notify_ = ReadInt(v); }},
        {"forceupdatestyle", [](CLxWindow& w, V v, bool) { w.forceUpdateStyle_ = ReadInt(v); }},
        {"autofixtextrect", [](CLxWindow& w, V v, bool) { w.autoFixTextRect_ = ReadInt(v); }},
        {"border", [](CLxWindow& w, V v, bool) { w.border_ = ReadInt(v); }},
        {"correctdrawbg", [](CLxWindow& w, V v, bool) { w.correctDrawBg_ = ReadInt(v); }},
    };
    if (ApplyAttribute(kTable, *this, name, value, loading)) return S_OK;
    return layout_.SetAttribute(name, value, loading);
}

void CLxWindow::Load(const TiXmlElement& element) {
    const char* inner = element.GetText();
    text_ = SubstituteStrings(base::Utf8ToWide(inner ? inner : ""), LxStringPool::Global());
    posFlags_ = 0;
    LoadAttributes(element);
    OnAttributesLoaded();
    if (HasAttribute(element, "show")) SetVisible(ReadInt(AttributeOf(element, "show")) != 0);
    if (pos_.count != 2 && pos_.count != 4) {
        const V width = AttributeOf(element, "width");
        const V height = AttributeOf(element, "height");
        const int w = ReadInt(width);
        const int h = ReadInt(height);
        fixedWidth_ = w > 0 ? ClampCoordinate(ScaleValue(w)) : 0;
        fixedHeight_ = h > 0 ? ClampCoordinate(ScaleValue(h)) : 0;
        posFlags_ |= w > 0 ? kPosWidthFixed : width == kFull ? kPosWidthFull : kPosWidthAuto;
        posFlags_ |= h > 0 ? kPosHeightFixed : height == kFull ? kPosHeightFull : kPosHeightAuto;
        if (posFlags_ & (kPosWidthAuto | kPosHeightAuto)) {
            const SIZE measured = CalcSize({0, 0});
            if (posFlags_ & kPosWidthAuto) fixedWidth_ = measured.cx;
            if (posFlags_ & kPosHeightAuto) fixedHeight_ = measured.cy;
        }
    }
    posFlags_ |= ReadInt(AttributeOf(element, "float")) != 0 ? kPosFloat : kPosNormal;
}

void CLxWindow::SetCursor() {
    ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(GetStyle().cursor)));
}

uint32_t CLxWindow::HitTest(int x, int y, bool) {
    const POINT point = {x, y};
    return ::PtInRect(&rect_, point) ? handle_ : 0;
}

bool CLxWindow::NeedRedrawWhenStateChange() {
    const LxStyle& style = GetStyle();
    if (CLxSkinBase* skin = LxSkinPool::Global().GetSkin(style.skin)) {
        if (!skin->IgnoreState()) return true;
    }
    return style.crHover != kNoColor || style.hoverFont != 0 || style.crbgHover != kNoColor ||
           style.crPush != kNoColor || style.pushFont != 0;
}

void CLxWindow::RedrawRegion(HDC dc, HRGN region) {
    if (region && !::RectInRegion(region, &rect_)) return;
    DrawBackground(dc);
    LRESULT result = 0;
    ProcessMessage(handle_, WM_PAINT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(region), &result);
}

void CLxWindow::DrawBackground(HDC dc) {
    if (border_) {
        SelectGuard brush(dc, ::GetStockObject(NULL_BRUSH));
        ::Rectangle(dc, rect_.left, rect_.top, rect_.right, rect_.bottom);
    }
    const LxStyle& style = GetStyle();
    if (CLxSkinBase* skin = LxSkinPool::Global().GetSkin(style.skin)) {
        skin->Draw(dc, rect_, BackgroundSlice(), static_cast<BYTE>(kOpaqueAlpha), IsScaled());
        return;
    }
    COLORREF color = crbg_ != kNoColor ? crbg_ : style.crbg;
    if ((state_ & kStateHover) && style.crbgHover != kNoColor) color = style.crbgHover;
    if (color == kNoColor || RectIsEmpty(rect_)) return;
    if (!style.bgGdiPlus) {
        base::unique_gdi_object brush(::CreateSolidBrush(color));
        ::FillRect(dc, &rect_, static_cast<HBRUSH>(brush.get()));
    } else if (EnsureGdiplus()) {
        Gdiplus::Graphics graphics(dc);
        Gdiplus::SolidBrush brush(ToGdiplus(color, style.alphaBg));
        graphics.FillRectangle(&brush, rect_.left, rect_.top, RectWidth(rect_), RectHeight(rect_));
    }
}

bool CLxWindow::ProcessMessage(uint32_t, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    bool handled = true;
    switch (message) {
        case WM_CREATE:
            if (result) *result = 1;
            break;
        case WM_PAINT:
            OnPaint(reinterpret_cast<HDC>(wParam), reinterpret_cast<HRGN>(lParam));
            break;
        case WM_DESTROY:
            break;
        case kLxMsgPositionChanged:
            if (lParam) OnPositionChanged(*reinterpret_cast<const LxPosChange*>(lParam));
            break;
        case kLxMsgCalcSize:
            if (lParam) {
                SIZE* size = reinterpret_cast<SIZE*>(lParam);
                *size = CalcSize(*size);
            }
            break;
        case WM_SHOWWINDOW:
            SetVisible(wParam != 0);
            break;
        case WM_MOUSEMOVE:
        case WM_MOUSELEAVE:
            SendWndMouse(message);
            if (mouseListener_) mouseListener_->OnElementMouse(*this, message);
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            if (mouseListener_) mouseListener_->OnElementMouse(*this, message);
            break;
        default:
            handled = false;
            break;
    }
    handled_ = handled ? 1 : 0;
    return handled;
}

void CLxWindow::SendWndMouse(UINT message) {
    constexpr int32_t kNotifyMove = 0x1;
    constexpr int32_t kNotifyLeave = 0x2;
    const bool move = message == WM_MOUSEMOVE;
    if (!container_ || !(notify_ & (move ? kNotifyMove : kNotifyLeave))) return;
    const UINT_PTR controlId = static_cast<UINT_PTR>(::GetDlgCtrlID(container_));
    LxWndMouseRecord record = {};
    record.hdr.hwndFrom = container_;
    record.hdr.idFrom = controlId;
    record.hdr.code = LXNM_WNDMOUSE;
    record.id = id_;
    record.text = kWndText;
    record.subCode = move ? kWndMouseMove : kWndMouseLeave;
    ::SendMessageW(container_, WM_NOTIFY, controlId, reinterpret_cast<LPARAM>(&record));
}

void CLxWindow::OnPaint(HDC dc, HRGN) { DrawElementText(dc, *this); }

void CLxWindow::OnPositionChanged(const LxPosChange& change) {
    rect_.left = ClampCoordinate(change.origin.x);
    rect_.top = ClampCoordinate(change.origin.y);
    const SIZE offered = {std::max(RectWidth(change.parentContent), 0), std::max(RectHeight(change.parentContent), 0)};
    const SIZE size = CalcSize(offered);
    rect_.right = ClampCoordinate(static_cast<int64_t>(rect_.left) + std::max<LONG>(size.cx, 0));
    rect_.bottom = ClampCoordinate(static_cast<int64_t>(rect_.top) + std::max<LONG>(size.cy, 0));
    if (posFlags_ & kPosWidthFull) {
        rect_.right = std::max(change.parentContent.right, rect_.left);
    } else if (posFlags_ & kPosWidthFixed) {
        rect_.right = ClampCoordinate(static_cast<int64_t>(rect_.left) + fixedWidth_);
    }
    if (posFlags_ & kPosHeightFull) {
        rect_.bottom = std::max(change.parentContent.bottom, rect_.top);
    } else if (posFlags_ & kPosHeightFixed) {
        rect_.bottom = ClampCoordinate(static_cast<int64_t>(rect_.top) + fixedHeight_);
    }
}

SIZE CLxWindow::CalcSize(SIZE offered) {
    if (pos_.count == 4) {
        // Corner (3, 4) minus corner (1, 2), both resolved in the offered
        // box; a pos whose far corner lies before the near one is empty.
        const int w = ResolvePosItem(pos_.items[2], 0, offered.cx) - ResolvePosItem(pos_.items[0], 0, offered.cx);
        const int h = ResolvePosItem(pos_.items[3], 0, offered.cy) - ResolvePosItem(pos_.items[1], 0, offered.cy);
        return {std::max(w, 0), std::max(h, 0)};
    }
    return NaturalSize(offered);
}

SIZE CLxWindow::NaturalSize(SIZE offered) {
    auto layoutLength = [](int length, LONG offer) -> LONG {
        return length == kLayoutOffered ? offer : std::max(length, 0);
    };
    if (layout_.width != kLayoutUnset && layout_.height != kLayoutUnset) {
        return {layoutLength(layout_.width, offered.cx), layoutLength(layout_.height, offered.cy)};
    }
    const LxStyle& style = GetStyle();
    RECT box = rect_;
    if (offered.cx > 0 || offered.cy > 0) {
        box = {rect_.left, rect_.top, rect_.left + offered.cx, rect_.top + offered.cy};
    }
    ::InflateRect(&box, -style.xMargin, -style.yMargin);
    SIZE text = MeasureElementText(*this, box);
    text.cx = std::clamp<LONG>(text.cx, layout_.minWidth, std::max(layout_.maxWidth, layout_.minWidth));
    text.cy = std::clamp<LONG>(text.cy, layout_.minHeight, std::max(layout_.maxHeight, layout_.minHeight));
    SIZE size = {ClampCoordinate(static_cast<int64_t>(text.cx) + 2LL * style.xMargin),
                 ClampCoordinate(static_cast<int64_t>(text.cy) + 2LL * style.yMargin)};
    if (layout_.width != kLayoutUnset) size.cx = layoutLength(layout_.width, offered.cx);
    if (layout_.height != kLayoutUnset) size.cy = layoutLength(layout_.height, offered.cy);
    return size;
}

void CLxWindow::RequestRelayout() {
    if (CLxDialog* parent = ParentContainer()) parent->RepositionChild(*this);
}

int CLxWindow::ScaleValue(int value) { return scaled_ ? LxDisplayScaler::Instance().Scale(value) : value; }

int CLxWindow::UnscaleValue(int value) { return scaled_ ? LxDisplayScaler::Instance().Unscale(value) : value; }

void CLxWindow::SetParent(uint32_t parent) {
    parent_ = parent;
    if (CLxWindow* p = FindElement(parent)) scaled_ = p->scaled_;
}

bool CLxWindow::IsVisible(bool checkParents) const {
    if (state_ & kStateInvisible) return false;
    if (!checkParents) return true;
    for (const CLxWindow* p = Parent(); p; p = p->Parent()) {
        if (p->state_ & kStateInvisible) return false;
    }
    return true;
}

bool CLxWindow::IsDisabled(bool checkParents) const {
    if (state_ & kStateDisable) return true;
    if (!checkParents) return false;
    for (const CLxWindow* p = Parent(); p; p = p->Parent()) {
        if (p->state_ & kStateDisable) return true;
    }
    return false;
}

void CLxWindow::SetVisible(bool show) {
    if (show == IsVisible(false)) return;
    ModifyState(show ? 0 : kStateInvisible, show ? kStateInvisible : 0);
    if (CLxDialog* parent = ParentContainer()) parent->OnChildAttributeChanged(*this, "show");
}

const LxStyle& CLxWindow::GetStyle() const { return LxStylePool::Global().GetStyle(className_); }

CLxSkinBase* CLxWindow::GetSkin() const {
    const V own = OwnSkinName();
    return LxSkinPool::Global().GetSkin(own.empty() ? V(GetStyle().skin) : own);
}

HFONT CLxWindow::GetFont(bool force) const {
    const uint16_t code = fontCode_ ? fontCode_ : GetStyle().font;
    if (code == 0 && !force) return nullptr;
    return LxFontPool::Global().GetFont(code, IsScaled());
}

int CLxWindow::StateIndex() const {
    if (IsDisabled(true)) return kStateIndexDisabled;
    if (state_ & kStatePush) return kStateIndexPushed;
    if (state_ & kStateHover) return kStateIndexHovered;
    return 0;
}

CLxWindow* CLxWindow::Parent() const { return FindElement(parent_); }

CLxDialog* CLxWindow::ParentContainer() const {
    CLxWindow* parent = Parent();
    return parent && parent->IsContainer() ? static_cast<CLxDialog*>(parent) : nullptr;
}

}  // namespace ui
