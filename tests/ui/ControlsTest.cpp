// The controls painted into a DIB through the library, driven by the mouse
// router, with skins over images made in the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "UiSupport.h"
#include "ui/controls/LxControls.h"
#include "ui/elements/LxTextPaint.h"

using namespace ui;
using namespace uitest;

namespace {
// Pixels of a rectangle (as 0xRRGGBB) for which `test` holds.
template <typename Test>
int CountPixels(const LxDib& dib, const RECT& r, Test test) {
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) count += test(Rgb(dib.At(x, y))) ? 1 : 0;
    }
    return count;
}
// Glyph edges are smoothed: a red glyph on white is pink at its edges.
bool Reddish(uint32_t p) { return Red(p) > 0xC0 && Red(p) - Green(p) > 0x40 && Red(p) - Blue(p) > 0x40; }
bool Bluish(uint32_t p) { return Blue(p) > 0xA0 && Red(p) < 0x60 && Green(p) < 0x60; }

// A 9 by 9 PNG of nine 3 by 3 blocks, each its own colour: Block(row, column).
uint32_t Block(int row, int column) { return static_cast<uint32_t>(0x10 * (row * 3 + column + 1)) << 16; }
std::string BlocksPng() {
    std::vector<uint32_t> pixels(81);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) pixels[static_cast<size_t>(y * 9 + x)] = kBlack | Block(y / 3, x / 3);
    }
    return EncodeImage(pixels, 9, 9);
}

bool Ink(uint32_t p) { return p != Rgb(kWhite); }
CLxSkinBase& SkinNamed(const char* name) { return *LxSkinPool::Global().GetSkin(name); }

// A program layout from the embedded resources laid out at its own size.
struct Rendered {
    LxLayout layout;
    LxDib dib;
    Rendered(int id, LxHostKind kind, SIZE size) : layout(kind), dib(size.cx, size.cy) {
        EXPECT_TRUE(layout.LoadLayoutResource(id));
        EXPECT_EQ(layout.InitialClientSize().cx, size.cx);
        layout.Arrange({0, 0, size.cx, size.cy});
    }
    void Paint() {
        dib.Fill(0);
        layout.Paint(dib.dc(), nullptr);
    }
    // Pixels inside a rectangle that differ from `background`.
    int Differing(const RECT& r, uint32_t background) const {
        return CountPixels(dib, r, [&](uint32_t p) { return p != Rgb(background); });
    }
};
}  // namespace

// Without use_pos_size an image placed by a corner only is empty and draws
// nothing; with use_pos_size 0 it takes one slice of its skin, "sub" choosing it.
TEST(UiImage, SizeFromPosOrOneSliceAndTheSubSlice) {
    Canvas canvas(80, 40);
    canvas.Load("<img id='1' pos='10,10' skin='three'/><img id='2' pos='30,10' skin='three' use_pos_size='0'/>"
                "<img id='3' pos='40,10' skin='three' use_pos_size='0' sub='2'/>"
                "<img id='4' pos='50,10,70,30' skin='three' sub='1'/>");
    canvas.Paint();
    const struct { int id; RECT rect; uint32_t centre; } cases[] = {
        {1, {10, 10, 10, 10}, Rgb(kWhite)}, {2, {30, 10, 34, 14}, Rgb(kRed)},
        {3, {40, 10, 44, 14}, Rgb(kBlue)},  {4, {50, 10, 70, 30}, Rgb(kGreen)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(canvas[c.id].Rect(), c.rect) << c.id;
        EXPECT_EQ(canvas.At(c.rect.left + 1, c.rect.top + 1), c.centre) << c.id;
    }
}

// A red 40 by 40 image with a blue 4 by 4 icon; the mask (half-transparent
// green) only while neither hovered nor checked; the caption in blue.
TEST(UiImage, IconMaskAndCaptionOverTheImage) {
    const uint32_t masked = 0x7F8000;
    const struct { const char* attributes; uint32_t state; POINT probe; uint32_t colour; } cases[] = {
        {"ico='blue'", 0, {20, 20}, Rgb(kBlue)},         {"ico='blue'", 0, {5, 5}, Rgb(kRed)},
        {"ico='blue' ico_top='3'", 0, {20, 4}, Rgb(kBlue)}, {"ico='blue' ico_top='3'", 0, {20, 20}, Rgb(kRed)},
        {"ico='blue' ico_top='0'", 0, {20, 20}, Rgb(kBlue)},  // below 1: centred
        {"mask='half'", 0, {5, 5}, masked},              {"mask='half'", kStateHover, {5, 5}, Rgb(kRed)},
        {"mask='half'", kStateCheck, {5, 5}, Rgb(kRed)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.attributes) + " state " + std::to_string(c.state));
        Canvas canvas(40, 40);
        canvas.served.Add(905, L"png", EncodeImage(Bands({0x8000FF00}, 4, 4), 4, 4));
        canvas.Skins("<png name='half' src='905'/>");
        canvas.Load(std::string("<img id='1' pos='0,0,40,40' skin='red' ") + c.attributes + "/>");
        canvas[1].ModifyState(c.state, 0);
        canvas.Paint();
        EXPECT_TRUE(Near(canvas.At(c.probe.x, c.probe.y), c.colour, 2)) << std::hex << canvas.At(c.probe.x, c.probe.y);
    }
    const struct { const char* attributes; RECT with; RECT without; } captions[] = {
        {"caption_top='25'", {0, 25, 40, 40}, {0, 0, 40, 23}},
        {"", {0, 10, 40, 30}, {0, 0, 40, 8}},  // centred vertically
    };
    for (const auto& c : captions) {
        Canvas canvas(40, 40);
        canvas.Load(std::string("<img id='1' pos='0,0,40,40' skin='red' crtext='0000ff' caption='WW' ") +
                    c.attributes + "/>");
        canvas.Paint();
        EXPECT_GT(CountPixels(canvas.dib, c.with, Bluish), 3) << c.attributes;
        EXPECT_EQ(CountPixels(canvas.dib, c.without, Bluish), 0) << c.attributes;
    }
}

