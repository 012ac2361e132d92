#include <gtest/gtest.h>

#include <cstdlib>

#include "UiSupport.h"
#include "ui/pools/LxSkinPool.h"

using namespace ui;
using namespace uitest;

namespace {
// Skins over served images, drawn into a white DIB.
struct SkinCanvas {
    CleanPools clean;
    ServedSources served;
    LxDib dib;
    SkinCanvas(int w, int h) : dib(w, h) { dib.Fill(kWhite); }
    CLxSkinBase& Skin(const std::string& document, const char* name) {
        LxSkinPool::Global().LoadDocument("<skins>" + document + "</skins>");
        return *LxSkinPool::Global().GetSkin(name);
    }
};

bool Near(uint32_t pixel, uint32_t expected, int tolerance) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((pixel >> shift) & 0xFF) - static_cast<int>((expected >> shift) & 0xFF)) >
            tolerance) {
            return false;
        }
    }
    return true;
}
}  // namespace

TEST(UiSkinSlices, CountIndexWidthAndSourceOffset) {
    const struct {
        int imageWidth, subwidth, left, state;
        int count, index, width, sourceX;
    } cases[] = {
        {48, 16, 0, 0, 3, 0, 16, 0},  {48, 16, 0, 2, 3, 2, 16, 32},  {48, 16, 0, 3, 3, 0, 16, 0},
        {48, 16, 0, 16, 3, 1, 16, 16}, {48, 16, 0, -1, 3, 0, 16, 0},  {48, 0, 0, 2, 1, 0, 48, 0},
        {48, 100, 0, 1, 1, 0, 48, 0}, {405, 135, 0, 1, 3, 1, 135, 135}, {50, 16, 5, 1, 3, 1, 16, 21},
        {0, 16, 0, 1, 1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const LxSlice s = ComputeSlice(c.imageWidth, c.subwidth, c.left, c.state);
        EXPECT_EQ(s.count, c.count) << c.imageWidth << "/" << c.subwidth << " state " << c.state;
        EXPECT_EQ(s.index, c.index) << c.imageWidth << "/" << c.subwidth << " state " << c.state;
        EXPECT_EQ(s.width, c.width);
        EXPECT_EQ(s.sourceX, c.sourceX);
    }
}

TEST(UiSkinSlices, StateSelectsTheSliceOnPixels) {
    SkinCanvas canvas(20, 10);
    canvas.served.Add(3, L"png", EncodeImage(Bands({kRed, kGreen, kBlue}, 16, 16), 48, 16));
    CLxSkinBase& skin = canvas.Skin("<png name='close' src='3' subwidth='16'/>", "close");
    EXPECT_EQ(skin.GetSkinSize().cx, 16);
    EXPECT_EQ(skin.GetSkinSize().cy, 16);
    EXPECT_FALSE(skin.IgnoreState());
    const struct {
        int state;
        uint32_t color;
    } cases[] = {{0, kRed}, {1, kGreen}, {2, kBlue}, {3, kRed}, {16, kGreen}, {-1, kRed}};
    for (const auto& c : cases) {
        skin.Draw(canvas.dib.dc(), {2, 2, 18, 8}, c.state, 255);
        EXPECT_EQ(Rgb(canvas.dib.At(2, 2)), Rgb(c.color)) << c.state;
        EXPECT_EQ(Rgb(canvas.dib.At(17, 7)), Rgb(c.color)) << c.state;
        EXPECT_EQ(canvas.dib.At(1, 1), kWhite);  // nothing outside the rectangle
        EXPECT_EQ(canvas.dib.At(18, 8), kWhite);
    }
}

TEST(UiSkinNineGrid, CornersKeepTheirSizeEdgesAndMiddleStretch) {
    // A 9 by 9 image of nine 3 by 3 blocks, each its own colour.
    const uint32_t colors[3][3] = {{0xFF100000, 0xFF200000, 0xFF300000},
                                   {0xFF400000, 0xFF500000, 0xFF600000},
                                   {0xFF700000, 0xFF800000, 0xFF900000}};
    std::vector<uint32_t> pixels(81);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) pixels[static_cast<size_t>(y * 9 + x)] = colors[y / 3][x / 3];
    }
    SkinCanvas canvas(40, 30);
    canvas.served.Add(20, L"png", EncodeImage(pixels, 9, 9));
    CLxSkinBase& skin = canvas.Skin(
        "<png name='g' src='20' margin_left='3' margin_right='3' margin_top='3' margin_bottom='3'/>", "g");
    skin.Draw(canvas.dib.dc(), {5, 5, 35, 25}, 0, 255);
    const struct {
        int x, y, row, column;
    } probes[] = {
        {5, 5, 0, 0},   {7, 7, 0, 0},   {8, 8, 1, 1},   {31, 7, 0, 1},  {32, 7, 0, 2},  {34, 5, 0, 2},
        {5, 24, 2, 0},  {7, 22, 2, 0},  {7, 21, 1, 0},  {34, 24, 2, 2}, {20, 5, 0, 1},  {20, 24, 2, 1},
        {5, 15, 1, 0},  {34, 15, 1, 2}, {20, 15, 1, 1}, {9, 21, 1, 1},
    };
    for (const auto& p : probes) {
        EXPECT_EQ(Rgb(canvas.dib.At(p.x, p.y)), Rgb(colors[p.row][p.column])) << p.x << "," << p.y;
    }
    EXPECT_EQ(canvas.dib.At(4, 4), kWhite);
    EXPECT_EQ(canvas.dib.At(35, 25), kWhite);
}

