// The "pos" grammar and how its items resolve against a parent's span.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace ui {

// Every coordinate the layout computes stays within this bound, whatever
// numbers a document holds, so that no sum of positions can overflow.
constexpr int kMaxCoordinate = 1 << 24;
int ClampCoordinate(int64_t value);

struct LxPosItem {
    bool centre = false;    // "|": counted from the middle of the span
    bool farEdge = false;   // "-": counted from the far edge
    int32_t value = 0;      // already display-scaled
};

struct LxPos {
    int count = 0;  // 0 (no position), 2 (a corner) or 4 (two corners)
    LxPosItem items[4];
};

// Parses a comma-separated list of 2 or 4 items, each an optional "|", an
// optional "-", optional "w" / "h" markers and a decimal number (an empty
// number reads 0). "w" on item 3 adds item 1's value to it (a width), "h" on
// item 4 adds item 2's (a height). `scale` converts each final value (the
// element's display scaling). Any other item count gives count 0.
LxPos ParsePos(std::string_view text, const std::function<int(int)>& scale);

// The coordinate of an item within the span [a, b] (L = b - a, L/2 rounded
// toward zero): a + v, b - v, a + L/2 + v or a + L/2 - v.
int ResolvePosItem(const LxPosItem& item, int a, int b);

}  // namespace ui