// A blue 40 by 40 image on white, clipped; "alpha" only for clipped drawing.
TEST(UiImage, ClipTypesAndAlpha) {
    const uint32_t halfBlue = 0x7F7FFF;
    const struct { const char* attributes; POINT probe; uint32_t colour; } cases[] = {
        {"cliptype='1'", {1, 1}, Rgb(kWhite)},     {"cliptype='1'", {20, 20}, Rgb(kBlue)},
        {"cliptype='1' alpha='50'", {20, 20}, halfBlue},
        {"cliptype='2' clipparam='10'", {1, 1}, Rgb(kWhite)},
        {"cliptype='2' clipparam='10'", {6, 6}, Rgb(kBlue)}, {"cliptype='2'", {0, 0}, Rgb(kBlue)},
        {"cliptype='3' clipparam='0,0,10,40'", {5, 20}, Rgb(kBlue)},
        {"cliptype='3' clipparam='0,0,10,40'", {20, 20}, Rgb(kWhite)},
        {"cliptype='3' alpha='50'", {20, 20}, halfBlue},
        {"alpha='50'", {20, 20}, Rgb(kBlue)},
    };
    for (const auto& c : cases) {
        Canvas canvas(40, 40);
        canvas.Load(std::string("<img id='1' pos='0,0,40,40' skin='blue' ") + c.attributes + "/>");
        canvas.Paint();
        EXPECT_TRUE(Near(canvas.At(c.probe.x, c.probe.y), c.colour, 3))
            << c.attributes << " at " << c.probe.x << "," << c.probe.y << ": " << std::hex
            << canvas.At(c.probe.x, c.probe.y);
    }
}

// "expendimgex2" stretches its skin as a nine-grid with its own margins: the
// skin itself has none.
TEST(UiImage, NineGridImageTakesItsOwnMargins) {
    const char* margins = "margin_left='3' margin_right='3' margin_top='3' margin_bottom='3'";
    const struct { const char* margins; POINT probe; int row, column; } cases[] = {
        {margins, {4, 4}, 1, 1},  {margins, {29, 19}, 2, 2}, {margins, {15, 1}, 0, 1},
        {margins, {27, 10}, 1, 2}, {"", {4, 4}, 0, 0},  // no margins: the whole image stretched
    };
    for (const auto& c : cases) {
        Canvas canvas(30, 20);
        canvas.served.Add(904, L"png", BlocksPng());
        canvas.Skins("<png name='blocks' src='904'/>");
        canvas.Load(std::string("<expendimgex2 id='1' pos='0,0,30,20' skin='blocks' ") + c.margins + "/>");
        canvas.Paint();
        EXPECT_EQ(canvas.At(c.probe.x, c.probe.y), Block(c.row, c.column)) << c.margins << " " << c.probe.x;
    }
}

