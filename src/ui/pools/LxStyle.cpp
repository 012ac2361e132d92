#include "ui/pools/LxStyle.h"

#include "ui/LxXml.h"
#include "ui/pools/LxSources.h"

namespace ui {

namespace {
// Bit 0x10000 of a text mode is the platform's "no clipping": never taken
// from a style.
constexpr uint32_t kClearedTextModeBit = 0x10000;

uint16_t ReadCode(std::string_view v) { return static_cast<uint16_t>(ReadHex(v)); }
}  // namespace

HRESULT LxStyle::SetAttribute(std::string_view name, std::string_view value, bool) {
    using A = LxAttribute<LxStyle>;
    using V = std::string_view;
    static const A kTable[] = {
        {"name", [](LxStyle& s, V v, bool) { s.name = v; }},
        {"skin", [](LxStyle& s, V v, bool) { s.skin = v; }},
        {"crbg", [](LxStyle& s, V v, bool) { s.crbg = ReadColor(v); }},
        {"crbghover", [](LxStyle& s, V v, bool) { s.crbgHover = ReadColor(v); }},
        {"crtext", [](LxStyle& s, V v, bool) { s.crText = ReadColor(v); }},
        {"crhover", [](LxStyle& s, V v, bool) { s.crHover = ReadColor(v); }},
        {"crdisabled", [](LxStyle& s, V v, bool) { s.crDisabled = ReadColor(v); }},
        {"crpush", [](LxStyle& s, V v, bool) { s.crPush = ReadColor(v); }},
        {"textmode", [](LxStyle& s, V v, bool) { s.textMode = ReadHex(v) & ~kClearedTextModeBit; }},
        {"textmodeex", [](LxStyle& s, V v, bool) { s.textModeEx = ReadHex(v) & ~kClearedTextModeBit; }},
        {"font", [](LxStyle& s, V v, bool) { s.font = ReadCode(v); }},
        {"hoverfont", [](LxStyle& s, V v, bool) { s.hoverFont = ReadCode(v); }},
        {"pushfont", [](LxStyle& s, V v, bool) { s.pushFont = ReadCode(v); }},
        {"x-margin", [](LxStyle& s, V v, bool) { s.xMargin = ReadInt(v); }},
        {"y-margin", [](LxStyle& s, V v, bool) { s.yMargin = ReadInt(v); }},
        {"margin", [](LxStyle& s, V v, bool) { s.xMargin = s.yMargin = ReadInt(v); }},
        {"spacing", [](LxStyle& s, V v, bool) { s.spacing = ReadInt(v); }},
        {"linespacing", [](LxStyle& s, V v, bool) { s.lineSpacing = ReadInt(v); }},
        {"shadow", [](LxStyle& s, V v, bool) { s.shadow = ReadInt(v); }},
        {"crshadow", [](LxStyle& s, V v, bool) { s.crShadow = ReadColor(v); }},
        {"gdiplus", [](LxStyle& s, V v, bool) { s.gdiPlus = ReadInt(v); }},
        {"gdipluscalctxt", [](LxStyle& s, V v, bool) { s.gdiPlusCalcText = ReadInt(v); }},
        {"bggdiplus", [](LxStyle& s, V v, bool) { s.bgGdiPlus = ReadInt(v); }},
        {"alphabg", [](LxStyle& s, V v, bool) { s.alphaBg = ReadInt(v); }},
        {"alphatxt", [](LxStyle& s, V v, bool) { s.alphaText = ReadInt(v); }},
        {"gditxtrndhit", [](LxStyle& s, V v, bool) { s.textRenderingHint = ReadInt(v); }},
        {"yhresizedisable", [](LxStyle& s, V v, bool) { s.yaheiResizeDisable = ReadInt(v); }},
        {"cursor", [](LxStyle& s, V v, bool) {
             if (v == "hand") s.cursor = kHandCursor;
             if (v == "arrow") s.cursor = kArrowCursor;
         }},
    };
    return ApplyAttribute(kTable, *this, name, value, true) ? S_OK : kUnknownAttribute;
}

LxStylePool& LxStylePool::Global() {
    static LxStylePool pool;
    return pool;
}

bool LxStylePool::LoadDocument(std::string_view xml) {
    TiXmlDocument doc;
    if (!ParseXml(xml, doc) || std::string_view(doc.RootElement()->Value()) != "style") return false;
    for (const TiXmlElement* e = doc.RootElement()->FirstChildElement("class"); e;
         e = e->NextSiblingElement("class")) {
        const std::string_view name = AttributeOf(*e, "name");
        if (name.empty() || styles_.count(name)) continue;
        auto style = std::make_unique<LxStyle>();
        style->Load(*e);
        styles_.emplace(std::string(name), std::move(style));
    }
    return true;
}

const LxStyle& LxStylePool::GetStyle(std::string_view name) {
    auto found = styles_.find(name);
    if (found != styles_.end()) return *found->second;
    auto fallback = styles_.find(std::string_view());
    if (fallback == styles_.end()) fallback = styles_.emplace(std::string(), std::make_unique<LxStyle>()).first;
    return *fallback->second;
}

bool LoadStyles(int id) {
    bool any = false;
    for (const std::string& document : CollectDocuments(id)) any = LxStylePool::Global().LoadDocument(document) || any;
    return any;
}

}  // namespace ui
