// Reading the library's XML documents (layouts, skins, styles, strings).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <tinyxml.h>

namespace ui {

// TinyXML parses, copies and frees nested elements by recursion, and so does
// the element tree built from a layout. A deep enough document (a chain of
// ten thousand "dlg" elements) would run either out of stack, so documents
// nested deeper than this are refused before they are parsed; the element
// loader stops descending at the same depth.
constexpr size_t kMaxXmlDepth = 256;

// True when no element of the text lies deeper than maxDepth. Comments,
// processing instructions, declarations, CDATA sections and quoted attribute
// values are stepped over; self-closing tags do not nest.
bool XmlDepthWithin(std::string_view text, size_t maxDepth = kMaxXmlDepth);

// Parses UTF-8 document text (a byte-order mark may lead) after the depth
// check; false when the text is too deep or does not parse.
bool ParseXml(std::string_view text, TiXmlDocument& doc);

// An attribute's value, empty when absent.
std::string_view AttributeOf(const TiXmlElement& element, const char* name);
bool HasAttribute(const TiXmlElement& element, const char* name);

}  // namespace ui
