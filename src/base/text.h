// Small conversions between the platform's wide strings and UTF-8 bytes.
#pragma once

#include <string>
#include <string_view>

namespace base {

// UTF-8 byte patterns for the readers that decode by hand: the marks of the
// lead bytes (with the masks that select them) and of continuation bytes,
// which carry six bits each.
namespace utf8 {
constexpr unsigned char kContinuationMark = 0x80;  // also the first byte that is not ASCII
constexpr unsigned char kContinuationBits = 0x3F;
constexpr int kBitsPerContinuation = 6;
constexpr unsigned char kTwoByteLead = 0xC0;
constexpr unsigned char kTwoByteLeadMask = 0xE0;
constexpr unsigned char kThreeByteLead = 0xE0;
constexpr unsigned char kThreeByteLeadMask = 0xF0;
constexpr unsigned char kFourByteLead = 0xF0;
}  // namespace utf8

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
std::wstring ToLowerInvariant(std::wstring_view text);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
// The text as UTF-8 with & < > " ' written as XML entities, fit for element
// text and for attribute values in either quote.
std::string XmlEscape(std::wstring_view text);

}  // namespace base
