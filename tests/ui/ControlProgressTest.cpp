#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlCanvas.h"
#include "ui/controls/LxControls.h"

using namespace ui;
using namespace uitest;

namespace {
constexpr uint32_t kBarFill = 0x426190;  // 0x906142 as a pixel
constexpr uint32_t kPen = 0x707070;
}  // namespace

// The wizard's kind of bar: 3 pixels high, no inset, skins for track and bar.
TEST(UiProgress, FillsExactlyTheComputedWidthAndStoresSwapAndClamp) {
    const struct {
        int width;
        const char* min;
        const char* max;
        const char* value;
        int filled;
        uint32_t storedMin, storedMax, storedValue;
    } cases[] = {
        {490, "0", "100", "37", 181, 0, 100, 37},  {490, "0", "100", "150", 490, 0, 100, 100},
        {490, "50", "10", "30", 245, 10, 50, 30},  {490, "50", "10", "5", 0, 10, 50, 10},
        {490, "0", "0", "5", 0, 0, 0, 5},          {490, "0", "100", "-5", 490, 0, 100, 100},  // unsigned: above max
        {100, "0", "100", "29", 29, 0, 100, 29},   {100, "0", "100", "57", 57, 0, 100, 57},    // no rounding down
        {490, "0", "7", "3", 210, 0, 7, 3},
    };
    for (const auto& c : cases) {
        ControlCanvas canvas(530, 10);
        canvas.Load("<progress id='1' pos='0,4," + std::to_string(c.width) + ",7' min='" + c.min + "' max='" + c.max +
                    "' value='" + c.value + "' bgskin='red' posskin='blue' skinposx='0'/>");
        canvas.Paint();
        const std::string label = std::string(c.min) + ".." + c.max + " value " + c.value;
        EXPECT_EQ(CountPixels(canvas.dib, {0, 5, c.width, 6}, [](uint32_t p) { return p == Rgb(kBlue); }), c.filled)
            << label;
        if (c.filled > 0) {
            EXPECT_EQ(canvas.At(c.filled - 1, 4), Rgb(kBlue)) << label;
        }
        if (c.filled < c.width) {
            EXPECT_EQ(canvas.At(c.filled, 6), Rgb(kRed)) << label;
        }
        auto& bar = static_cast<CLxProgress&>(canvas[1]);
        EXPECT_EQ(bar.Min(), c.storedMin) << label;
        EXPECT_EQ(bar.Max(), c.storedMax) << label;
        EXPECT_EQ(bar.Value(), c.storedValue) << label;
    }
}

// "50%" straddles the end of the bar: the part over the bar is drawn again in
// the element's crbg, else the style's, else white; the rest keeps the text
// colour (which a second drawing without the clip would cover).
TEST(UiProgress, PercentageTextInTwoColours) {
    // Glyph edges are smoothed: a red glyph on white is pink at its edges.
    auto reddish = [](uint32_t p) { return Red(p) > 0xC0 && Red(p) - Green(p) > 0x40 && Red(p) - Blue(p) > 0x40; };
    auto greenish = [](uint32_t p) { return Green(p) > 0xA0 && Red(p) < 0x60 && Blue(p) < 0x60; };
    auto whitish = [](uint32_t p) { return Red(p) > 0xC0 && Green(p) > 0xC0 && Blue(p) > 0xC0; };
    auto bluish = [](uint32_t p) { return Blue(p) > 0xA0 && Red(p) < 0x60 && Green(p) < 0x60; };
    const struct {
        const char* attributes;
        bool (*overBar)(uint32_t);
    } cases[] = {
        {"crbg='00ff00'", +greenish},
        {"class='c'", +bluish},
        {"", +whitish},
    };
    for (const auto& c : cases) {
        ControlCanvas canvas(200, 30);
        canvas.Styles("<class name='c' crbg='0000ff'/>");
        canvas.Load(std::string("<progress id='1' pos='0,0,200,30' max='100' value='50' showpercent='1' "
                                "crtext='ff0000' ") + c.attributes + "/>");
        canvas.Paint();
        const RECT bar = {2, 2, 100, 28};
        const RECT rest = {100, 2, 198, 28};
        EXPECT_GT(CountPixels(canvas.dib, bar, c.overBar), 3) << c.attributes;
        EXPECT_EQ(CountPixels(canvas.dib, bar, reddish), 0) << c.attributes;
        EXPECT_GT(CountPixels(canvas.dib, rest, reddish), 3) << c.attributes;
    }
}

TEST(UiProgress, WithoutSkinsOutlinedTrackAndFilledBarMarqueeMoves) {
    ControlCanvas canvas(104, 20);
    canvas.Load("<progress id='1' pos='0,0,104,20' max='100' value='50'/>");
    canvas.Paint();
    EXPECT_EQ(canvas.At(0, 10), kPen);
    EXPECT_EQ(canvas.At(2, 10), kBarFill);
    EXPECT_EQ(canvas.At(51, 10), kBarFill);
    EXPECT_EQ(canvas.At(52, 10), Rgb(kWhite));  // the track's inside, the context's white brush

    // The block (a quarter of the 40-pixel lane) moves 10 pixels per paint
    // and starts again at the left once past the right end; no bar is drawn.
    ControlCanvas marquee(44, 10);
    marquee.Load("<progress id='2' pos='0,0,44,10' progressbar='1' value='100' max='100'/>");
    for (int expected : {2, 12, 22, 32, 2, 12}) {
        marquee.Paint();
        int first = -1;
        for (int x = 0; x < 44 && first < 0; ++x) first = marquee.At(x, 5) == kBarFill ? x : -1;
        EXPECT_EQ(first, expected);
        EXPECT_EQ(CountPixels(marquee.dib, {0, 5, 44, 6}, [](uint32_t p) { return p == kBarFill; }), 10);
    }
}
