// The host windows of skinned dialogs: a native window that owns the three
// root panels of a layout, renders them into a 32-bit back buffer (only the
// invalidated element rectangles between full redraws), presents the buffer
// by a plain copy or, for a layered window, by a per-pixel-alpha update of
// the whole window, and turns native mouse messages into element events
// (LxMouseRouter). A top-level host has no non-client frame and casts a
// shadow (CShadowWnd); a child host reports to its parent window.
//
//   CLxDialogViewImpl    the plain host: a child view inside a dialog
//                        (CLxDialogImpl); clicks go to the parent with the
//                        view's control id
//   CLxDialogViewImplEx  the extended host: a top-level dialog view; clicks
//                        come back to the window itself (sender id -1)
//
// Owners derive from a host and override HandleMessage (calling the base for
// what they leave alone), OnPaintHook (their own drawing after the panels),
// OnPresentHook and OnWindowShape. Notifications arrive as WM_NOTIFY with an
// LxNotifyRecord; the window's initialisation as WM_INITDIALOG, sent once the
// layout is loaded and laid out, before the window is shown.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/unique_any.h"
#include "ui/LxGdi.h"
#include "ui/elements/LxMouseRouter.h"
#include "ui/host/LxNativeWindow.h"
#include "ui/host/LxShadowWnd.h"
#include "ui/layout/LxLayout.h"

namespace ui {

// Style of a host created with none while no layout is loaded: a visible
// child that clips its children; and its extended style.
constexpr DWORD kDefaultHostStyle = 0x52010000;
constexpr DWORD kDefaultHostExStyle = 0x10000;
constexpr BYTE kDefaultLayeredAlpha = 255;

// Serialises rendering between host windows of several threads when the
// process registers one (null: no lock).
void SetPaintLock(CRITICAL_SECTION* lock);

// Told after every relayout of a host's panels.
class ILxSizeListener {
public:
    virtual void OnHostLayout(const RECT& client) = 0;

protected:
    ~ILxSizeListener() = default;
};

// Told after each present of a host's buffer to its window (a layered
// update or a copy), with the host's window.
class ILxPresentListener {
public:
    virtual void OnHostPresented(HWND host) = 0;

protected:
    ~ILxPresentListener() = default;
};

// What painting did, counted since creation (tests and the bench read it).
struct LxPaintStats {
    unsigned renders = 0;          // render passes into the back buffer
    unsigned fullRenders = 0;      // of which redrew everything
    unsigned layeredPresents = 0;  // presents through the layered update
    unsigned copyPresents = 0;     // presents by a plain copy
};

class CLxDialogViewImpl : public CLxNativeWindow, private ILxMouseHost {
public:
    explicit CLxDialogViewImpl(int layoutId = kWizardLayoutId) : CLxDialogViewImpl(layoutId, LxHostKind::Plain) {}
    ~CLxDialogViewImpl() override;

    // Creates the native window. With style 0 the layer's style and extended
    // style apply (kDefaultHostStyle / kDefaultHostExStyle when no layout
    // could be loaded); a null rect places the window at (0, 0) with the
    // layer's size. The layout resource is loaded first unless a layout was
    // loaded before. A child window takes `controlId`.
    HWND Create(HWND parent, const RECT* rect = nullptr, DWORD style = 0, DWORD exStyle = 0, UINT_PTR controlId = 0);

    // Builds the panels from a document (replacing every element); with a
    // window, lays them out at once and forgets pressed and hovered elements.
    bool LoadLayout(std::string_view xml);
    bool LoadLayoutResource(int id);
    int LayoutResourceId() const { return layoutId_; }
    LxLayout& Layout() { return layout_; }
    const LxLayout& Layout() const { return layout_; }

