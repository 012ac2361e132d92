#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UiSupport.h"
#include "ui/elements/LxNotify.h"
#include "ui/elements/LxWindowRegistry.h"

using namespace ui;
using namespace uitest;

namespace {
// A header of 40 pixels and a body under it (a 300 by 200 window):
//   header: imgbtn 1 (0..20), text 2 (20..40), text 3 accepting presses (40..60), dlgbtn 4 (60..80)
//   body:   dlgbtnEx2 10 holding text 11, text 12 with a link, dlgbtnEx2 0, disabled dlg 20
//           holding dlgbtnEx2 21, text 30 with a tip, text 31 without
const char kLayout[] =
    "<layer><header height='40'>"
    "<imgbtn id='1' pos='0,0,20,20'/><text id='2' pos='20,0,40,20'/>"
    "<text id='3' pos='40,0,60,20' headacceptlbtndownmsg='1'/><dlgbtn id='4' pos='60,0,80,20'/>"
    "</header><body>"
    "<dlgbtnEx2 id='10' pos='0,0,50,50'><text id='11' pos='0,0,-0,-0'/></dlgbtnEx2>"
    "<text id='12' pos='50,0,100,50' href='https://example.invalid/'/>"
    "<dlgbtnEx2 pos='100,0,150,50'/>"
    "<dlg id='20' pos='150,0,200,50'><dlgbtnEx2 id='21' pos='0,0,-0,-0'/></dlg>"
    "<text id='30' pos='0,100,50,150' tip='tip here'/><text id='31' pos='50,100,100,150'/>"
    "</body></layer>";

struct Mouse : Canvas {
    explicit Mouse(LxMouseRules rules = LxMouseRules::Extended()) : Canvas(300, 200, LxHostKind::Extended, rules) {
        LoadLayer(kLayout);
        (*this)[20].ModifyState(kStateDisable, 0);
    }
    void Click(int id) { Press(id), Release(id); }
    uint32_t State(int id) { return (*this)[id].State(); }
    uint32_t Handle(int id) { return (*this)[id].Handle(); }
};
}  // namespace

TEST(UiMouse, ClickOnAButtonOrItsTextNotifiesTheButton) {
    for (int target : {10, 11}) {
        Mouse m;
        m.Click(target);
        EXPECT_EQ(m.host.Notifications(),
                  (std::vector<std::string>{N(LXNM_LBUTTONDOWN, 10), N(LXNM_CLICK, 10, "dlgbtnEx2")}));
        EXPECT_EQ(m.State(10) & kStatePush, 0u);
        EXPECT_FALSE(m.router.Captured());
        EXPECT_EQ(m.host.Count("capture"), 2);
        EXPECT_EQ(m.host.Count("redraw"), 2);  // pushed, released
    }
}

TEST(UiMouse, ReleaseElsewhereIsALeaveNotAClick) {
    Mouse m;
    m.Press(10);
    EXPECT_EQ(m.State(10), kStatePush | 0u);
    m.Release(12);
    EXPECT_EQ(m.host.Notifications(), (std::vector<std::string>{N(LXNM_LBUTTONDOWN, 10), N(LXNM_MOUSELEAVE, 10)}));
    EXPECT_EQ(m.State(10), 0u);
    EXPECT_EQ(m.router.Pressed(), 0u);
}

TEST(UiMouse, MessageBoxHostClicksOnlyWhileHoveredAndSendsNoLeave) {
    Mouse m(LxMouseRules::Plain());
    m.Press(10);
    m.Release(12);
    EXPECT_EQ(m.host.Notifications(), std::vector<std::string>{N(LXNM_LBUTTONDOWN, 10)});
    m.Click(10);
    EXPECT_EQ(m.host.Notifications().back(), N(LXNM_CLICK, 10, "dlgbtnEx2"));
}

TEST(UiMouse, LinkOpensInsteadOfClickingAndIdZeroIsSilent) {
    Mouse m;
    m.Click(12);
    ASSERT_EQ(m.host.Count("href"), 1);
    EXPECT_EQ(m.host.calls.back().text, "https://example.invalid/");
    EXPECT_EQ(m.host.Notifications(), std::vector<std::string>{N(LXNM_LBUTTONDOWN, 12)});
    m.host.calls.clear();
    m.router.LButtonDown(125, 65);  // the button without an id
    m.router.LButtonUp(125, 65);
    m.router.LButtonDown(125, 65);
    m.router.LButtonUp(5, 190);
    EXPECT_TRUE(m.host.Notifications().empty());
    EXPECT_EQ(m.host.Count("capture"), 4);  // it is pressed all the same
}

TEST(UiMouse, HeaderPressMovesTheWindowUnlessClickableOrAccepting) {
    const struct { int id; bool noMove, minimized; int moves, presses; } cases[] = {
        {2, false, false, 1, 0},  // plain text in the header: move
        {2, true, false, 0, 0},   // "nomove"
        {2, false, true, 0, 0},   // minimised
        {1, false, false, 0, 1},  // an image button is clickable
        {4, false, false, 0, 1},  // so is a dialog button
        {3, false, false, 0, 1},  // headacceptlbtndownmsg
        {31, false, false, 0, 1}, // the body never moves the window
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Mouse m;
        m.router.SetLayer(false, c.noMove);
        m.host.minimized = c.minimized;
        m.Press(c.id);
        EXPECT_EQ(m.host.Count("move"), c.moves);
        EXPECT_EQ(m.host.Count("focus"), c.presses ? 0 : 1);
        EXPECT_EQ(m.router.Pressed() != 0, c.presses == 1);
    }
}

