// CLxWindow: one drawn element of a skinned window. Elements form a tree
// (containers own their children), take their look from the pools, are laid
// out by "pos" and painted into the host's device context; the host relays
// mouse messages to them (LxMouseRouter).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/LxObject.h"
#include "ui/elements/LxPos.h"
#include "ui/pools/LxReaders.h"

namespace ui {

class CLxDialog;
class CLxSkinBase;
class LxStyle;

// LxWndState bits.
constexpr uint32_t kStateHover = 0x01;
constexpr uint32_t kStatePush = 0x02;
constexpr uint32_t kStateCheck = 0x04;
constexpr uint32_t kStateInvisible = 0x08;
constexpr uint32_t kStateDisable = 0x10;

// LxPosFlags bits.
constexpr uint32_t kPosWidthFixed = 0x001;
constexpr uint32_t kPosWidthAuto = 0x002;
constexpr uint32_t kPosWidthFull = 0x004;
constexpr uint32_t kPosHeightFixed = 0x010;
constexpr uint32_t kPosHeightAuto = 0x020;
constexpr uint32_t kPosHeightFull = 0x040;
constexpr uint32_t kPosNormal = 0x100;
constexpr uint32_t kPosFloat = 0x200;

// "valign" and "align" values.
constexpr uint32_t kVAlignMiddle = 0x1000;
constexpr uint32_t kVAlignBottom = 0x2000;
constexpr uint32_t kAlignCenter = 0x4000;
constexpr uint32_t kAlignRight = 0x8000;

// Element messages beyond the platform's mouse messages: the position
// changed (lParam: const LxPosChange*) and the size computation (lParam:
// SIZE*, the offered size in, the element's size out). Paint carries the
// device context in wParam and the update region (or null) in lParam.
constexpr UINT kLxMsgPositionChanged = WM_WINDOWPOSCHANGED;
constexpr UINT kLxMsgCalcSize = WM_NCCALCSIZE;

// Layout width and height values.
constexpr int kLayoutUnset = -1;
constexpr int kLayoutOffered = -2;

// The origin an element takes and its parent's content box.
struct LxPosChange {
    POINT origin;
    RECT parentContent;
};

namespace LxWin {
// The second interface of every element.
class ILxWindow {
public:
    // Asks the parent container to position this element again.
    virtual void RequestRelayout() = 0;
    // Display scaling of lengths; unchanged for elements that are not scaled.
    virtual int ScaleValue(int value) = 0;
    virtual int UnscaleValue(int value) = 0;

protected:
    ~ILxWindow() = default;
};
}  // namespace LxWin

// Told of the button and move messages that reach an element.
class ILxMouseListener {
public:
    virtual void OnElementMouse(class CLxWindow& element, UINT message) = 0;

protected:
    ~ILxMouseListener() = default;
};

// Layout parameters of an element ("layout_*" attributes).
class LxLayoutParam : public CLxObject {
public:
    explicit LxLayoutParam(LxWin::ILxWindow& owner) : owner_(owner) {}
    const char* GetObjectClass() const override { return "LxLayoutParam"; }
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;

    int marginLeft = 0;
    int marginRight = 0;
    int marginTop = 0;
    int marginBottom = 0;
    int width = kLayoutUnset;
    int height = kLayoutUnset;
    int minWidth = 0;
    int maxWidth = 0x7FFFFFFF;
    int minHeight = 0;
    int maxHeight = 0x7FFFFFFF;
    int placeHolder = 0;
    int isFloat = 0;

private:
    int ReadLength(std::string_view value) const;
    LxWin::ILxWindow& owner_;
};

class CLxWindow : public CLxObject, public LxWin::ILxWindow {
public:
    CLxWindow();
    ~CLxWindow() override;
    CLxWindow(const CLxWindow&) = delete;
    CLxWindow& operator=(const CLxWindow&) = delete;

    const char* GetObjectClass() const override { return "wnd"; }
    // Text (with "%strN%" taken from the string pool), attributes, "show",
    // then the size attributes when "pos" gave no position.
    void Load(const TiXmlElement& element) override;
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;

