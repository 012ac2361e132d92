#include <gtest/gtest.h>

#include <string>

#include "UiSupport.h"
#include "ui/LxXml.h"
#include "ui/controls/LxControls.h"
#include "ui/elements/LxPos.h"
#include "ui/elements/LxWindowRegistry.h"
#include "ui/layout/LxControlCreator.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxSources.h"

using namespace ui;
using namespace uitest;

namespace {
int Unscaled(int v) { return v; }

// Serves and loads skins of the program's sizes over band images (slices red, green, blue ...).
void ServeProgramSizedSkins(ServedSources& sources) {
    struct Sized { const char* name; int id; int slices; int sliceWidth; int height; };
    static const Sized kSkins[] = {
        {"minimize", 4, 3, 16, 16}, {"close", 3, 3, 16, 16}, {"lite_img_logo2", 44, 1, 68, 15},
    };
    const std::vector<uint32_t> colors = {kRed, kGreen, kBlue};
    std::string document = "<skins>";
    for (const Sized& s : kSkins) {
        const std::vector<uint32_t> palette(colors.begin(), colors.begin() + s.slices);
        const int width = s.sliceWidth * s.slices;
        sources.Add(s.id, L"png", EncodeImage(Bands(palette, s.sliceWidth, s.height), width, s.height));
        document += "<png name=\"" + std::string(s.name) + "\" src=\"" + std::to_string(s.id) + "\"" +
                    (s.slices > 1 ? " subwidth=\"" + std::to_string(s.sliceWidth) + "\"" : std::string()) + "/>";
    }
    document += "</skins>";
    sources.Add(ui::kSkinDocumentId, L"xml", document);
    ui::LoadSkins();
}

// A layout document laid out in a client area, with the skins the program's
// layouts measure when asked.
struct Laid : Canvas {
    Laid(const std::string& xml, LxHostKind kind, SIZE client, bool programSkins = false)
        : Canvas(client.cx, client.cy, kind) {
        if (programSkins) ServeProgramSizedSkins(served);
        LoadLayer(xml);
    }
    RECT Of(int id) { return (*this)[id].Rect(); }
};
}  // namespace

TEST(UiPos, GrammarOfEveryExample) {
    const struct {
        const char* text;
        int count;
        const char* items;  // "c" centre, "-" far edge, then the value; items separated by blanks
    } cases[] = {
        // Laid out: UiLayout.PositionExamples.
        {"0,0,-0,-0", 4, "0 0 -0 -0"},      {"|-10,0,|10,20", 4, "c-10 0 c10 20"}, {"w5,h5", 2, "5 5"},
        {"1", 0, ""},                       {"1,2,3,4,5,6,7,8,9", 0, ""},
        {"", 0, ""},                        {",", 2, "0 0"},                   {"-,|", 2, "-0 c0"},
        {"99999999999,-99999999999", 2, "16777216 -16777216"},
        {"|-w10,5", 2, "c-10 5"},
    };
    for (const auto& c : cases) {
        const LxPos pos = ParsePos(c.text, Unscaled);
        EXPECT_EQ(pos.count, c.count) << c.text;
        std::string items;
        for (int i = 0; i < pos.count; ++i) {
            if (i) items += " ";
            const LxPosItem& it = pos.items[i];
            items += std::string(it.centre ? "c" : "") + (it.farEdge ? "-" : "") + std::to_string(it.value);
        }
        EXPECT_EQ(items, c.items) << c.text;
    }
    const LxPos doubled = ParsePos("3,4,w5,h6", [](int v) { return v * 2; });
    EXPECT_EQ(doubled.items[2].value, 16);  // the width is added before scaling
    EXPECT_EQ(doubled.items[3].value, 20);
}

TEST(UiPos, ResolvingAgainstASpan) {
    const struct { const char* item; int a, b, expected; } cases[] = {
        {"7", 100, 200, 107}, {"-7", 100, 200, 193}, {"|7", 100, 200, 157}, {"|-7", 100, 200, 143},
        {"-0", 100, 200, 200}, {"|0", 0, 5, 2},      {"|-0", 0, -5, -2},    {"99999999999", 0, 10, kMaxCoordinate},
    };
    for (const auto& c : cases) {
        const LxPos pos = ParsePos(std::string(c.item) + ",0", Unscaled);
        EXPECT_EQ(ResolvePosItem(pos.items[0], c.a, c.b), c.expected) << c.item;
    }
}

