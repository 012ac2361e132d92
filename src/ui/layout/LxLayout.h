// A window's content from a "layer" document: the native window's style and
// size, and up to three root panels ("header", "body", "footer") holding the
// element tree. Hosts load one, lay it out on every size change, paint it
// into their back buffer and hand its panels to the mouse router.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ui/elements/LxDialog.h"

namespace ui {

constexpr int kWizardLayoutId = 11001;
constexpr int kMessageBoxLayoutId = 11004;

constexpr DWORD kLayerBaseStyle = 0x80090000;
constexpr DWORD kLayerBaseExStyle = 0x10000;

// The extended host (a top-level dialog view) lets a "full" header alone
// fill the window and reads "layered"; the plain host (a child view) does not.
enum class LxHostKind { Plain, Extended };

// What the "layer" element says about the native window.
struct LxLayerInfo {
    std::wstring title;
    std::string frame;
    int width = 0;
    int height = 0;
    int minWidth = 0;
    int minHeight = 0;
    bool dpiAware = false;
    bool appWin = false;
    bool layered = false;
    bool child = false;
    bool holdSize = false;
    int resize = -1;  // -1 absent
    bool noBorder = false;
    bool noMove = false;
    DWORD style = kLayerBaseStyle;
    DWORD exStyle = kLayerBaseExStyle;
    bool resizable() const { return resize > 0; }
};
// Style and extended style from the layer attributes.
void ComputeLayerStyles(LxLayerInfo& info, LxHostKind kind);

class LxLayout {
public:
    explicit LxLayout(LxHostKind kind = LxHostKind::Extended) : kind_(kind) {}

    // Builds the panels from a document; a document that does not parse or
    // whose root is not "layer" builds nothing (false). Loading again
    // replaces every element.
    bool LoadLayout(std::string_view xml);
    // The document of the XML resource `id` of the application module.
    bool LoadLayoutResource(int id);
    bool Loaded() const { return loaded_; }

    // Lays the panels out in the client rectangle: the header from the top,
    // the footer at the bottom, the body between them. Skipped when the
    // rectangle has no width.
    void Arrange(const RECT& client);
    // With the base font, the transparent background mode and the region as
    // clip (when one is given): the frame skin over the client rectangle, then
    // header, body and footer (each only where it meets the region). The
    // device context is left as it was.
    void Paint(HDC dc, HRGN region);

    CLxDialog* Header() const { return header_.get(); }
    CLxDialog* Body() const { return body_.get(); }
    CLxDialog* Footer() const { return footer_.get(); }
    bool HeaderFull() const { return headerFull_; }
    const LxLayerInfo& Layer() const { return layer_; }
    // The layer's size, each at least its minimum.
    SIZE InitialClientSize() const;
    const RECT& Client() const { return client_; }

    // An element by id: header, then body, then footer.
    CLxWindow* FindChildById(int id) const;
    // Every element of the three panels, panels included, in paint order.
    void VisitElements(const std::function<void(CLxWindow&)>& visit) const;
    // The native window that hosts the panels.
    void SetContainer(HWND container);
    // The factory for the tags of later loads (LxTagFactory::Default()).
    void SetCreator(ILxControlCreator* creator) { creator_ = creator; }

private:
    std::unique_ptr<CLxDialog> LoadPanel(const TiXmlElement& element, const char* posFormat);

    LxHostKind kind_;
    LxLayerInfo layer_;
    std::unique_ptr<CLxDialog> header_;
    std::unique_ptr<CLxDialog> body_;
    std::unique_ptr<CLxDialog> footer_;
    bool headerFull_ = false;
    bool loaded_ = false;
    RECT client_ = {};
    HWND container_ = nullptr;
    ILxControlCreator* creator_ = nullptr;
};

}  // namespace ui