// The message box's shadow: "cnm_showdow" (106 by 106, a soft band 28 wide
// around a quarter-dark middle) spread over a 410 by 236 rectangle, outside a layout.
TEST(UiImage, MessageBoxShadowFromTheEmbeddedArtwork) {
    CleanPools clean;
    ASSERT_TRUE(LoadSkins());
    CLxExpendImgEx2 shadow;
    shadow.SetAttribute("pos", "0,0,-0,-0", false);
    for (const char* name : {"margin_left", "margin_right", "margin_top", "margin_bottom"}) {
        shadow.SetAttribute(name, "28", false);
    }
    shadow.SetAttribute("skin", "cnm_showdow", false);
    LxDib dib(420, 246);
    dib.Fill(kWhite);
    shadow.DrawIn(dib.dc(), {5, 5, 415, 241});
    EXPECT_EQ(shadow.Rect(), (RECT{5, 5, 415, 241}));
    EXPECT_EQ(Rgb(dib.At(5, 5)), Rgb(kWhite));             // the corner fades out
    EXPECT_LT(Red(Rgb(dib.At(32, 123))), 0xD0);             // the band keeps its width at the edge ...
    EXPECT_GT(Red(Rgb(dib.At(7, 123))), Red(Rgb(dib.At(32, 123))));  // ... and darkens inwards
    EXPECT_TRUE(Near(Rgb(dib.At(210, 123)), 0xBFBFBF, 6)) << std::hex << dib.At(210, 123);
    EXPECT_EQ(Rgb(dib.At(4, 123)), Rgb(kWhite));  // nothing outside the rectangle given
}

// Skins that do not exist, or name an image the program lacks, draw nothing
// in any control; the controls keep their (white) background.
TEST(UiImage, MissingSkinsDrawNothing) {
    Canvas canvas(200, 40);
    canvas.Styles("<class name='lost' skin='nothing'/><class name='gone' skin='gone'/>");
    canvas.Load("<img pos='0,0,20,20' skin='nothing' ico='gone' mask='nothing' caption=''/>"
                "<img pos='20,0,40,20' skin='gone' cliptype='1'/><img pos='40,0,60,20' skin='gone' cliptype='3'/>"
                "<imgbtn id='1' pos='60,0,80,20' skin='gone' group='g'/>"
                "<dlgbtn pos='80,0,100,20' class='lost'/><dlgbtnEx2 id='2' pos='100,0,120,20' class='gone'/>"
                "<expendimgex2 pos='120,0,160,40' skin='gone' margin_left='5'/>"
                "<img pos='160,0,180,20' skin='nothing' use_pos_size='0'/>");
    canvas.Move(1);
    canvas.Click(2);
    canvas.Paint();
    EXPECT_EQ(CountPixels(canvas.dib, {0, 0, 200, 40}, Ink), 0);
}