TEST(UiLayout, PositionExamples) {
    Laid l("<layer><header height='30'><dlg id='9' pos='0,0,-0,-0'/></header><body>"
           "<imgbtn id='1' pos='478,16' skin='minimize'/><imgbtn id='2' pos='-30,7' skin='close'/>"
           "<text id='3' pos='|-10,0,|10,20'/><text id='4' pos='10,10,w50,h20'/><text id='5' pos='10,10,60,30'/>"
           "<text id='6' pos='1,2,3'/><img id='7' pos='10,8' skin='lite_img_logo2'/>"
           "<img id='8' pos='10,8' skin='lite_img_logo2' use_pos_size='0'/></body></layer>",
           LxHostKind::Plain, {530, 200}, true);
    EXPECT_EQ(l.Of(9), (RECT{0, 0, 530, 30}));
    EXPECT_EQ(l.layout.Body()->Rect(), (RECT{0, 30, 530, 200}));  // the body starts below the header
    EXPECT_EQ(l.Of(1), (RECT{478, 46, 494, 62}));
    EXPECT_EQ(l.Of(2), (RECT{500, 37, 516, 53}));
    EXPECT_EQ(l.Of(3), (RECT{255, 30, 275, 50}));
    EXPECT_EQ(l.Of(4), l.Of(5));
    EXPECT_EQ(l.Of(4), (RECT{10, 40, 60, 60}));
    EXPECT_TRUE(RectIsEmpty(l.Of(6)));
    EXPECT_EQ(l.Of(7), (RECT{10, 38, 10, 38}));  // two items, no text: empty
    EXPECT_EQ(l.Of(8), (RECT{10, 38, 78, 53}));  // one skin slice
    // A malformed pos is neither drawn nor hit.
    EXPECT_EQ(l.layout.Body()->HitTest(1, 32, true), l.layout.Body()->Handle());
    // A pos set at run time lays the element out again in its parent.
    l[5].SetAttribute("pos", "100,25,-20,50", false);
    EXPECT_EQ(l.Of(5), (RECT{100, 55, 510, 80}));
}

TEST(UiLayout, LayerAttributesGiveStyles) {
    const struct { const char* attributes; LxHostKind kind; DWORD style, exStyle; } cases[] = {
        {"", LxHostKind::Extended, 0x80090000, 0x10300},
        {"appwin='0' noborder='0'", LxHostKind::Extended, 0x80090000, 0x10300},
        {"appwin='1' noborder='1'", LxHostKind::Extended, 0x80090000, 0x50088},
        {"layered='1'", LxHostKind::Extended, 0x80090000, 0x90300},
        {"layered='1'", LxHostKind::Plain, 0x80090000, 0x10300},
        {"resize='0'", LxHostKind::Extended, 0x800A0000, 0x10300},
        {"resize='1'", LxHostKind::Extended, 0x800F0000, 0x10300},
        {"child='1' layered='1' resize='1' noborder='1'", LxHostKind::Extended, 0x46010000, 0x10000},
    };
    for (const auto& c : cases) {
        LxLayout layout(c.kind);
        ASSERT_TRUE(layout.LoadLayout(std::string("<layer ") + c.attributes + "/>"));
        EXPECT_EQ(layout.Layer().style, c.style) << c.attributes;
        EXPECT_EQ(layout.Layer().exStyle, c.exStyle) << c.attributes;
    }
    LxLayout sized;
    sized.LoadLayout(
        "<layer width='300' height='99999999999' min_width='400' min_height='-3' title='标题' nomove='1'/>");
    EXPECT_EQ(sized.InitialClientSize().cx, 400);
    EXPECT_EQ(sized.InitialClientSize().cy, kMaxCoordinate);
    EXPECT_EQ(sized.Layer().title, L"标题");
    EXPECT_TRUE(sized.Layer().noMove);
}

TEST(UiLayout, RootPanelsHeaderFooterBodyAndFullHeader) {
    Laid three("<layer><footer height='40'/><body/><header height='30'/></layer>", LxHostKind::Plain, {300, 200});
    EXPECT_EQ(three.layout.Header()->Rect(), (RECT{0, 0, 300, 30}));
    EXPECT_EQ(three.layout.Footer()->Rect(), (RECT{0, 160, 300, 200}));
    EXPECT_EQ(three.layout.Body()->Rect(), (RECT{0, 30, 300, 160}));
    Laid full("<layer><header height='full'/></layer>", LxHostKind::Extended, {300, 200});
    EXPECT_TRUE(full.layout.HeaderFull());
    EXPECT_EQ(full.layout.Header()->Rect(), (RECT{0, 0, 300, 200}));
    Laid plain("<layer><header height='full'/></layer>", LxHostKind::Plain, {300, 200});
    EXPECT_FALSE(plain.layout.HeaderFull());
    EXPECT_EQ(plain.layout.Header()->Rect(), (RECT{0, 0, 300, 0}));
    Laid second("<layer><header height='10'/><header height='50'/></layer>", LxHostKind::Plain, {300, 200});
    EXPECT_EQ(second.layout.Header()->Rect(), (RECT{0, 0, 300, 10}));  // the first of a name
}

