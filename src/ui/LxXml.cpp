#include "ui/LxXml.h"

namespace ui {

namespace {
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Position just past `closing` at or after `from`, or npos.
size_t SkipPast(std::string_view text, size_t from, std::string_view closing) {
    const size_t at = text.find(closing, from);
    return at == std::string_view::npos ? at : at + closing.size();
}
}  // namespace

bool XmlDepthWithin(std::string_view text, size_t maxDepth) {
    size_t depth = 0;
    size_t i = 0;
    while ((i = text.find('<', i)) != std::string_view::npos) {
        const std::string_view rest = text.substr(i);
        if (rest.substr(0, 4) == "<!--") {
            i = SkipPast(text, i + 4, "-->");
        } else if (rest.substr(0, 9) == "<![CDATA[") {
            i = SkipPast(text, i + 9, "]]>");
        } else if (rest.substr(0, 2) == "<?") {
            i = SkipPast(text, i + 2, "?>");
        } else if (rest.substr(0, 2) == "<!") {
            i = SkipPast(text, i + 2, ">");
        } else if (rest.substr(0, 2) == "</") {
            if (depth > 0) --depth;
            i = SkipPast(text, i + 2, ">");
        } else {
            // A start tag: find its end outside quoted values.
            char quote = 0;
            size_t j = i + 1;
            for (; j < text.size(); ++j) {
                const char c = text[j];
                if (quote) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (j >= text.size()) return true;  // unterminated: the parser refuses it
            if (text[j - 1] != '/' && ++depth > maxDepth) return false;
            i = j + 1;
        }
        if (i == std::string_view::npos) break;
    }
    return true;
}

bool ParseXml(std::string_view text, TiXmlDocument& doc) {
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
    if (text.empty() || !XmlDepthWithin(text)) return false;
    const std::string copy(text);  // TinyXML reads up to a terminating zero
    doc.Parse(copy.c_str(), nullptr, TIXML_ENCODING_UTF8);
    return !doc.Error() && doc.RootElement() != nullptr;
}

std::string_view AttributeOf(const TiXmlElement& element, const char* name) {
    const char* value = element.Attribute(name);
    return value ? std::string_view(value) : std::string_view();
}

bool HasAttribute(const TiXmlElement& element, const char* name) { return element.Attribute(name) != nullptr; }

}  // namespace ui