// A 20-pixel box from y 100, the base font 12 pixels high.
TEST(UiText, YaheiCorrectionMovesTopAndBottomAlignedText) {
    const struct { RECT box; UINT flags; int taller; bool autoFix; RECT expected; } cases[] = {
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

// The program's "link_text" style underlines its text under the mouse: a long
// run of ink along one row.
TEST(UiText, HoveredLinkTextIsUnderlined) {
    for (const bool hovered : {false, true}) {
        Canvas canvas(120, 30);
        ASSERT_TRUE(LoadStyles());
        canvas.Load("<text id='1' pos='0,0,120,30' class='link_text'>i i i i i i</text>");
        if (hovered) canvas.Move(1);
        canvas.Paint();
        int longest = 0;  // an underline runs the text's width, an "i" is a pixel or two wide
        for (int y = 0; y < canvas.dib.height(); ++y) {
            for (int x = 0, run = 0; x < canvas.dib.width(); ++x) {
                run = Ink(canvas.At(x, y)) ? run + 1 : 0;
                longest = std::max(longest, run);
            }
        }
        EXPECT_GT(CountPixels(canvas.dib, {0, 0, 120, 30}, Ink), 10);
        EXPECT_EQ(longest >= 15, hovered) << longest;
    }
}

// Red text in four styles: shadowed through the common controls' routine,
// and GDI+ text whose alpha the element or its style gives.
TEST(UiText, ShadowAndGdiplusText) {
    const struct { const char* style; const char* element; bool red, blue; } cases[] = {
        {"", "", true, false},
        {"shadow='1' crshadow='0000ff'", "", true, true},
        {"gdiplus='1'", "", true, false},
        {"gdiplus='1' alphatxt='0'", "", false, false},
        {"gdiplus='1' alphatxt='0'", "alphatxt='255'", true, false},
        {"alphatxt='0'", "", true, false},  // GDI text has no alpha
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.style) + " " + c.element);
        Canvas canvas(80, 24);
        canvas.Styles(std::string("<class name='t' crtext='ff0000' textmode='25' font='0400' ") + c.style + "/>");
        canvas.Load(std::string("<text id='1' pos='0,0,80,24' class='t' ") + c.element + ">WMW</text>");
        canvas.Paint();
        const RECT all = {0, 0, 80, 24};
        EXPECT_EQ(CountPixels(canvas.dib, all, Reddish) > 5, c.red);
        EXPECT_EQ(CountPixels(canvas.dib, all, Bluish) > 5, c.blue);
        if (!c.red) {
            EXPECT_EQ(CountPixels(canvas.dib, all, Ink), 0);
        }
    }
}

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
        SCOPED_TRACE(std::string(c.min) + ".." + c.max + " value " + c.value);
        Canvas canvas(530, 10);
        canvas.Load("<progress id='1' pos='0,4," + std::to_string(c.width) + ",7' min='" + c.min + "' max='" + c.max +
                    "' value='" + c.value + "' bgskin='red' posskin='blue' skinposx='0'/>");
        canvas.Paint();
        EXPECT_EQ(CountPixels(canvas.dib, {0, 5, c.width, 6}, [](uint32_t p) { return p == Rgb(kBlue); }), c.filled);
        if (c.filled > 0) {
            EXPECT_EQ(canvas.At(c.filled - 1, 4), Rgb(kBlue));
        }
        if (c.filled < c.width) {
            EXPECT_EQ(canvas.At(c.filled, 6), Rgb(kRed));
        }
        auto& bar = static_cast<CLxProgress&>(canvas[1]);
        EXPECT_EQ(bar.Min(), c.storedMin);
        EXPECT_EQ(bar.Max(), c.storedMax);
        EXPECT_EQ(bar.Value(), c.storedValue);
    }
}

// "50%" straddles the end of the bar: the part over the bar is drawn again in
// the element's crbg, else the style's, else white; the rest keeps the text
// colour (which a second drawing without the clip would cover).
TEST(UiProgress, PercentageTextInTwoColours) {
    auto greenish = [](uint32_t p) { return Green(p) > 0xA0 && Red(p) < 0x60 && Blue(p) < 0x60; };
    auto whitish = [](uint32_t p) { return Red(p) > 0xC0 && Green(p) > 0xC0 && Blue(p) > 0xC0; };
    const struct {
        const char* attributes;
        bool (*overBar)(uint32_t);
    } cases[] = {{"crbg='00ff00'", +greenish}, {"class='c'", Bluish}, {"", +whitish}};
    for (const auto& c : cases) {
        Canvas canvas(200, 30);
        canvas.Styles("<class name='c' crbg='0000ff'/>");
        canvas.Load(std::string("<progress id='1' pos='0,0,200,30' max='100' value='50' showpercent='1' "
                                "crtext='ff0000' ") + c.attributes + "/>");
        canvas.Paint();
        const RECT bar = {2, 2, 100, 28};
        EXPECT_GT(CountPixels(canvas.dib, bar, c.overBar), 3) << c.attributes;
        EXPECT_EQ(CountPixels(canvas.dib, bar, Reddish), 0) << c.attributes;
        EXPECT_GT(CountPixels(canvas.dib, {100, 2, 198, 28}, Reddish), 3) << c.attributes;
    }
}