    virtual std::wstring GetToolTip() const { return tip_; }
    virtual bool IsHeadAcceptLButtonDown() const { return headAcceptLButtonDown_ != 0; }
    virtual void RelayToChildren(UINT, WPARAM, LPARAM) {}
    // Sets the cursor that the style names.
    virtual void SetCursor();
    virtual void ModifyState(uint32_t add, uint32_t remove) { state_ = (state_ | add) & ~remove; }
    virtual void SetContainer(HWND container) { container_ = container; }
    // This element's handle when the point lies inside its rectangle, else 0.
    virtual uint32_t HitTest(int x, int y, bool onlyChild);
    virtual bool NeedRedrawWhenStateChange();
    virtual bool IsContainer() const { return false; }
    // Background and content, unless a region is given that rect misses.
    virtual void RedrawRegion(HDC dc, HRGN region);
    virtual void DrawBackground(HDC dc);
    // Consumes the element messages (create, paint, destroy, position
    // changed, size computation, show, mouse); true when handled.
    virtual bool ProcessMessage(uint32_t handle, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // LxWin::ILxWindow
    void RequestRelayout() override;
    int ScaleValue(int value) override;
    int UnscaleValue(int value) override;

    // The parent's handle; also takes the parent's scaled flag.
    void SetParent(uint32_t parent);
    bool IsVisible(bool checkParents) const;
    bool IsDisabled(bool checkParents) const;
    // Toggles the invisible bit when visibility changes and tells the parent.
    void SetVisible(bool show);
    // The style of className, else the empty-named style.
    const LxStyle& GetStyle() const;
    // The skin the element names, else its style's; null when none exists.
    CLxSkinBase* GetSkin() const;
    // The font of the element's code, else its style's; with both 0 the base
    // font when forced, else null.
    HFONT GetFont(bool force) const;
    // The skin slice for the state: 3 disabled (here or above), 2 pushed,
    // 1 hovered, else 0.
    int StateIndex() const;

    CLxWindow* Parent() const;
    CLxDialog* ParentContainer() const;

    uint32_t Handle() const { return handle_; }
    uint32_t ParentHandle() const { return parent_; }
    HWND Container() const { return container_; }
    int32_t Id() const { return id_; }
    const RECT& Rect() const { return rect_; }
    void SetRect(const RECT& rect) { rect_ = rect; }
    uint32_t State() const { return state_; }
    uint32_t PosFlags() const { return posFlags_; }
    const LxPos& Pos() const { return pos_; }
    // A "pos" attribute was given but named no position (malformed).
    bool HasBadPos() const { return posGiven_ && pos_.count == 0; }
    const std::wstring& Text() const { return text_; }
    void SetText(std::wstring text) { text_ = std::move(text); }
    const std::wstring& Href() const { return href_; }
    const std::string& ClassName() const { return className_; }
    COLORREF BackgroundColor() const { return crbg_; }
    COLORREF TextColor() const { return crText_; }
    uint16_t FontCode() const { return fontCode_; }
    uint32_t TextMode() const { return textMode_; }
    uint32_t VAlign() const { return valign_; }
    uint32_t Align() const { return align_; }
    bool IsTransparent() const { return transparent_ != 0; }
    bool IsScaled() const { return scaled_ != 0; }
    void SetScaled(bool scaled) { scaled_ = scaled ? 1 : 0; }
    int FixedWidth() const { return fixedWidth_; }
    int FixedHeight() const { return fixedHeight_; }
    int UserData() const { return userData_; }
    int Notify() const { return notify_; }
    bool ForceUpdateStyle() const { return forceUpdateStyle_ != 0; }
    bool AutoFixTextRect() const { return autoFixTextRect_ != 0; }
    bool HasBorder() const { return border_ != 0; }
    bool CorrectDrawBg() const { return correctDrawBg_ != 0; }
    int AlphaText() const { return alphaText_; }
    bool Handled() const { return handled_ != 0; }
    LxLayoutParam& Layout() { return layout_; }
    const LxLayoutParam& Layout() const { return layout_; }
    void SetMouseListener(ILxMouseListener* listener) { mouseListener_ = listener; }
    // Nesting depth below the root panel (bounded while loading).
    int Depth() const { return depth_; }
    void SetDepth(int depth) { depth_ = depth; }

protected:
    // The skin name of the element itself ("img" and its kin have one).
    virtual std::string_view OwnSkinName() const { return {}; }
    // The slice of the style's skin that DrawBackground shows: the whole
    // state word (the skin wraps it), or the state index with correctdrawbg.
    virtual int BackgroundSlice() const { return correctDrawBg_ ? StateIndex() : static_cast<int>(state_); }
    // Paint message: the text (see LxTextPaint.h).
    virtual void OnPaint(HDC dc, HRGN region);
    // Takes the origin, computes the size, applies "full" and fixed sizes.
    virtual void OnPositionChanged(const LxPosChange& change);
    // With four pos items the distance between the corners resolved against
    // the offered size; otherwise the natural size.
    virtual SIZE CalcSize(SIZE offered);
    // Layout width and height when both are set, else the measured text plus
    // the style's margins (clamped to the layout bounds).
    virtual SIZE NaturalSize(SIZE offered);

private:
    void SendWndMouse(UINT message);

    uint32_t handle_;
    uint32_t parent_ = 0;
    HWND container_ = nullptr;
    int32_t id_ = 0;
    RECT rect_ = {};
    uint32_t posFlags_ = 0;
    std::wstring text_;
    int fixedWidth_ = 0;
    int fixedHeight_ = 0;
    uint32_t state_ = 0;
    uint32_t valign_ = 0;
    uint32_t align_ = 0;
    std::wstring href_;
    int32_t transparent_ = 0;
    std::wstring tip_;
    std::string className_;
    COLORREF crbg_ = kNoColor;
    COLORREF crText_ = kNoColor;
    uint16_t fontCode_ = 0;
    uint32_t textMode_ = 0;
    int32_t alphaText_ = -1;
    int32_t headAcceptLButtonDown_ = 0;
    LxPos pos_;
    bool posGiven_ = false;
    ILxMouseListener* mouseListener_ = nullptr;
    int32_t forceUpdateStyle_ = 0;
    int32_t autoFixTextRect_ = 1;
    int32_t border_ = 0;
    int32_t scaled_ = 0;
    int32_t userData_ = 0;
    int32_t correctDrawBg_ = 0;
    LxLayoutParam layout_;
    int32_t handled_ = 0;
    int32_t notify_ = 0;
    int depth_ = 0;
};

}  // namespace ui