    CLxWindow* FindChildById(int id) const { return layout_.FindChildById(id); }
    // Find, set and repaint (old and new rectangle); false when no element has the id.
    bool SetItemAttribute(int id, std::string_view name, std::string_view value);
    bool SetItemText(int id, std::wstring text);
    bool SetItemVisible(int id, bool show);
    bool EnableItem(int id, bool enable);
    // Adds the element's rectangle to the update region and invalidates it;
    // with checkVisible an element that is hidden (or under a hidden
    // ancestor) is ignored.
    void RedrawItem(const CLxWindow* element, bool checkVisible = true);
    // The whole buffer is rendered again at the next paint.
    void RedrawAll();
    // Renders what is waiting into the back buffer now, without presenting.
    void Render();
    // Renders what is waiting and presents it now, without a paint message.
    void RenderAndPresent();

    // Options, set before Create.
    void EnableShadow(bool on) { shadowEnabled_ = on; }
    void SetOwnerPaintHook(bool on) { ownerPaintHook_ = on; }
    void SetCompositionCheck(bool on) { compositionCheck_ = on; }
    void SetLayeredAlpha(BYTE alpha) { layeredAlpha_ = alpha; }
    void AddSizeListener(ILxSizeListener* listener);
    void RemoveSizeListener(ILxSizeListener* listener);
    // One listener at most; null removes it.
    void SetPresentListener(ILxPresentListener* listener) { presentListener_ = listener; }

    bool IsLayered() const;
    CShadowWnd& Shadow() { return shadow_; }
    HWND ToolTipWindow() const { return tooltip_.get(); }
    LxDib* BackBuffer() const { return buffer_.get(); }
    const LxPaintStats& PaintStats() const { return stats_; }
    const LxMouseRouter& Router() const { return router_; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    CLxDialogViewImpl(int layoutId, LxHostKind kind);

    // The owner's drawing after the panels (top-level hosts only), clipped
    // to the region being rendered.
    virtual void OnPaintHook(HDC, const RECT&) {}
    // Called before the buffer is presented.
    virtual void OnPresentHook(HDC) {}
    // Called after presenting while the compositor's glass frame is active.
    virtual void OnWindowShape() {}

private:
    // ILxMouseHost
    void Notify(UINT code, int32_t id, const char* className) override;
    void Capture(bool on) override;
    void Redraw(CLxWindow& element) override { RedrawItem(&element, true); }
    void TakeFocus() override { ::SetFocus(hwnd()); }
    bool IsMinimized() override;
    void StartMove() override;
    void StartBorderDrag(int hitCode) override;
    void ToggleMaximize() override;
    void OpenHref(const std::wstring& href) override;
    void SetToolTip(const std::wstring& text) override;
    void TrackLeave() override;

    void OnCreate();
    void OnDestroy();
    void OnSize(WPARAM kind, int width, int height);
    LRESULT OnNcCalcSize(WPARAM wParam, LPARAM lParam);
    int HitTestFrame(POINT screen) const;
    bool OnSetCursor(LPARAM lParam);
    void OnMouse(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void Present(HDC dc);
    void Relayout();
    void AddToRegion(const RECT& rect);
    void DrawChildOutline(HDC dc) const;
    void CreateToolTip();
    void SetUpGlassFrame();

    LxHostKind kind_;
    int layoutId_;
    LxLayout layout_;
    LxMouseRouter router_;
    int lastHitCode_ = kHitClient;
    std::unique_ptr<LxDib> buffer_;
    base::unique_gdi_object region_;
    bool dirty_ = false;
    bool redrawAll_ = true;
    bool ownerPaintHook_ = true;
    BYTE layeredAlpha_ = kDefaultLayeredAlpha;
    bool shadowEnabled_ = true;
    bool compositionCheck_ = false;
    bool glassActive_ = false;
    base::unique_hwnd tooltip_;
    std::wstring tipText_;
    CShadowWnd shadow_;
    std::vector<ILxSizeListener*> sizeListeners_;
    ILxPresentListener* presentListener_ = nullptr;
    LxPaintStats stats_;
};

class CLxDialogViewImplEx : public CLxDialogViewImpl {
public:
    explicit CLxDialogViewImplEx(int layoutId = kWizardLayoutId) : CLxDialogViewImpl(layoutId, LxHostKind::Extended) {}
};

using CLxDialogView = CLxDialogViewImpl;
using CLxDialogViewEx = CLxDialogViewImplEx;

}  // namespace ui