TEST(UiProgress, WithoutSkinsOutlinedTrackAndFilledBarMarqueeMoves) {
    constexpr uint32_t kBarFill = 0x426190;  // 0x906142 as a pixel
    Canvas canvas(104, 20);
    canvas.Load("<progress id='1' pos='0,0,104,20' max='100' value='50'/>");
    canvas.Paint();
    EXPECT_EQ(canvas.At(0, 10), 0x707070u);  // the pen
    EXPECT_EQ(canvas.At(2, 10), kBarFill);
    EXPECT_EQ(canvas.At(51, 10), kBarFill);
    EXPECT_EQ(canvas.At(52, 10), Rgb(kWhite));  // the track's inside, the context's white brush

    // The block (a quarter of the 40-pixel lane) moves 10 pixels per paint
    // and starts again at the left once past the right end; no bar is drawn.
    Canvas marquee(44, 10);
    marquee.Load("<progress id='2' pos='0,0,44,10' progressbar='1' value='100' max='100'/>");
    for (int expected : {2, 12, 22, 32, 2, 12}) {
        marquee.Paint();
        int first = -1;
        for (int x = 0; x < 44 && first < 0; ++x) first = marquee.At(x, 5) == kBarFill ? x : -1;
        EXPECT_EQ(first, expected);
        EXPECT_EQ(CountPixels(marquee.dib, {0, 5, 44, 6}, [](uint32_t p) { return p == kBarFill; }), 10);
    }
}

// Buttons 1 to 3 form group "g", 4 is alone in "h", 5 has no group. The
// mouse leaves after every click, so the slices show the check alone.
TEST(UiButtons, GroupedImageButtonsBehaveAsRadioButtons) {
    Canvas canvas(200, 20);
    canvas.Load("<imgbtn id='1' pos='0,0,20,20' skin='three' group='g'/>"
                "<imgbtn id='2' pos='30,0,50,20' skin='three' group='g'/>"
                "<dlg pos='60,0,-0,-0'><imgbtn id='3' pos='0,0,20,20' skin='three' group='g'/></dlg>"
                "<imgbtn id='4' pos='90,0,110,20' skin='three' group='h'/>"
                "<imgbtn id='5' pos='120,0,140,20' skin='three'/>");
    const struct {
        bool click;  // else a hover
        int id;
        const char* slices;  // buttons 1 to 5
    } steps[] = {
        {true, 1, "BRRRR"},   // checked
        {true, 2, "RBRRR"},   // the group's other member unchecked
        {false, 3, "RBGRR"},  // hovered in a group with a checked member
        {true, 4, "RBRBR"},   // another group is left alone
        {true, 2, "RRRBR"},   // clicking the checked one unchecks it
        {true, 5, "RRRBR"},   // no group: no check
    };
    for (const auto& s : steps) {
        if (s.click) {
            canvas.Click(s.id);
            canvas.router.MouseLeave();
        } else {
            canvas.Move(s.id);
        }
        canvas.Paint();
        for (int id = 1; id <= 5; ++id) {
            const char slice = s.slices[id - 1];
            const POINT centre = canvas.Centre(id);
            EXPECT_EQ(canvas.At(centre.x, centre.y), Rgb(slice == 'R' ? kRed : slice == 'G' ? kGreen : kBlue))
                << "button " << id << ", " << s.slices;
            EXPECT_EQ((canvas[id].State() & kStateCheck) != 0, slice == 'B') << id;
        }
    }
}

TEST(UiSkinSlices, CountIndexWidthAndSourceOffset) {
    const struct { int imageWidth, subwidth, left, state; int count, index, width, sourceX; } cases[] = {
        {48, 16, 0, 0, 3, 0, 16, 0},  {48, 16, 0, 2, 3, 2, 16, 32},  {48, 16, 0, 3, 3, 0, 16, 0},
        {48, 16, 0, 16, 3, 1, 16, 16}, {48, 16, 0, -1, 3, 0, 16, 0},  {48, 0, 0, 2, 1, 0, 48, 0},
        {48, 100, 0, 1, 1, 0, 48, 0}, {405, 135, 0, 1, 3, 1, 135, 135}, {50, 16, 5, 1, 3, 1, 16, 21},
        {0, 16, 0, 1, 1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.imageWidth) + "/" + std::to_string(c.subwidth) + " state " +
                     std::to_string(c.state));
        const LxSlice s = ComputeSlice(c.imageWidth, c.subwidth, c.left, c.state);
        EXPECT_EQ(s.count, c.count);
        EXPECT_EQ(s.index, c.index);
        EXPECT_EQ(s.width, c.width);
        EXPECT_EQ(s.sourceX, c.sourceX);
    }
}

