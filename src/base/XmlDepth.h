// The nesting depth of an XML text as the XML parser (TinyXML) would reach it,
// measured before the text is parsed. TinyXML reads an element's children by
// recursion, a few hundred bytes of stack per level: three bytes per level
// ("<a>") are enough for a file of 60 KB to overflow the main thread's stack,
// which no size limit can catch. Every XML text is therefore measured first
// and refused when it nests deeper than kMaxXmlDepth.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

// Far above any document of the product (the manifest nests five levels) and
// far below the depth at which the parser's recursion exhausts a stack.
constexpr size_t kMaxXmlDepth = 64;

// How the parser is asked to read the text: detecting the encoding from a
// byte-order mark or declaration, or as UTF-8 from the start.
enum class XmlEncoding { Detect, Utf8 };

// The deepest element nesting the parser reaches on `text` (up to its first
// zero byte), following the parser's own reading rules step by step (entities,
// multi-byte sequences, comments, sections, where it stops on an error), so
// that no text nests deeper than measured. Measuring ends as soon as the
// depth exceeds `limit`; the result is then limit + 1.
size_t MeasureXmlDepth(std::string_view text, XmlEncoding encoding, size_t limit = kMaxXmlDepth);

// True when the text nests no deeper than kMaxXmlDepth.
bool IsXmlDepthAllowed(std::string_view text, XmlEncoding encoding);

// The bytes to hand to the parser: the text up to its first zero byte and
// kXmlParserPadding zero bytes. The parser steps over a multi-byte sequence
// as a whole, so a lead byte at the very end would make it read past a
// single terminator.
constexpr size_t kXmlParserPadding = 4;
std::string XmlParserInput(std::string_view text);

}  // namespace base
