#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ControlCanvas.h"
#include "ui/controls/LxControls.h"

using namespace ui;
using namespace uitest;

namespace {
bool Near(uint32_t pixel, uint32_t expected, int tolerance) {
    return std::abs(Red(pixel) - Red(expected)) <= tolerance && std::abs(Green(pixel) - Green(expected)) <= tolerance &&
           std::abs(Blue(pixel) - Blue(expected)) <= tolerance;
}

// A 9 by 9 image of nine 3 by 3 blocks, each its own colour (0xRR0000).
constexpr int kBlocksImage = 904;
uint32_t Block(int row, int column) { return static_cast<uint32_t>(0x10 * (row * 3 + column + 1)) << 16; }
std::string BlocksPng() {
    std::vector<uint32_t> pixels(81);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) pixels[static_cast<size_t>(y * 9 + x)] = 0xFF000000 | Block(y / 3, x / 3);
    }
    return EncodeImage(pixels, 9, 9);
}
}  // namespace

// Without use_pos_size an image placed by a corner only is empty and draws
// nothing; with use_pos_size 0 it takes one slice of its skin, "sub" choosing it.
TEST(UiImage, SizeFromPosOrOneSliceAndTheSubSlice) {
    ControlCanvas canvas(80, 40);
    canvas.Load("<img id='1' pos='10,10' skin='three'/><img id='2' pos='30,10' skin='three' use_pos_size='0'/>"
                "<img id='3' pos='40,10' skin='three' use_pos_size='0' sub='2'/>"
                "<img id='4' pos='50,10,70,30' skin='three' sub='1'/>");
    canvas.Paint();
    const struct {
        int id;
        RECT rect;
        uint32_t centre;
    } cases[] = {
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
    const struct {
        const char* attributes;
        uint32_t state;
        POINT probe;
        uint32_t colour;
    } cases[] = {
        {"ico='blue'", 0, {20, 20}, Rgb(kBlue)},         {"ico='blue'", 0, {5, 5}, Rgb(kRed)},
        {"ico='blue' ico_top='3'", 0, {20, 4}, Rgb(kBlue)}, {"ico='blue' ico_top='3'", 0, {20, 20}, Rgb(kRed)},
        {"ico='blue' ico_top='0'", 0, {20, 20}, Rgb(kBlue)},  // below 1: centred
        {"mask='half'", 0, {5, 5}, masked},              {"mask='half'", kStateHover, {5, 5}, Rgb(kRed)},
        {"mask='half'", kStateCheck, {5, 5}, Rgb(kRed)},
    };
    for (const auto& c : cases) {
        ControlCanvas canvas(40, 40);
        canvas.served.Add(905, L"png", EncodeImage(Bands({0x8000FF00}, 4, 4), 4, 4));
        canvas.Skins("<png name='half' src='905'/>");
        canvas.Load(std::string("<img id='1' pos='0,0,40,40' skin='red' ") + c.attributes + "/>");
        canvas[1].ModifyState(c.state, 0);
        canvas.Paint();
        EXPECT_TRUE(Near(canvas.At(c.probe.x, c.probe.y), c.colour, 2))
            << c.attributes << " state " << c.state << ": " << std::hex << canvas.At(c.probe.x, c.probe.y);
    }

    auto bluish = [](uint32_t p) { return Blue(p) > 0xC0 && Red(p) < 0x40; };
    const struct {
        const char* attributes;
        RECT with;
        RECT without;
    } captions[] = {
        {"caption_top='25'", {0, 25, 40, 40}, {0, 0, 40, 23}},
        {"", {0, 10, 40, 30}, {0, 0, 40, 8}},  // centred vertically
    };
    for (const auto& c : captions) {
        ControlCanvas canvas(40, 40);
        canvas.Load(std::string("<img id='1' pos='0,0,40,40' skin='red' crtext='0000ff' caption='WW' ") +
                    c.attributes + "/>");
        canvas.Paint();
        EXPECT_GT(CountPixels(canvas.dib, c.with, bluish), 3) << c.attributes;
        EXPECT_EQ(CountPixels(canvas.dib, c.without, bluish), 0) << c.attributes;
    }
}

// A blue 40 by 40 image on white, clipped; "alpha" only for clipped drawing.
TEST(UiImage, ClipTypesAndAlpha) {
    const uint32_t halfBlue = 0x7F7FFF;
    const struct {
        const char* attributes;
        POINT probe;
        uint32_t colour;
    } cases[] = {
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
        ControlCanvas canvas(40, 40);
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
    const struct {
        const char* margins;
        POINT probe;
        int row, column;
    } cases[] = {
        {"margin_left='3' margin_right='3' margin_top='3' margin_bottom='3'", {4, 4}, 1, 1},
        {"margin_left='3' margin_right='3' margin_top='3' margin_bottom='3'", {29, 19}, 2, 2},
        {"margin_left='3' margin_right='3' margin_top='3' margin_bottom='3'", {15, 1}, 0, 1},
        {"margin_left='3' margin_right='3' margin_top='3' margin_bottom='3'", {27, 10}, 1, 2},
        {"", {4, 4}, 0, 0},  // no margins: the whole image stretched
    };
    for (const auto& c : cases) {
        ControlCanvas canvas(30, 20);
        canvas.served.Add(kBlocksImage, L"png", BlocksPng());
        canvas.Skins("<png name='blocks' src='904'/>");
        canvas.Load(std::string("<expendimgex2 id='1' pos='0,0,30,20' skin='blocks' ") + c.margins + "/>");
        canvas.Paint();
        EXPECT_EQ(canvas.At(c.probe.x, c.probe.y), Block(c.row, c.column)) << c.margins << " " << c.probe.x;
    }

    // Outside a layout, laid out by its pos in the rectangle it is given.
    ControlCanvas canvas(40, 30);
    canvas.served.Add(kBlocksImage, L"png", BlocksPng());
    canvas.Skins("<png name='blocks' src='904'/>");
    CLxExpendImgEx2 image;
    for (const char* name : {"margin_left", "margin_right", "margin_top", "margin_bottom"}) {
        image.SetAttribute(name, "3", false);
    }
    image.SetAttribute("pos", "0,0,-0,-0", false);
    image.SetAttribute("skin", "blocks", false);
    canvas.dib.Fill(kWhite);
    image.DrawIn(canvas.dib.dc(), {5, 5, 35, 25});
    EXPECT_EQ(image.Rect(), (RECT{5, 5, 35, 25}));
    EXPECT_EQ(canvas.At(5, 5), Block(0, 0));
    EXPECT_EQ(canvas.At(34, 24), Block(2, 2));
    EXPECT_EQ(canvas.At(9, 9), Block(1, 1));
    EXPECT_EQ(canvas.At(4, 4), Rgb(kWhite));
    EXPECT_EQ(canvas.At(35, 25), Rgb(kWhite));
}

// The message box's shadow: "cnm_showdow" (106 by 106, a soft band 28 wide
// around a quarter-dark middle) spread over a 410 by 236 rectangle.
TEST(UiImage, MessageBoxShadowFromTheEmbeddedArtwork) {
    CleanPools clean;
    ASSERT_TRUE(LoadSkins());
    CLxExpendImgEx2 shadow;
    shadow.SetAttribute("pos", "0,0,-0,-0", false);
    for (const char* name : {"margin_left", "margin_right", "margin_top", "margin_bottom"}) {
        shadow.SetAttribute(name, "28", false);
    }
    shadow.SetAttribute("skin", "cnm_showdow", false);
    LxDib dib(410, 236);
    dib.Fill(kWhite);
    shadow.DrawIn(dib.dc(), {0, 0, 410, 236});
    EXPECT_EQ(Rgb(dib.At(0, 0)), Rgb(kWhite));             // the corner fades out
    EXPECT_LT(Red(Rgb(dib.At(27, 118))), 0xD0);             // the band keeps its width at the edge ...
    EXPECT_GT(Red(Rgb(dib.At(2, 118))), Red(Rgb(dib.At(27, 118))));  // ... and darkens inwards
    EXPECT_TRUE(Near(Rgb(dib.At(205, 118)), 0xBFBFBF, 6)) << std::hex << dib.At(205, 118);
}

// Skins that do not exist, or name an image the program lacks, draw nothing
// in any control; the controls keep their (white) background.
TEST(UiImage, MissingSkinsDrawNothing) {
    ControlCanvas canvas(200, 40);
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
    EXPECT_EQ(CountPixels(canvas.dib, {0, 0, 200, 40}, [](uint32_t p) { return p != Rgb(kWhite); }), 0);
}