// Nine 3 by 3 blocks drawn into a 30 by 20 rectangle at (5, 5).
TEST(UiSkinNineGrid, CornersKeepTheirSizeEdgesAndMiddleStretch) {
    Canvas canvas(40, 30);
    canvas.served.Add(20, L"png", BlocksPng());
    canvas.Skins("<png name='g' src='20' margin_left='3' margin_right='3' margin_top='3' margin_bottom='3'/>");
    canvas.dib.Fill(kWhite);
    SkinNamed("g").Draw(canvas.dib.dc(), {5, 5, 35, 25}, 0, 255);
    const struct { int x, y, row, column; } probes[] = {
        {5, 5, 0, 0},   {7, 7, 0, 0},   {8, 8, 1, 1},   {31, 7, 0, 1},  {32, 7, 0, 2},  {34, 5, 0, 2},
        {5, 24, 2, 0},  {7, 22, 2, 0},  {7, 21, 1, 0},  {34, 24, 2, 2}, {20, 5, 0, 1},  {20, 24, 2, 1},
        {5, 15, 1, 0},  {34, 15, 1, 2}, {20, 15, 1, 1}, {9, 21, 1, 1},
    };
    for (const auto& p : probes) EXPECT_EQ(canvas.At(p.x, p.y), Block(p.row, p.column)) << p.x << "," << p.y;
    EXPECT_EQ(canvas.At(4, 4), Rgb(kWhite));
    EXPECT_EQ(canvas.At(35, 25), Rgb(kWhite));
}

TEST(UiSkinNineGrid, MiddleTiledWhenAsked) {
    // Middle column pattern: one red column, two blue ones, repeated when tiled.
    std::vector<uint32_t> pixels(5 * 3, kBlack);
    for (int y = 0; y < 3; ++y) {
        pixels[static_cast<size_t>(y * 5 + 1)] = kRed;
        pixels[static_cast<size_t>(y * 5 + 2)] = kBlue;
        pixels[static_cast<size_t>(y * 5 + 3)] = kBlue;
    }
    Canvas canvas(14, 3);
    canvas.served.Add(21, L"png", EncodeImage(pixels, 5, 3));
    canvas.Skins("<png name='t' src='21' margin_left='1' margin_right='1' middle_tile='1'/>");
    SkinNamed("t").Draw(canvas.dib.dc(), {0, 0, 14, 3}, 0, 255);
    const char* expected = "KRBBRBBRBBRBBK";
    for (int x = 0; x < 14; ++x) {
        EXPECT_EQ(canvas.At(x, 1), Rgb(expected[x] == 'K' ? kBlack : expected[x] == 'R' ? kRed : kBlue)) << x;
    }
}

TEST(UiSkinNineGrid, MarginsWiderThanTheTargetAreCut) {
    const RECT src = {0, 0, 10, 10};
    for (const LxBlit& p : NineGrid(src, {0, 0, 6, 6}, {4, 4, 4, 4}, {4, 4, 4, 4}, false)) {
        EXPECT_GE(p.dst.left, 0);
        EXPECT_LE(p.dst.right, 6);
        EXPECT_LT(p.dst.left, p.dst.right);
        EXPECT_LT(p.src.left, p.src.right);
        EXPECT_LE(p.src.right, 10);
    }
    EXPECT_EQ(NineGrid(src, {0, 0, 30, 30}, {}, {}, false).size(), 1u);  // no margins: one stretch
    EXPECT_TRUE(NineGrid(src, {5, 5, 5, 9}, {}, {}, false).empty());      // empty target
    EXPECT_EQ(NineGrid(src, {0, 0, 30, 30}, {3, 3, 3, 3}, {3, 3, 3, 3}, false).size(), 9u);
}

