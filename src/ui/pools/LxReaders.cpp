#include "ui/pools/LxReaders.h"

#include <cstdlib>
#include <limits>
#include <string>

namespace ui {

namespace {
constexpr int kNotHex = -1;
constexpr int kDigitsPerComponent = 2;
constexpr int kComponents = 3;
constexpr int kBitsPerComponent = 8;
constexpr int kHexBase = 16;
constexpr int kDecimalBase = 10;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + kDecimalBase;
    if (c >= 'A' && c <= 'F') return c - 'A' + kDecimalBase;
    return kNotHex;
}
}  // namespace

COLORREF ReadColor(std::string_view text) {
    COLORREF color = 0;
    for (int component = 0; component < kComponents; ++component) {
        const size_t at = static_cast<size_t>(component * kDigitsPerComponent);
        if (at + 1 >= text.size()) break;
        const int high = HexDigit(text[at]);
        const int low = HexDigit(text[at + 1]);
        if (high == kNotHex || low == kNotHex) continue;
        color |= static_cast<COLORREF>(high * kHexBase + low) << (component * kBitsPerComponent);
    }
    return color;
}

uint32_t ReadHex(std::string_view text) {
    uint32_t value = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit == kNotHex) return 0;
        value = value * kHexBase + static_cast<uint32_t>(digit);
    }
    return value;
}

int32_t ReadInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t value = 0;
    constexpr int64_t kLimit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * kDecimalBase + (text[i] - '0');
        if (value > kLimit) value = kLimit;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

float ReadFloat(std::string_view text) {
    const std::string copy(text);
    return std::strtof(copy.c_str(), nullptr);
}

}  // namespace ui
