#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "UiSupport.h"
#include "ui/pools/LxFontPool.h"
#include "ui/pools/LxImagePool.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxStringPool.h"
#include "ui/pools/LxStyle.h"

using namespace ui;
using namespace uitest;

namespace {
// Pixels inside a rectangle that differ from `background`.
int Differing(const LxDib& dib, const RECT& r, uint32_t background) {
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) count += Rgb(dib.At(x, y)) != Rgb(background) ? 1 : 0;
    }
    return count;
}

bool SkinHasImage(const char* name) {
    CLxSkinBase* skin = LxSkinPool::Global().GetSkin(name);
    return skin && skin->GetImageSize().cx > 0;
}

std::wstring ShotPath(const wchar_t* name) {
    const std::wstring folder = testing_support::BinDir() + L"..\\ui-shots\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + name;
}

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
};
}  // namespace

// Renders both layouts with the program's embedded pools into PNG files under
// build/x64/ui-shots. Skins whose images are not embedded draw nothing.
TEST(UiRender, BothLayoutsFromTheEmbeddedResources) {
    CleanPools clean;
    EXPECT_TRUE(LoadStyles());
    EXPECT_TRUE(LoadStrings());
    LoadSkins();  // the skin document comes with the artwork
    EXPECT_EQ(*LxStringPool::Global().GetString(0), L"微软雅黑");

    Rendered wizard(kWizardLayoutId, LxHostKind::Extended, {530, 400});
    wizard.Paint();
    EXPECT_TRUE(SaveDibPng(wizard.dib, ShotPath(L"layout11001.png")));
    EXPECT_EQ(Rgb(wizard.dib.At(5, 395)), Rgb(kWhite));  // the white panel under the banner
    if (SkinHasImage("mainbg_banner0")) {
        EXPECT_GT(Differing(wizard.dib, {0, 0, 530, 260}, 0), 530 * 130);
    }
    if (SkinHasImage("uninstallbtn")) {
        EXPECT_GT(Differing(wizard.dib, {120, 305, 255, 355}, kWhite), 135 * 50 / 10);
    }

    Rendered box(kMessageBoxLayoutId, LxHostKind::Plain, {354, 180});
    for (const LxLayout* layout : {&wizard.layout, &box.layout}) {
        layout->VisitElements([](CLxWindow& e) {
            EXPECT_TRUE(e.ClassName().empty() || LxStylePool::Global().Has(e.ClassName())) << e.ClassName();
        });
    }
    // The text the running-viewer question puts in, as the box's owner does.
    box.layout.FindChildById(103)->SetText(L"您已打开图片查看器，继续卸载会关闭");
    box.layout.FindChildById(104)->SetText(L"正打开的图片，您确定吗？");
    box.layout.FindChildById(104)->SetVisible(true);
    box.Paint();
    EXPECT_TRUE(SaveDibPng(box.dib, ShotPath(L"layout11004.png")));
    EXPECT_GT(Differing(box.dib, {90, 125, 182, 155}, kWhite), 20);  // "确定" on its button
    EXPECT_GT(Differing(box.dib, {100, 62, 334, 87}, kWhite), 100);  // the two lines of text
    EXPECT_GT(Differing(box.dib, {100, 80, 334, 105}, kWhite), 100);
    EXPECT_EQ(Differing(box.dib, {0, 160, 80, 180}, kWhite), 0);    // nothing but the body below
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
    EXPECT_GT(Differing(wizard.dib, {20, 281, 510, 293}, kWhite), 30);  // "正在卸载："
    EXPECT_EQ(Differing(wizard.dib, {120, 310, 255, 355}, kWhite), 0);  // page 100 is hidden
    // Without the bar's skins the track is outlined and half of it filled.
    EXPECT_NE(Rgb(wizard.dib.At(22, 304)), Rgb(kWhite));
}

TEST(UiRender, FontsAndImagesMadeOncePerKeyAcrossRepaints) {
    CleanPools clean;
    LoadStyles();
    LoadStrings();
    ServedSources served;
    LxSkinPool::Global().LoadDocument(ServeProgramSizedSkins(served));  // these skins only
    Rendered box(kMessageBoxLayoutId, LxHostKind::Plain, {354, 180});
    Rendered wizard(kWizardLayoutId, LxHostKind::Extended, {530, 400});
    box.Paint();
    wizard.Paint();
    const size_t fonts = LxFontPool::Global().CreatedCount();
    const size_t images = LxImagePool::Png().DecodedCount();
    for (int i = 0; i < 20; ++i) {
        box.Paint();
        wizard.Paint();
        box.layout.Arrange({0, 0, 354, 180});
    }
    EXPECT_EQ(LxFontPool::Global().CreatedCount(), fonts);
    EXPECT_EQ(LxImagePool::Png().DecodedCount(), images);
    EXPECT_EQ(images, 6u);  // close, minimise, the box's close button, logo, icon and the button skin
    EXPECT_EQ(fonts, 1u);   // the texts shown ("确定", "取消") take the base font
}

TEST(UiRender, TextLeavesTheBackgroundUnderItAlone) {
    CleanPools clean;
    LxLayout layout;
    ASSERT_TRUE(layout.LoadLayout("<layer><body crbg='0000ff'><text pos='0,0,-0,-0' crtext='ffffff' textmode='25'>"
                                  "取消</text></body></layer>"));
    layout.Arrange({0, 0, 80, 30});
    LxDib dib(80, 30);
    dib.Fill(0);
    ::SetBkColor(dib.dc(), RGB(255, 0, 0));  // would show around the glyphs if the text filled its box
    layout.Paint(dib.dc(), nullptr);
    int glyph = 0;
    int red = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 80; ++x) {
            const uint32_t p = dib.At(x, y);
            const int r = (p >> 16) & 0xFF;
            const int b = p & 0xFF;
            glyph += r > 0x80 && b > 0x80 ? 1 : 0;
            red += r > 0x80 && b < 0x80 ? 1 : 0;
        }
    }
    EXPECT_GT(glyph, 10);
    EXPECT_EQ(red, 0);
}
