#include <gtest/gtest.h>

#include <memory>

#include "UiSupport.h"
#include "ui/controls/LxControls.h"
#include "ui/elements/LxNotify.h"
#include "ui/elements/LxWindowRegistry.h"

using namespace ui;
using namespace uitest;

namespace {
// The elements of a body laid out in a 200 by 100 client area.
struct Built : Canvas {
    explicit Built(const std::string& body) : Canvas(200, 100) { Load(body); }
};
}  // namespace

TEST(UiElements, HandlesAreUniqueAndStaleOnesFindNothing) {
    auto first = std::make_unique<CLxStatic>();
    auto second = std::make_unique<CLxStatic>();
    const uint32_t gone = first->Handle();
    EXPECT_GT(second->Handle(), gone);
    EXPECT_EQ(FindElement(gone), first.get());
    first.reset();
    EXPECT_EQ(FindElement(gone), nullptr);
    auto third = std::make_unique<CLxStatic>();
    EXPECT_GT(third->Handle(), second->Handle());  // never reused
    EXPECT_EQ(FindElement(0), nullptr);
}

// Attributes that no behaviour below shows.
TEST(UiElements, GenericAttributesTable) {
    Built b("<text id='7' class='c' font='0104' valign='middle' align='right' forceupdatestyle='1'"
            " autofixtextrect='0' border='1' layout_margin_left='4' layout_min_height='5' unknown='x'/>");
    CLxWindow& e = b[7];
    EXPECT_EQ(e.ClassName(), "c");
    EXPECT_EQ(e.FontCode(), 0x104);
    EXPECT_EQ(e.VAlign(), kVAlignMiddle);
    EXPECT_EQ(e.Align(), kAlignRight);
    EXPECT_TRUE(e.ForceUpdateStyle());
    EXPECT_FALSE(e.AutoFixTextRect());
    EXPECT_TRUE(e.HasBorder());
    EXPECT_EQ(e.Layout().marginLeft, 4);
    EXPECT_EQ(e.Layout().minHeight, 5);
    EXPECT_EQ(e.SetAttribute("unknown", "x", false), kUnknownAttribute);
    e.SetAttribute("valign", "sideways", false);  // an unknown word leaves the field
    e.SetAttribute("align", "centre", false);
    EXPECT_EQ(e.VAlign(), kVAlignMiddle);
    EXPECT_EQ(e.Align(), kAlignRight);
    e.SetAttribute("valign", "bottom", false);
    EXPECT_EQ(e.VAlign(), kVAlignBottom);
}

TEST(UiElements, LoadTextShowAndSizeAttributes) {
    Built b("");
    LxStringPool::Global().LoadDocument("<string><s id='1'>卸载</s></string>");
    b.Load("<text id='1' pos='0,0,10,10'>开始%str1%结束 %str0%</text>"
            "<text id='2' show='0' pos='0,0'/>"
            "<dlg id='3' width='40' height='full' float='1'/>"
            "<dlg id='4' width='-5' height='x'/>"
            "<text id='5' pos='1,2,3' width='50'/>");
    EXPECT_EQ(b[1].Text(), L"开始卸载结束 %str0%");
    EXPECT_FALSE(b[2].IsVisible(false));
    EXPECT_EQ(b[3].PosFlags(), kPosWidthFixed | kPosHeightFull | kPosFloat);
    EXPECT_EQ(b[3].FixedWidth(), 40);
    EXPECT_EQ(b[4].PosFlags(), kPosWidthAuto | kPosHeightAuto | kPosNormal);
    EXPECT_EQ(b[1].PosFlags(), kPosWidthAuto | kPosHeightAuto | kPosNormal);
    EXPECT_TRUE(b[5].HasBadPos());
    EXPECT_EQ(b[5].PosFlags() & kPosWidthFixed, kPosWidthFixed);  // a failed pos reads the sizes
    EXPECT_TRUE(::IsRectEmpty(&b[5].Rect()));
}

