#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ControlCanvas.h"
#include "ui/elements/LxTextPaint.h"

using namespace ui;
using namespace uitest;

namespace {
bool Ink(uint32_t p) { return p != Rgb(kWhite); }

// The longest run of inked pixels along one row.
int LongestRow(const LxDib& dib) {
    int longest = 0;
    for (int y = 0; y < dib.height(); ++y) {
        int run = 0;
        for (int x = 0; x < dib.width(); ++x) {
            run = Ink(Rgb(dib.At(x, y))) ? run + 1 : 0;
            longest = std::max(longest, run);
        }
    }
    return longest;
}
}  // namespace

// A 20-pixel box from y 100, the base font 12 pixels high.
TEST(UiText, YaheiCorrectionMovesTopAndBottomAlignedText) {
    const struct {
        RECT box;
        UINT flags;
        int taller;
        bool autoFix;
        RECT expected;
    } cases[] = {
        {{0, 100, 50, 120}, 0x28, 0, true, {0, 98, 50, 118}},    // bottom: up 2
        {{0, 100, 50, 120}, 0x28, 2, false, {0, 94, 50, 114}},   // up 2d + 2
        {{0, 100, 50, 120}, 0x28, 2, true, {0, 94, 50, 117}},    // at least 22 tall, bottom at least 100 + 17
        {{0, 100, 50, 105}, 0x28, 0, true, {0, 98, 50, 115}},    // a short box grows
        {{0, 100, 50, 120}, 0x28, -1, true, {0, 100, 50, 120}},  // a smaller font: no shift
        {{0, 100, 50, 120}, 0x20, 0, true, {0, 97, 50, 117}},    // top: up 3d + 3
        {{0, 100, 50, 120}, 0x20, 2, true, {0, 91, 50, 111}},
        {{0, 100, 50, 120}, 0x24, 5, true, {0, 100, 50, 120}},   // vertically centred: unchanged
        {{0, 100, 50, 120}, 0x2C, 1, false, {0, 96, 50, 116}},   // bottom wins over centre
    };
    for (const auto& c : cases) {
        EXPECT_EQ(YaheiCorrectedRect(c.box, c.flags, c.taller, 12, c.autoFix), c.expected)
            << std::hex << c.flags << std::dec << " taller " << c.taller;
    }
}

// The program's "link_text" style underlines its text under the mouse.
TEST(UiText, HoveredLinkTextIsUnderlined) {
    for (const bool hovered : {false, true}) {
        ControlCanvas canvas(120, 30);
        ASSERT_TRUE(LoadStyles());
        canvas.Load("<text id='1' pos='0,0,120,30' class='link_text'>i i i i i i</text>");
        if (hovered) canvas.Move(1);
        canvas.Paint();
        int left = canvas.dib.width();
        int right = 0;
        for (int x = 0; x < canvas.dib.width(); ++x) {
            if (CountPixels(canvas.dib, {x, 0, x + 1, canvas.dib.height()}, Ink) == 0) continue;
            left = std::min(left, x);
            right = std::max(right, x);
        }
        ASSERT_GT(right - left, 10) << "no text drawn";
        if (hovered) {
            EXPECT_GE(LongestRow(canvas.dib), (right - left) * 3 / 4);
        } else {
            EXPECT_LT(LongestRow(canvas.dib), 5);
        }
    }
}

// Red text in four styles: shadowed through the common controls' routine,
// and GDI+ text whose alpha the element or its style gives.
TEST(UiText, ShadowAndGdiplusText) {
    auto reddish = [](uint32_t p) { return Red(p) > 0xC0 && Red(p) - Green(p) > 0x40 && Red(p) - Blue(p) > 0x40; };
    auto bluish = [](uint32_t p) { return Blue(p) > 0xC0 && Blue(p) - Green(p) > 0x40 && Blue(p) - Red(p) > 0x40; };
    const struct {
        const char* style;
        const char* element;
        bool red, blue;
    } cases[] = {
        {"", "", true, false},
        {"shadow='1' crshadow='0000ff'", "", true, true},
        {"gdiplus='1'", "", true, false},
        {"gdiplus='1' alphatxt='0'", "", false, false},
        {"gdiplus='1' alphatxt='0'", "alphatxt='255'", true, false},
        {"alphatxt='0'", "", true, false},  // GDI text has no alpha
    };
    for (const auto& c : cases) {
        ControlCanvas canvas(80, 24);
        canvas.Styles(std::string("<class name='t' crtext='ff0000' textmode='25' font='0400' ") + c.style + "/>");
        canvas.Load(std::string("<text id='1' pos='0,0,80,24' class='t' ") + c.element + ">WMW</text>");
        canvas.Paint();
        const RECT all = {0, 0, 80, 24};
        EXPECT_EQ(CountPixels(canvas.dib, all, reddish) > 5, c.red) << c.style << " " << c.element;
        EXPECT_EQ(CountPixels(canvas.dib, all, bluish) > 5, c.blue) << c.style << " " << c.element;
        if (!c.red) {
            EXPECT_EQ(CountPixels(canvas.dib, all, Ink), 0) << c.style;
        }
    }
}
