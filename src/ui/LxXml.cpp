#include "ui/LxXml.h"

namespace ui {

namespace {
constexpr std::string_view kBom = "\xEF\xBB\xBF";
}  // namespace

bool ParseXml(std::string_view text, TiXmlDocument& doc) {
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
    if (text.empty() || !base::IsXmlDepthAllowed(text, base::XmlEncoding::Utf8)) return false;
    const std::string input = base::XmlParserInput(text);
    doc.Parse(input.c_str(), nullptr, TIXML_ENCODING_UTF8);
    return !doc.Error() && doc.RootElement() != nullptr;
}

std::string_view AttributeOf(const TiXmlElement& element, const char* name) {
    const char* value = element.Attribute(name);
    return value ? std::string_view(value) : std::string_view();
}

bool HasAttribute(const TiXmlElement& element, const char* name) { return element.Attribute(name) != nullptr; }

}  // namespace ui