TEST(UiLayout, TagFactoryKnowsTheWholeVocabulary) {
    CleanPools clean;
    for (std::string_view tag : CLxControlCreator::Tags()) {
        auto element = LxTagFactory::Default().CreateControl(tag);
        ASSERT_NE(element, nullptr) << tag;
        EXPECT_EQ(element->GetObjectClass(), tag);
        EXPECT_TRUE(element->IsClass(tag));
    }
    EXPECT_EQ(LxTagFactory::Default().CreateControl("br"), nullptr);
    EXPECT_STREQ(CLxControlCreator::ClassOf("listwnd"), "CLxListWnd");
    auto ex2 = LxTagFactory::Default().CreateControl("dlgbtnEx2");
    EXPECT_FALSE(ex2->IsClass("dlgbtn"));  // bases are not consulted
    EXPECT_TRUE(ex2->IsContainer());

    Laid l("<layer><body><slider id='1' pos='0,0,10,10' crbg='ff0000' sliderpos='5'><text id='2'/></slider>"
           "<mystery id='3'><text id='4'/></mystery><text id='5' pos='0,0,1,1'/></body></layer>",
           LxHostKind::Plain, {20, 20});
    auto& slider = static_cast<CLxGenericElement&>(*l.layout.FindChildById(1));
    EXPECT_STREQ(slider.ControlClass(), "LxSlider");
    EXPECT_EQ(slider.Kept("sliderpos"), "5");
    EXPECT_EQ(l.layout.FindChildById(2), nullptr);  // a plain element has no children
    EXPECT_EQ(l.layout.FindChildById(3), nullptr);  // unknown: skipped with its subtree
    EXPECT_EQ(l.layout.FindChildById(4), nullptr);
    EXPECT_NE(l.layout.FindChildById(5), nullptr);
    l.Paint();
    EXPECT_EQ(l.At(5, 5), Rgb(kRed));  // it draws its background
}

TEST(UiLayout, HostFallbackCreatorIsInherited) {
    struct Custom : ILxControlCreator {
        std::unique_ptr<CLxWindow> CreateControl(std::string_view tag) override {
            return tag == "mine" ? std::make_unique<CLxStatic>() : nullptr;
        }
    } custom;
    LxTagFactory factory(&custom);
    LxLayout layout;
    layout.SetCreator(&factory);
    layout.LoadLayout("<layer><body><dlg><dlg><mine id='1'/></dlg></dlg><mine id='2'/><slider id='3'/></body></layer>");
    EXPECT_NE(layout.FindChildById(1), nullptr);
    EXPECT_NE(layout.FindChildById(2), nullptr);
    EXPECT_EQ(layout.FindChildById(3), nullptr);  // the host's creator replaced the vocabulary
}

TEST(UiLayout, BadDocumentsBuildNothing) {
    const char* bad[] = {"", "<layer>", "<notlayer><body/></notlayer>", "garbage", "<layer><body></layer>"};
    for (const char* text : bad) {
        LxLayout layout;
        EXPECT_FALSE(layout.LoadLayout(text)) << text;
        EXPECT_FALSE(layout.Loaded());
        EXPECT_EQ(layout.Body(), nullptr);
        layout.Arrange({0, 0, 10, 10});
        LxDib dib(10, 10);
        layout.Paint(dib.dc(), nullptr);
    }
    LxLayout reloaded;
    reloaded.LoadLayout("<layer><body><text id='1'/></body></layer>");
    const size_t withOne = LxWindowRegistry::Instance().Count();
    reloaded.LoadLayout("<layer><header/></layer>");
    EXPECT_EQ(reloaded.Body(), nullptr);  // loading again replaces every element
    EXPECT_EQ(LxWindowRegistry::Instance().Count(), withOne - 1);
}

TEST(UiLayout, DeepNestingIsBounded) {
    auto chain = [](int depth) {
        std::string xml = "<layer><body>";
        for (int i = 0; i < depth; ++i) xml += "<dlg pos='1,1,-1,-1'>";
        for (int i = 0; i < depth; ++i) xml += "</dlg>";
        return xml + "</body></layer>";
    };
    LxLayout deep;
    EXPECT_FALSE(deep.LoadLayout(chain(10000)));  // refused before parsing
    TiXmlDocument bom;
    EXPECT_TRUE(ui::ParseXml("\xEF\xBB\xBF<layer/>", bom));  // a byte-order mark may lead
    LxLayout fits;
    ASSERT_TRUE(fits.LoadLayout(chain(50)));
    fits.Arrange({0, 0, 1000, 1000});
    int count = 0;
    fits.VisitElements([&](CLxWindow&) { ++count; });
    EXPECT_EQ(count, 51);
    // Trees built in code are bounded by the same depth when loaded.
    CLxDialog root;
    root.SetDepth(static_cast<int>(kMaxXmlDepth));
    TiXmlDocument doc;
    doc.Parse("<x><dlg/></x>");
    root.LoadChildren(doc.RootElement()->FirstChildElement());
    EXPECT_TRUE(root.Children().empty());
}
