// Pure readers of the literal formats of layouts and pool documents: colours,
// hexadecimal fields, decimal numbers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

namespace ui {

// "No colour set" in every colour field (elements and styles).
constexpr COLORREF kNoColor = 0xFFFFFFFF;

// Six hexadecimal digits red, green, blue ("fcae84") to the platform's
// 0x00BBGGRR value. Each pair is read on its own: a pair with a character that
// is not a hexadecimal digit, or one cut short, gives 0 for its component.
COLORREF ReadColor(std::string_view text);

// Hexadecimal digits of any length (text modes, font codes); any other
// character makes the whole value 0; digits beyond 32 bits wrap.
uint32_t ReadHex(std::string_view text);

// A decimal integer the way the platform's string-to-integer routine reads it
// (leading blanks, an optional sign, digits up to the first non-digit; no
// digits read as 0), saturated to the 32-bit range instead of overflowing.
int32_t ReadInt(std::string_view text);

// A decimal floating-point number; 0 when the text has none.
float ReadFloat(std::string_view text);

}  // namespace ui