TEST(UiSkinNineGrid, MiddleTiledWhenAsked) {
    // Middle column pattern: one red column, two blue ones, repeated when tiled.
    std::vector<uint32_t> pixels(5 * 3, kBlack);
    for (int y = 0; y < 3; ++y) {
        pixels[static_cast<size_t>(y * 5 + 1)] = kRed;
        pixels[static_cast<size_t>(y * 5 + 2)] = kBlue;
        pixels[static_cast<size_t>(y * 5 + 3)] = kBlue;
    }
    SkinCanvas canvas(14, 3);
    canvas.served.Add(21, L"png", EncodeImage(pixels, 5, 3));
    CLxSkinBase& skin = canvas.Skin("<png name='t' src='21' margin_left='1' margin_right='1' middle_tile='1'/>", "t");
    skin.Draw(canvas.dib.dc(), {0, 0, 14, 3}, 0, 255);
    const uint32_t expected[14] = {kBlack, kRed, kBlue, kBlue, kRed, kBlue, kBlue,
                                   kRed,   kBlue, kBlue, kRed, kBlue, kBlue, kBlack};
    for (int x = 0; x < 14; ++x) EXPECT_EQ(Rgb(canvas.dib.At(x, 1)), Rgb(expected[x])) << x;
}

TEST(UiSkinNineGrid, MarginsWiderThanTheTargetAreCut) {
    const RECT src = {0, 0, 10, 10};
    const auto pieces = NineGrid(src, {0, 0, 6, 6}, {4, 4, 4, 4}, {4, 4, 4, 4}, false);
    for (const LxBlit& p : pieces) {
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
    SkinCanvas canvas(8, 8);
    canvas.served.Add(30, L"png", EncodeImage(Bands({kRed}, 4, 4), 4, 4));
    canvas.served.Add(31, L"jpg", EncodeImage(Bands({kBlue}, 8, 8), 8, 8, true));
    canvas.served.Add(32, L"png", EncodeImage(Bands({kRed, kGreen}, 2, 2), 4, 2));
    canvas.Skin("<png name='r' src='30'/><jpg name='j' src='31'/><png name='f' src='32' flip='1'/>", "r");
    LxSkinPool& pool = LxSkinPool::Global();
    pool.GetSkin("r")->Draw(canvas.dib.dc(), {0, 0, 8, 8}, 0, 128);
    EXPECT_TRUE(Near(canvas.dib.At(4, 4), 0xFF7F7F, 3)) << std::hex << canvas.dib.At(4, 4);
    pool.GetSkin("j")->Draw(canvas.dib.dc(), {0, 0, 8, 8}, 0, 255);
    EXPECT_TRUE(Near(canvas.dib.At(4, 4), 0x0000FF, 8)) << std::hex << canvas.dib.At(4, 4);
    pool.GetSkin("f")->Draw(canvas.dib.dc(), {0, 0, 4, 2}, 0, 255);
    EXPECT_EQ(Rgb(canvas.dib.At(0, 0)), Rgb(kGreen));  // mirrored left to right
    EXPECT_EQ(Rgb(canvas.dib.At(3, 1)), Rgb(kRed));
}
