#include "ui/layout/LxLayout.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "ui/LxGdi.h"
#include "ui/LxXml.h"
#include "ui/layout/LxControlCreator.h"
#include "ui/pools/LxFontPool.h"
#include "ui/pools/LxReaders.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxSources.h"
#include "ui/scaling/LxDisplayScaler.h"

namespace ui {

namespace {
using V = std::string_view;
constexpr DWORD kAppWindowEx = 0x40000;
constexpr DWORD kLayeredEx = 0x80000;
constexpr DWORD kPopupStyle = 0x80000000;
constexpr DWORD kSysMenuStyle = 0x80000;
constexpr DWORD kChildStyle = 0x46000000;
constexpr DWORD kMaximizeBoxStyle = 0x10000;
constexpr DWORD kMinimizeBoxStyle = 0x20000;
constexpr DWORD kResizableStyle = 0x70000;
constexpr DWORD kNoBorderEx = 0x88;
constexpr DWORD kBorderEx = 0x300;
constexpr BYTE kOpaque = 255;
constexpr char kHeaderPos[] = "0,0,-0,%d";
constexpr char kFooterPos[] = "0,-%d,-0,-0";
constexpr char kFillPos[] = "0,0,-0,-0";
constexpr char kFull[] = "full";

bool Flag(V v) { return ReadInt(v) != 0; }

void VisitTree(CLxWindow& element, const std::function<void(CLxWindow&)>& visit) {
    visit(element);
    if (!element.IsContainer()) return;
    for (const auto& child : static_cast<CLxDialog&>(element).Children()) VisitTree(*child, visit);
}
}  // namespace

void ComputeLayerStyles(LxLayerInfo& info, LxHostKind kind) {
    info.style = kLayerBaseStyle;
    info.exStyle = kLayerBaseExStyle;
    if (info.appWin) info.exStyle |= kAppWindowEx;
    if (info.layered && kind == LxHostKind::Extended) info.exStyle |= kLayeredEx;
    if (info.child) {
        info.exStyle &= ~kLayeredEx;
        info.style &= ~(kPopupStyle | kSysMenuStyle);
        info.style |= kChildStyle;
        return;
    }
    if (info.resize == 0) {
        info.style = (info.style & ~kMaximizeBoxStyle) | kMinimizeBoxStyle;
    } else if (info.resize > 0) {
        info.style |= kResizableStyle;
    }
    info.exStyle |= info.noBorder ? kNoBorderEx : kBorderEx;
}

std::unique_ptr<CLxDialog> LxLayout::LoadPanel(const TiXmlElement& element, const char* posFormat) {
    auto panel = std::make_unique<CLxDialog>();
    panel->SetScaled(layer_.dpiAware);
    panel->SetCreator(creator_ ? creator_ : &LxTagFactory::Default());
    panel->SetContainer(container_);
    panel->Load(element);
    if (posFormat) {
        char pos[64];
        std::snprintf(pos, sizeof(pos), posFormat, ReadInt(AttributeOf(element, "height")));
        panel->SetAttribute("pos", pos, true);
    }
    return panel;
}

bool LxLayout::LoadLayout(std::string_view xml) {
    header_.reset();
    body_.reset();
    footer_.reset();
    headerFull_ = false;
    loaded_ = false;
    layer_ = LxLayerInfo();
    TiXmlDocument doc;
    if (!ParseXml(xml, doc) || std::string_view(doc.RootElement()->Value()) != "layer") return false;
    const TiXmlElement& root = *doc.RootElement();

    using A = LxAttribute<LxLayerInfo>;
    static const A kLayerTable[] = {
        {"title", [](LxLayerInfo& l, V v, bool) { l.title = base::Utf8ToWide(v); }},
        {"frame", [](LxLayerInfo& l, V v, bool) { l.frame = v; }},
        {"width", [](LxLayerInfo& l, V v, bool) { l.width = ClampCoordinate(ReadInt(v)); }},
        {"height", [](LxLayerInfo& l, V v, bool) { l.height = ClampCoordinate(ReadInt(v)); }},
        {"dpiaware", [](LxLayerInfo& l, V v, bool) { l.dpiAware = Flag(v); }},
        {"min_width", [](LxLayerInfo& l, V v, bool) { l.minWidth = ClampCoordinate(ReadInt(v)); }},
        {"min_height", [](LxLayerInfo& l, V v, bool) { l.minHeight = ClampCoordinate(ReadInt(v)); }},
        {"appwin", [](LxLayerInfo& l, V v, bool) { l.appWin = Flag(v); }},
        {"layered", [](LxLayerInfo& l, V v, bool) { l.layered = Flag(v); }},
        {"child", [](LxLayerInfo& l, V v, bool) { l.child = Flag(v); }},
        {"holdsize", [](LxLayerInfo& l, V v, bool) { l.holdSize = Flag(v); }},
        {"resize", [](LxLayerInfo& l, V v, bool) { l.resize = Flag(v) ? 1 : 0; }},
        {"noborder", [](LxLayerInfo& l, V v, bool) { l.noBorder = Flag(v); }},
        {"nomove", [](LxLayerInfo& l, V v, bool) { l.noMove = Flag(v); }},
    };
    for (const TiXmlAttribute* a = root.FirstAttribute(); a; a = a->Next()) {
        ApplyAttribute(kLayerTable, layer_, a->Name(), a->Value(), true);
    }
    if (layer_.child) {
        // A child window neither keeps its size, resizes, nor moves itself.
        layer_.holdSize = false;
        layer_.resize = -1;
        layer_.noBorder = false;
        layer_.noMove = false;
    }
    ComputeLayerStyles(layer_, kind_);
    if (layer_.dpiAware) {
        LxDisplayScaler& scaler = LxDisplayScaler::Instance();
        layer_.width = ClampCoordinate(scaler.Scale(layer_.width));
        layer_.height = ClampCoordinate(scaler.Scale(layer_.height));
    }

    if (const TiXmlElement* header = root.FirstChildElement("header")) {
        header_ = LoadPanel(*header, kHeaderPos);
        headerFull_ = AttributeOf(*header, "height") == kFull;
    }
    if (const TiXmlElement* footer = root.FirstChildElement("footer")) footer_ = LoadPanel(*footer, kFooterPos);
    if (const TiXmlElement* body = root.FirstChildElement("body")) body_ = LoadPanel(*body, nullptr);
    if (body_) body_->SetAttribute("pos", kFillPos, true);
    if (kind_ == LxHostKind::Extended && header_ && headerFull_ && !body_ && !footer_) {
        header_->SetAttribute("pos", kFillPos, true);
    } else {
        headerFull_ = false;
    }
    loaded_ = true;
    return true;
}

bool LxLayout::LoadLayoutResource(int id) {
    std::string bytes;
    if (!ReadResourceBytes(nullptr, id, kXmlResourceType, bytes)) {
        LoadLayout({});
        return false;
    }
    return LoadLayout(bytes);
}

SIZE LxLayout::InitialClientSize() const {
    return {std::max(layer_.width, layer_.minWidth), std::max(layer_.height, layer_.minHeight)};
}

void LxLayout::Arrange(const RECT& client) {
    client_ = client;
    if (RectWidth(client) == 0) return;
    LRESULT result = 0;
    LxPosChange change = {{client.left, client.top}, client};
    int headerBottom = client.top;
    if (header_) {
        header_->ProcessMessage(header_->Handle(), kLxMsgPositionChanged, 0, reinterpret_cast<LPARAM>(&change),
                                &result);
        headerBottom = header_->Rect().bottom;
    }
    int footerHeight = 0;
    if (footer_) {
        footer_->ProcessMessage(footer_->Handle(), kLxMsgPositionChanged, 0, reinterpret_cast<LPARAM>(&change),
                                &result);
        footerHeight = RectHeight(footer_->Rect());
        LxPosChange bottom = {{client.left, client.bottom - footerHeight}, client};
        footer_->ProcessMessage(footer_->Handle(), kLxMsgPositionChanged, 0, reinterpret_cast<LPARAM>(&bottom),
                                &result);
    }
    if (body_) {
        const LONG bandBottom = std::max<LONG>(headerBottom, client.bottom - footerHeight);
        LxPosChange band = {{client.left, headerBottom}, {client.left, headerBottom, client.right, bandBottom}};
        body_->ProcessMessage(body_->Handle(), kLxMsgPositionChanged, 0, reinterpret_cast<LPARAM>(&band), &result);
    }
}

void LxLayout::Paint(HDC dc, HRGN region) {
    DcStateGuard restore(dc);
    if (HFONT base = LxFontPool::Global().GetFont(0, layer_.dpiAware)) ::SelectObject(dc, base);
    ::SetBkMode(dc, TRANSPARENT);
    if (region) ::SelectClipRgn(dc, region);
    if (!layer_.frame.empty()) {
        if (CLxSkinBase* frame = LxSkinPool::Global().GetSkin(layer_.frame)) frame->Draw(dc, client_, 0, kOpaque);
    }
    for (CLxDialog* panel : {header_.get(), body_.get(), footer_.get()}) {
        if (panel && panel->IsVisible(false)) panel->RedrawRegion(dc, region);
    }
}

CLxWindow* LxLayout::FindChildById(int id) const {
    for (CLxDialog* panel : {header_.get(), body_.get(), footer_.get()}) {
        if (!panel) continue;
        if (panel->Id() == id && id != 0) return panel;
        if (CLxWindow* found = panel->FindChildById(id)) return found;
    }
    return nullptr;
}

void LxLayout::VisitElements(const std::function<void(CLxWindow&)>& visit) const {
    for (CLxDialog* panel : {header_.get(), body_.get(), footer_.get()}) {
        if (panel) VisitTree(*panel, visit);
    }
}

void LxLayout::SetContainer(HWND container) {
    container_ = container;
    for (CLxDialog* panel : {header_.get(), body_.get(), footer_.get()}) {
        if (panel) panel->SetContainer(container);
    }
}

}  // namespace ui
