// Reading the library's XML documents (layouts, skins, styles, strings).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <tinyxml.h>

#include "base/XmlDepth.h"

namespace ui {

// TinyXML parses, copies and frees nested elements by recursion, and so does
// the element tree built from a layout: documents nested deeper than the
// shared XML bound are refused before they are parsed, and the element loader
// stops descending at the same depth.
constexpr size_t kMaxXmlDepth = base::kMaxXmlDepth;

// Parses UTF-8 document text (a byte-order mark may lead) after the depth
// check; false when the text is too deep or does not parse.
bool ParseXml(std::string_view text, TiXmlDocument& doc);

// An attribute's value, empty when absent.
std::string_view AttributeOf(const TiXmlElement& element, const char* name);
bool HasAttribute(const TiXmlElement& element, const char* name);

}  // namespace ui