TEST(UiSkinDraw, AlphaJpegAndFlip) {
    Canvas canvas(8, 8);
    canvas.served.Add(30, L"png", EncodeImage(Bands({kRed}, 4, 4), 4, 4));
    canvas.served.Add(31, L"jpg", EncodeImage(Bands({kBlue}, 8, 8), 8, 8, true));
    canvas.served.Add(32, L"png", EncodeImage(Bands({kRed, kGreen}, 2, 2), 4, 2));
    canvas.Skins("<png name='r' src='30'/><jpg name='j' src='31'/><png name='f' src='32' flip='1'/>");
    canvas.dib.Fill(kWhite);
    SkinNamed("r").Draw(canvas.dib.dc(), {0, 0, 8, 8}, 0, 128);
    EXPECT_TRUE(Near(canvas.At(4, 4), 0xFF7F7F, 3)) << std::hex << canvas.At(4, 4);
    SkinNamed("j").Draw(canvas.dib.dc(), {0, 0, 8, 8}, 0, 255);
    EXPECT_TRUE(Near(canvas.At(4, 4), 0x0000FF, 8)) << std::hex << canvas.At(4, 4);
    SkinNamed("f").Draw(canvas.dib.dc(), {0, 0, 4, 2}, 0, 255);
    EXPECT_EQ(canvas.At(0, 0), Rgb(kGreen));  // mirrored left to right
    EXPECT_EQ(canvas.At(3, 1), Rgb(kRed));
}

// Both layouts with the program's embedded pools and artwork.
TEST(UiRender, BothLayoutsFromTheEmbeddedResources) {
    ProgramPools pools;
    EXPECT_EQ(*LxStringPool::Global().GetString(0), L"微软雅黑");
    Rendered wizard(kWizardLayoutId, LxHostKind::Extended, {530, 400});
    wizard.Paint();
    EXPECT_EQ(Rgb(wizard.dib.At(5, 395)), Rgb(kWhite));  // the white panel under the banner
    EXPECT_GT(wizard.Differing({0, 0, 530, 260}, 0), 530 * 130);  // the banner
    EXPECT_GT(wizard.Differing({120, 305, 255, 355}, kWhite), 135 * 50 / 10);  // the uninstall button
    // The message box's text lines: AppMessageBox.
    Rendered box(kMessageBoxLayoutId, LxHostKind::Plain, {354, 180});
    for (const LxLayout* layout : {&wizard.layout, &box.layout}) {
        layout->VisitElements([](CLxWindow& e) {
            EXPECT_TRUE(e.ClassName().empty() || LxStylePool::Global().Has(e.ClassName())) << e.ClassName();
        });
    }
    box.Paint();
    EXPECT_GT(box.Differing({90, 125, 182, 155}, kWhite), 20);  // "确定" on its button
    EXPECT_EQ(box.Differing({0, 160, 80, 180}, kWhite), 0);    // nothing but the body below
}

TEST(UiRender, ProgressPageTextAndBar) {
    CleanPools clean;
    LoadStyles();
    LoadStrings();
    Rendered wizard(kWizardLayoutId, LxHostKind::Extended, {530, 400});
    wizard.layout.FindChildById(100)->SetVisible(false);
    wizard.layout.FindChildById(200)->SetVisible(true);
    wizard.layout.FindChildById(206)->SetAttribute("value", "50", false);
    wizard.Paint();
    EXPECT_GT(wizard.Differing({20, 281, 510, 293}, kWhite), 30);  // "正在卸载："
    EXPECT_EQ(wizard.Differing({120, 310, 255, 355}, kWhite), 0);  // page 100 is hidden
    // Without the bar's skins the track is outlined and half of it filled.
    EXPECT_NE(Rgb(wizard.dib.At(22, 304)), Rgb(kWhite));
}

// White text on blue: the text's box would show the DC's red background colour
// if the text filled it.
TEST(UiRender, TextLeavesTheBackgroundUnderItAlone) {
    Canvas canvas(80, 30);
    canvas.LoadLayer("<layer><body crbg='0000ff'><text pos='0,0,-0,-0' crtext='ffffff' textmode='25'>取消</text>"
                     "</body></layer>");
    canvas.dib.Fill(0);
    ::SetBkColor(canvas.dib.dc(), RGB(255, 0, 0));
    canvas.layout.Paint(canvas.dib.dc(), nullptr);
    const RECT all = {0, 0, 80, 30};
    EXPECT_GT(CountPixels(canvas.dib, all, [](uint32_t p) { return Red(p) > 0x80 && Blue(p) > 0x80; }), 10);
    EXPECT_EQ(CountPixels(canvas.dib, all, [](uint32_t p) { return Red(p) > 0x80 && Blue(p) < 0x80; }), 0);
}
