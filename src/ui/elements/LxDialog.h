// Containers: CLxDialog ("dlg") owns its children in paint order, creates
// them from a layout through a control creator, positions them by "pos" and
// answers hit tests for its subtree.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "ui/elements/LxWindow.h"

namespace ui {

// Creates the element for a tag name, or null for a tag it does not know.
class ILxControlCreator {
public:
    virtual std::unique_ptr<CLxWindow> CreateControl(std::string_view tag) = 0;

protected:
    ~ILxControlCreator() = default;
};

class CLxContainerWnd : public CLxWindow {};
class CLxPanel : public CLxContainerWnd {};

class CLxDialog : public CLxPanel {
public:
    CLxDialog() = default;
    ~CLxDialog() override;

    const char* GetObjectClass() const override { return "dlg"; }
    bool IsContainer() const override { return true; }
    // The element itself, then its children (LoadChildren).
    void Load(const TiXmlElement& element) override;
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    void SetContainer(HWND container) override;
    void RelayToChildren(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Outside: 0. A button container or "onlydrawchild": itself. Otherwise
    // the children from the last to the first, floating ones first, skipping
    // invisible and transparent ones; none answering: itself.
    uint32_t HitTest(int x, int y, bool onlyChild) override;
    bool ProcessMessage(uint32_t handle, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // The first child with the id: direct children in order first, then
    // depth-first into each child container.
    virtual CLxWindow* FindChildById(int id);
    virtual void RepositionChildren();
    virtual void RepositionChild(CLxWindow& child);
    virtual void OnChildAttributeChanged(CLxWindow&, std::string_view) {}
    // Destroys the current children, then creates, loads and appends one
    // child per element from `first` on, in document order. Elements deeper
    // than kMaxXmlDepth below the root panel are not created.
    virtual void LoadChildren(const TiXmlElement* first);
    virtual void ShowAllRealWindows(bool show);

    // The creator's element for a tag (a "dlg" even without a creator).
    std::unique_ptr<CLxWindow> CreateChildByTag(std::string_view tag);
    void SetCreator(ILxControlCreator* creator) { creator_ = creator; }
    ILxControlCreator* Creator() const { return creator_; }
    // Adopts a child made in code: parent, container and creator as loading gives them.
    CLxWindow& AppendChild(std::unique_ptr<CLxWindow> child);
    const std::vector<std::unique_ptr<CLxWindow>>& Children() const { return children_; }
    // The rectangle less the style's x-margin and y-margin.
    RECT ContentRect() const;
    bool OnlyDrawChild() const { return onlyDrawChild_ != 0; }

protected:
    void OnPaint(HDC dc, HRGN region) override;
    void OnPositionChanged(const LxPosChange& change) override;
    // Marks the container as its own hit target ("dlgbtn").
    void SetButtonTarget(bool on) { buttonTarget_ = on; }
    // Children without a position run left to right, wrapping at the right
    // edge, "spacing" apart and "linespacing" (at least) high; floating ones
    // come afterwards at the content origin.
    void LayoutFlow();

private:
    std::vector<std::unique_ptr<CLxWindow>> children_;
    ILxControlCreator* creator_ = nullptr;
    int32_t onlyDrawChild_ = 0;
    bool buttonTarget_ = false;
};

}  // namespace ui