TEST(UiElements, StateBitsAndInheritedDisable) {
    Built b("<dlg id='1' pos='0,0,-0,-0'><dlg id='2' pos='0,0,-0,-0'><text id='3' pos='0,0,5,5'/></dlg></dlg>");
    CLxWindow& leaf = b[3];
    leaf.ModifyState(kStateHover | kStatePush, 0);
    EXPECT_EQ(leaf.State(), kStateHover | kStatePush);
    EXPECT_EQ(leaf.StateIndex(), 2);
    leaf.ModifyState(kStateCheck, kStatePush);
    EXPECT_EQ(leaf.State(), kStateHover | kStateCheck);
    EXPECT_EQ(leaf.StateIndex(), 1);
    b[1].ModifyState(kStateDisable, 0);
    EXPECT_TRUE(leaf.IsDisabled(true));
    EXPECT_FALSE(leaf.IsDisabled(false));
    EXPECT_EQ(leaf.StateIndex(), 3);
    b[2].SetVisible(false);
    EXPECT_FALSE(leaf.IsVisible(true));
    EXPECT_TRUE(leaf.IsVisible(false));
    EXPECT_EQ(b[2].State() & kStateInvisible, kStateInvisible);
    b[2].SetVisible(true);
    EXPECT_TRUE(leaf.IsVisible(true));
}

TEST(UiElements, NeedRedrawWhenStateChange) {
    Built b("");
    b.Styles("<class name='sliced' skin='three'/><class name='one' skin='red'/><class name='hov' crhover='ff0000'/>"
             "<class name='hf' hoverfont='0002'/><class name='push' crpush='ff0000'/>"
             "<class name='plain' crtext='ff0000'/>"
             "<class name='missing' skin='nothing'/>");
    b.Load("<text id='1' class='sliced'/><text id='2' class='one'/><text id='3' class='hov'/><text id='4' class='hf'/>"
            "<text id='5' class='push'/><text id='6' class='plain'/><text id='7' class='missing'/>"
            "<imgbtn id='8'/><dlgbtn id='9'/>");
    const bool expected[] = {true, false, true, true, true, false, false, true, true};
    for (int id = 1; id <= 9; ++id) EXPECT_EQ(b[id].NeedRedrawWhenStateChange(), expected[id - 1]) << id;
}

TEST(UiElements, BackgroundColourSkinAndStateSlices) {
    Built b("");
    b.Styles("<class name='btn' skin='three'/><class name='fill' crbg='00ff00' crbghover='0000ff'/>");
    b.Load("<dlgbtn id='1' class='btn' pos='0,0,4,4'/><dlgbtnEx2 id='2' class='btn' pos='0,0,4,4'/>"
            "<text id='3' class='btn' correctdrawbg='1' pos='0,0,4,4'/><text id='4' class='fill' pos='0,0,4,4'/>"
            "<text id='5' class='fill' crbg='ff0000' pos='0,0,4,4'/>");
    const struct { int id; uint32_t state; uint32_t color; } cases[] = {
        {1, 0, kRed}, {1, kStateHover, kGreen}, {1, kStateHover | kStatePush, kRed},  // whole word 3: wraps to 0
        {1, kStatePush, kBlue}, {1, kStateDisable, kGreen},                            // 16 mod 3
        {2, kStateHover | kStatePush, kBlue}, {2, kStateHover, kGreen}, {2, kStateDisable, kRed},  // index 3 wraps
        {3, kStateHover | kStatePush, kBlue},
        {4, 0, kGreen}, {4, kStateHover, kBlue}, {5, 0, kRed}, {5, kStateHover, kBlue},
    };
    for (const auto& c : cases) {
        LxDib dib(4, 4);
        dib.Fill(kWhite);
        CLxWindow& e = b[c.id];
        e.ModifyState(c.state, ~c.state);
        e.DrawBackground(dib.dc());
        EXPECT_EQ(Rgb(dib.At(2, 2)), Rgb(c.color)) << c.id << " state " << c.state;
    }
}

