#include "ui/elements/LxDialog.h"

#include <tinyxml.h>

#include <algorithm>

#include "ui/LxGdi.h"
#include "ui/LxXml.h"
#include "ui/elements/LxWindowRegistry.h"
#include "ui/pools/LxStyle.h"

namespace ui {

namespace {
bool HasPosition(const CLxWindow& child) { return child.Pos().count == 2 || child.Pos().count == 4; }
bool IsFlowChild(const CLxWindow& child) { return !HasPosition(child) && !child.HasBadPos(); }
}  // namespace

CLxDialog::~CLxDialog() = default;

void CLxDialog::Load(const TiXmlElement& element) {
    CLxWindow::Load(element);
    LoadChildren(element.FirstChildElement());
}

HRESULT CLxDialog::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    using A = LxAttribute<CLxDialog>;
    static const A kTable[] = {
        {"onlydrawchild", [](CLxDialog& d, std::string_view v, bool) { d.onlyDrawChild_ = ReadInt(v); }},
    };
    if (ApplyAttribute(kTable, *this, name, value, loading)) return S_OK;
    return CLxPanel::SetAttribute(name, value, loading);
}

void CLxDialog::SetContainer(HWND container) {
    CLxWindow::SetContainer(container);
    for (auto& child : children_) child->SetContainer(container);
}

void CLxDialog::RelayToChildren(UINT message, WPARAM wParam, LPARAM lParam) {
    for (auto& child : children_) child->RelayToChildren(message, wParam, lParam);
}

uint32_t CLxDialog::HitTest(int x, int y, bool onlyChild) {
    const POINT point = {x, y};
    const RECT& rect = Rect();
    if (!::PtInRect(&rect, point)) return 0;
    if (buttonTarget_ || onlyDrawChild_) return Handle();
    for (const bool floating : {true, false}) {
        for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
            CLxWindow& child = **it;
            if (((child.PosFlags() & kPosFloat) != 0) != floating) continue;
            if (!child.IsVisible(false) || child.IsTransparent()) continue;
            if (const uint32_t hit = child.HitTest(x, y, onlyChild)) return hit;
        }
    }
    return Handle();
}

bool CLxDialog::ProcessMessage(uint32_t handle, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const bool handled = CLxPanel::ProcessMessage(handle, message, wParam, lParam, result);
    if (message == WM_DESTROY) children_.clear();
    if (message == WM_SHOWWINDOW) ShowAllRealWindows(wParam != 0);
    return handled;
}

CLxWindow* CLxDialog::FindChildById(int id) {
    for (auto& child : children_) {
        if (child->Id() == id) return child.get();
    }
    for (auto& child : children_) {
        if (!child->IsContainer()) continue;
        if (CLxWindow* found = static_cast<CLxDialog&>(*child).FindChildById(id)) return found;
    }
    return nullptr;
}

RECT CLxDialog::ContentRect() const {
    RECT content = Rect();
    const LxStyle& style = GetStyle();
    ::InflateRect(&content, -style.xMargin, -style.yMargin);
    return content;
}

void CLxDialog::RepositionChildren() {
    bool flow = false;
    for (auto& child : children_) {
        if (IsFlowChild(*child)) {
            flow = true;
        } else {
            RepositionChild(*child);
        }
    }
    if (flow) LayoutFlow();
}

void CLxDialog::RepositionChild(CLxWindow& child) {
    if (IsFlowChild(child)) {
        LayoutFlow();
        return;
    }
    if (!HasPosition(child)) {
        // A malformed "pos": an empty rectangle, neither drawn nor hit.
        child.SetRect({0, 0, 0, 0});
        return;
    }
    const RECT content = ContentRect();
    LxPosChange change;
    change.origin = {ResolvePosItem(child.Pos().items[0], content.left, content.right),
                     ResolvePosItem(child.Pos().items[1], content.top, content.bottom)};
    change.parentContent = content;
    LRESULT result = 0;
    child.ProcessMessage(child.Handle(), kLxMsgPositionChanged, 0, reinterpret_cast<LPARAM>(&change), &result);
}

void CLxDialog::LayoutFlow() {
    const RECT content = ContentRect();
    const LxStyle& style = GetStyle();
    LxPosChange change;
    change.parentContent = content;
    LRESULT result = 0;
    int x = content.left;
    int y = content.top;
    int lineHeight = 0;
    for (auto& child : children_) {
        if (!IsFlowChild(*child) || (child->PosFlags() & kPosFloat) || !child->IsVisible(false)) continue;
        SIZE size = {std::max<LONG>(RectWidth(content), 0), std::max<LONG>(RectHeight(content), 0)};
        child->ProcessMessage(child->Handle(), kLxMsgCalcSize, 0, reinterpret_cast<LPARAM>(&size), &result);
        if (x > content.left && x + size.cx > content.right) {
            x = content.left;
            y = ClampCoordinate(static_cast<int64_t>(y) + std::max(lineHeight, style.lineSpacing));
            lineHeight = 0;
        }
        change.origin = {x, y};
        child->ProcessMessage(child->Handle(), kLxMsgPositionChanged, 0, reinterpret_cast<LPARAM>(&change), &result);
        x = ClampCoordinate(static_cast<int64_t>(child->Rect().right) + style.spacing);
        lineHeight = std::max(lineHeight, static_cast<int>(RectHeight(child->Rect())));
    }
    change.origin = {content.left, content.top};
    for (auto& child : children_) {
        if (IsFlowChild(*child) && (child->PosFlags() & kPosFloat)) {
            child->ProcessMessage(child->Handle(), kLxMsgPositionChanged, 0, reinterpret_cast<LPARAM>(&change),
                                  &result);
        }
    }
}

void CLxDialog::LoadChildren(const TiXmlElement* first) {
    children_.clear();
    if (Depth() >= static_cast<int>(kMaxXmlDepth)) return;
    for (const TiXmlElement* e = first; e; e = e->NextSiblingElement()) {
        std::unique_ptr<CLxWindow> child = CreateChildByTag(e->Value());
        if (!child) continue;
        child->SetParent(Handle());
        child->SetContainer(Container());
        child->SetDepth(Depth() + 1);
        if (child->IsContainer()) static_cast<CLxDialog&>(*child).SetCreator(creator_);
        child->Load(*e);
        children_.push_back(std::move(child));
    }
}

void CLxDialog::ShowAllRealWindows(bool show) {
    for (auto& child : children_) {
        if (child->IsContainer()) static_cast<CLxDialog&>(*child).ShowAllRealWindows(show && child->IsVisible(false));
    }
}

std::unique_ptr<CLxWindow> CLxDialog::CreateChildByTag(std::string_view tag) {
    if (creator_) return creator_->CreateControl(tag);
    if (tag == "dlg") return std::make_unique<CLxDialog>();
    return nullptr;
}

CLxWindow& CLxDialog::AppendChild(std::unique_ptr<CLxWindow> child) {
    child->SetParent(Handle());
    child->SetContainer(Container());
    child->SetDepth(Depth() + 1);
    if (child->IsContainer()) static_cast<CLxDialog&>(*child).SetCreator(creator_);
    children_.push_back(std::move(child));
    return *children_.back();
}

void CLxDialog::OnPaint(HDC dc, HRGN region) {
    CLxPanel::OnPaint(dc, region);
    for (auto& child : children_) {
        if (child->IsVisible(false)) child->RedrawRegion(dc, region);
    }
}

void CLxDialog::OnPositionChanged(const LxPosChange& change) {
    CLxPanel::OnPositionChanged(change);
    RepositionChildren();
}

}  // namespace ui
