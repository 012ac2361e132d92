#include "ui/elements/LxPos.h"

#include <algorithm>

#include "ui/pools/LxReaders.h"

namespace ui {

namespace {
constexpr int kMaxItems = 4;
constexpr int kWidthItem = 2;   // item 3
constexpr int kHeightItem = 3;  // item 4
}  // namespace

int ClampCoordinate(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, -kMaxCoordinate, kMaxCoordinate));
}

LxPos ParsePos(std::string_view text, const std::function<int(int)>& scale) {
    LxPos pos;
    bool widthMark[kMaxItems] = {};
    bool heightMark[kMaxItems] = {};
    int count = 0;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        std::string_view item = text.substr(start, comma == std::string_view::npos ? comma : comma - start);
        if (count == kMaxItems) return {};  // more than four items
        LxPosItem& out = pos.items[count];
        if (!item.empty() && item.front() == '|') {
            out.centre = true;
            item.remove_prefix(1);
        }
        if (!item.empty() && item.front() == '-') {
            out.farEdge = true;
            item.remove_prefix(1);
        }
        while (!item.empty() && (item.front() == 'w' || item.front() == 'h')) {
            (item.front() == 'w' ? widthMark : heightMark)[count] = true;
            item.remove_prefix(1);
        }
        out.value = ClampCoordinate(ReadInt(item));
        ++count;
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (count != 2 && count != kMaxItems) return {};
    pos.count = count;
    if (count == kMaxItems) {
        if (widthMark[kWidthItem]) pos.items[kWidthItem].value += pos.items[0].value;
        if (heightMark[kHeightItem]) pos.items[kHeightItem].value += pos.items[1].value;
    }
    for (int i = 0; i < count; ++i) {
        LxPosItem& item = pos.items[i];
        item.value = ClampCoordinate(scale ? scale(item.value) : item.value);
    }
    return pos;
}

int ResolvePosItem(const LxPosItem& item, int a, int b) {
    const int64_t half = (static_cast<int64_t>(b) - a) / 2;
    int64_t at;
    if (item.centre) {
        at = item.farEdge ? a + half - item.value : a + half + item.value;
    } else {
        at = item.farEdge ? static_cast<int64_t>(b) - item.value : static_cast<int64_t>(a) + item.value;
    }
    return ClampCoordinate(at);
}

}  // namespace ui