TEST(UiMouse, DisabledElementsAndAncestorsTakeNoPress) {
    Mouse m;
    m.Click(21);
    m.Move(21);
    EXPECT_TRUE(m.host.Notifications().empty());
    EXPECT_EQ(m.State(21), 0u);
    EXPECT_EQ(m.host.Count("capture"), 0);
    m[20].ModifyState(0, kStateDisable);
    m.Click(21);
    EXPECT_EQ(m.host.Notifications().back(), N(LXNM_CLICK, 21, "dlgbtnEx2"));
}

TEST(UiMouse, HoverFollowsMovesWithTipsLeavesAndRepaints) {
    Mouse m;
    m.Move(30);
    EXPECT_EQ(m.router.Hovered(), m.Handle(30));
    EXPECT_EQ(m.State(30), kStateHover | 0u);
    m.Move(30);  // same element: no second hover change
    m.Move(10);
    EXPECT_EQ(m.State(30), 0u);
    EXPECT_EQ(m.State(10), kStateHover | 0u);
    EXPECT_EQ(m.host.Notifications(), (std::vector<std::string>{N(LXNM_MOUSEMOVE, 30), N(LXNM_MOUSEMOVE, 30),
                                                                N(LXNM_MOUSEMOVE, 10), N(LXNM_MOUSELEAVE, 30)}));
    std::vector<std::string> tips;
    for (const HostCall& c : m.host.calls) {
        if (c.what == "tip") tips.push_back(c.text);
    }
    EXPECT_EQ(tips, (std::vector<std::string>{"tip here", ""}));
    EXPECT_EQ(m.host.Count("track"), 1);  // one leave notice asked for
    EXPECT_EQ(m.host.Count("redraw"), 1);  // only the button repaints on hover; the texts have no hover look
    // Not in the client area (a border): no hover change.
    m.router.SetLastHitCode(kHitBorderFirst);
    m.Move(31);
    EXPECT_EQ(m.State(10), kStateHover | 0u);
}

TEST(UiMouse, LeaveNoticeClearsHoverAndPress) {
    Mouse m;
    m.Move(10);
    m.router.MouseLeave();
    EXPECT_EQ(m.State(10), 0u);
    EXPECT_EQ(m.host.Notifications().back(), N(LXNM_MOUSELEAVE, 10));
    m.router.MouseLeave();
    EXPECT_EQ(m.host.Notifications().back(), N(LXNM_MOUSELEAVE, 0));  // none left: id 0
    m.Move(31);
    EXPECT_EQ(m.host.Count("track"), 2);  // asked again after the notice
}

TEST(UiMouse, WhilePressedOnlyThePressedElementHearsMoves) {
    Mouse m;
    m.Press(10);
    m.Move(30);
    EXPECT_EQ(m.router.Hovered(), m.Handle(10));
    EXPECT_EQ(m.State(30), 0u);
    EXPECT_EQ(m.host.Notifications(), std::vector<std::string>{N(LXNM_LBUTTONDOWN, 10)});
    m.Press(31);  // a second press while captured is ignored
    EXPECT_EQ(m.router.Pressed(), m.Handle(10));
}

TEST(UiMouse, BorderDragDoubleClickAndRightButton) {
    for (const bool plain : {false, true}) {
        Mouse m(plain ? LxMouseRules::Plain() : LxMouseRules::Extended());
        m.router.SetLayer(true, false);
        m.router.SetLastHitCode(13);
        m.Press(31);
        EXPECT_EQ(m.host.Count("drag"), plain ? 0 : 1);  // the child host has no border drag
        EXPECT_EQ(m.router.Pressed() != 0, plain);      // a drag takes the press
    }
    Mouse m;
    m.router.SetLayer(true, false);
    const POINT text = m.Centre(2);
    m.router.LButtonDblClk(text.x, text.y);  // header text, resizable
    EXPECT_EQ(m.host.Count("maximize"), 1);
    m.router.SetLayer(false, false);
    m.router.LButtonDblClk(text.x, text.y);
    EXPECT_EQ(m.host.Count("maximize"), 1);
    m.router.LButtonDblClk(m.Centre(1).x, m.Centre(1).y);  // an image button in the header
    EXPECT_EQ(m.host.Notifications().back(), N(LXNM_LBUTTONDBLCLK, 1, "imgbtn"));
    EXPECT_EQ(m.State(1), kStatePush | 0u);
    m.Release(1);
    EXPECT_EQ(m.host.Notifications().back(), N(LXNM_CLICK, 1, "imgbtn"));

    const POINT at = m.Centre(30);
    m.router.RButtonDown(at.x, at.y);
    m.router.RButtonUp(at.x, at.y);
    m.router.RButtonDown(at.x, at.y);
    m.router.RButtonUp(m.Centre(31).x, m.Centre(31).y);  // released elsewhere: no up notice
    const auto n = m.host.Notifications();
    EXPECT_EQ(std::vector<std::string>(n.end() - 3, n.end()),
              (std::vector<std::string>{N(LXNM_RBUTTONDOWN, 30), N(LXNM_RBUTTONUP, 30), N(LXNM_RBUTTONDOWN, 30)}));
}

TEST(UiMouse, AnElementGoneMidPressIsForgottenQuietly) {
    Mouse m;
    m.Press(10);
    m.layout.LoadLayout(kLayout);  // a new layout replaces every element
    m.layout.Arrange({0, 0, 300, 200});
    m.Release(10);
    EXPECT_EQ(m.host.Notifications(), std::vector<std::string>{N(LXNM_LBUTTONDOWN, 10)});
    m.router.MouseLeave();
    EXPECT_EQ(m.host.Notifications().back(), N(LXNM_MOUSELEAVE, 0));
}
