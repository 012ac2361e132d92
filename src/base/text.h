// Small conversions between the platform's wide strings and UTF-8 bytes.
#pragma once

#include <string>
#include <string_view>

namespace base {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
std::wstring ToLowerInvariant(std::wstring_view text);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
// The text as UTF-8 with & < > " ' written as XML entities, fit for element
// text and for attribute values in either quote.
std::string XmlEscape(std::wstring_view text);

}  // namespace base