TEST(UiElements, NaturalSizeMeasuresTextWithMarginsAndBounds) {
    Built b("");
    b.Styles("<class name='m' margin='5'/>");
    b.Load("<text id='1' pos='0,0'>Wide text</text><text id='2' class='m' pos='0,0'>Wide text</text>"
            "<text id='3' class='m' pos='0,0'/><text id='4' pos='0,0' layout_width='-2' layout_height='7'/>"
            "<text id='5' pos='0,0' layout_max_width='10'>Wide text</text>"
            "<dlg id='6' pos='10,10'><text id='7' pos='0,0' layout_width='-2' layout_height='-2'/></dlg>");
    const int textWidth = RectWidth(b[1].Rect());
    const int textHeight = RectHeight(b[1].Rect());
    EXPECT_GT(textWidth, 20);
    EXPECT_GT(textHeight, 5);
    EXPECT_EQ(RectWidth(b[2].Rect()), textWidth + 10);
    EXPECT_EQ(RectHeight(b[2].Rect()), textHeight + 10);
    EXPECT_EQ(b[3].Rect(), (RECT{0, 0, 10, 10}));  // no text: the margins only
    EXPECT_EQ(b[4].Rect(), (RECT{0, 0, 200, 7}));  // -2 takes the offered width
    EXPECT_EQ(RectWidth(b[5].Rect()), 10);
    EXPECT_EQ(b[7].Rect(), (RECT{10, 10, 10, 10}));  // offered the empty panel's size
}

TEST(UiHitTest, TransparentButtonChildrenFloatingInvisible) {
    Built b("<dlg id='1' pos='0,0,100,100'>"
            "  <text id='2' pos='0,0,50,50'/>"
            "  <text id='3' pos='0,0,50,50' transparent='1'/>"
            "  <dlgbtnEx2 id='4' pos='50,0,100,50'><text id='5' pos='0,0,-0,-0'/></dlgbtnEx2>"
            "  <text id='6' pos='0,50,50,100' float='1'/><text id='7' pos='0,50,50,100'/>"
            "  <text id='8' pos='50,50,100,100'/><text id='9' pos='50,50,100,100' show='0'/>"
            "  <dlg id='10' pos='60,60,90,90' onlydrawchild='1'><text id='11' pos='0,0,-0,-0'/></dlg>"
            "</dlg>");
    CLxWindow& root = b[1];
    const struct { int x, y, expected; } cases[] = {
        {10, 10, 2},    // the transparent one on top is skipped
        {75, 25, 4},    // the button, never its text
        {10, 75, 6},    // floating before the later normal sibling
        {55, 55, 8},    // the invisible one is skipped
        {75, 75, 10},   // "onlydrawchild": the panel itself
        {150, 150, 0},  // outside
    };
    for (const auto& c : cases) {
        const uint32_t hit = root.HitTest(c.x, c.y, true);
        EXPECT_EQ(hit ? FindElement(hit)->Id() : 0, c.expected) << c.x << "," << c.y;
    }
}

TEST(UiElements, FindChildByIdDirectChildrenFirst) {
    Built b("<dlg id='1'><text id='5' userdata='1'/><text id='3' userdata='3'/></dlg><text id='5' userdata='2'/>");
    EXPECT_EQ(b[5].UserData(), 2);  // a direct child before a deeper one
    EXPECT_EQ(b[3].UserData(), 3);
    EXPECT_EQ(b.layout.FindChildById(99), nullptr);
}

namespace {
std::vector<std::string> g_notices;  // what the container window was told
LRESULT CALLBACK RecordNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_NOTIFY) return ::DefWindowProcW(window, message, wParam, lParam);
    const auto* r = reinterpret_cast<const LxWndMouseRecord*>(lParam);
    g_notices.push_back(std::to_string(wParam) + ":" + std::to_string(r->hdr.code) + ":" + std::to_string(r->id) +
                        ":" + r->text + ":" + std::to_string(r->subCode));
    return 0;
}
}  // namespace

TEST(UiElements, NotifyAttributeReportsMovesAndLeavesToTheContainer) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecordNotify;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"UiTestNotifySink";
    ::RegisterClassW(&wc);
    base::unique_hwnd window(::CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 0, 10, 10, HWND_MESSAGE,
                                               reinterpret_cast<HMENU>(77), wc.hInstance, nullptr));
    ASSERT_TRUE(window);
    Built b("<text id='1' notify='1'/><text id='2' notify='2'/><text id='3'/>");
    b.layout.SetContainer(window.get());
    LRESULT result = 0;
    for (int id : {1, 2, 3}) {
        for (UINT message : {WM_MOUSEMOVE, WM_MOUSELEAVE}) b[id].ProcessMessage(b[id].Handle(), message, 0, 0, &result);
    }
    EXPECT_EQ(g_notices, (std::vector<std::string>{"77:6:1:wnd:3", "77:6:2:wnd:4"}));
}
