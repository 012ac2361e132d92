#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlCanvas.h"
#include "ui/controls/LxControls.h"
#include "ui/elements/LxNotify.h"

using namespace ui;
using namespace uitest;

namespace {
// An image button, a "dlgbtn" and a "dlgbtnEx2" whose text sits apart from
// its centre, all with three-slice skins (red normal, green hover, blue pushed).
const char kButtons[] =
    "<imgbtn id='1' pos='0,0,20,20' skin='three'/>"
    "<dlgbtn id='2' pos='30,0,70,20' class='btn'/>"
    "<dlgbtnEx2 id='3' pos='80,0,160,40' class='btn'><text id='4' pos='10,25,40,35'>OK</text></dlgbtnEx2>";

enum class Act { None, Hover, Press, Disable };

uint32_t ColourOf(char c) { return c == 'R' ? Rgb(kRed) : c == 'G' ? Rgb(kGreen) : Rgb(kBlue); }
}  // namespace

// Mouse messages through the router, then a paint: the slice on real pixels.
// A "dlgbtn" passes its whole state word to the skin (hover and push, 3,
// wraps to slice 0; disabled, 16, to slice 1); the others use the state index.
TEST(UiButtons, HoverAndPushShowTheirSkinSlices) {
    const struct {
        int id;
        int target;  // where the mouse goes
        Act act;
        POINT probe;
        char colour;
    } cases[] = {
        {1, 1, Act::None, {10, 10}, 'R'},    {1, 1, Act::Hover, {10, 10}, 'G'},   {1, 1, Act::Press, {10, 10}, 'B'},
        {1, 1, Act::Disable, {10, 10}, 'R'}, {2, 2, Act::Hover, {50, 10}, 'G'},   {2, 2, Act::Press, {50, 10}, 'R'},
        {2, 2, Act::Disable, {50, 10}, 'G'}, {3, 4, Act::Hover, {150, 5}, 'G'},   {3, 4, Act::Press, {150, 5}, 'B'},
        {3, 4, Act::Disable, {150, 5}, 'R'},
    };
    for (const auto& c : cases) {
        ControlCanvas canvas(200, 60);
        canvas.Styles("<class name='btn' skin='three'/>");
        canvas.Load(kButtons);
        if (c.act == Act::Disable) canvas[c.id].ModifyState(kStateDisable, 0);
        if (c.act == Act::Hover || c.act == Act::Press) canvas.Move(c.target);
        if (c.act == Act::Press) canvas.Press(c.target);
        canvas.Paint();
        EXPECT_EQ(canvas.At(c.probe.x, c.probe.y), ColourOf(c.colour)) << c.id << " act " << static_cast<int>(c.act);
    }
}

TEST(UiButtons, ClickOnTheTextOfADlgbtnEx2NotifiesTheButton) {
    ControlCanvas canvas(200, 60);
    canvas.Styles("<class name='btn' skin='three'/>");
    canvas.Load(kButtons);
    canvas.Move(4);
    canvas.Press(4);
    canvas.Release(4);
    ASSERT_FALSE(canvas.host.Notifications().empty());
    EXPECT_EQ(canvas.host.Notifications().back(), std::to_string(LXNM_CLICK) + ":3:dlgbtnEx2");
    canvas.Paint();
    EXPECT_EQ(canvas.At(150, 5), Rgb(kGreen));  // released, still under the mouse
}

// Buttons 1 to 3 form group "g", 4 is alone in "h", 5 has no group. The
// mouse leaves after every click, so the slices show the check alone.
TEST(UiButtons, GroupedImageButtonsBehaveAsRadioButtons) {
    ControlCanvas canvas(200, 20);
    canvas.Load("<imgbtn id='1' pos='0,0,20,20' skin='three' group='g'/>"
                "<imgbtn id='2' pos='30,0,50,20' skin='three' group='g'/>"
                "<dlg pos='60,0,-0,-0'><imgbtn id='3' pos='0,0,20,20' skin='three' group='g'/></dlg>"
                "<imgbtn id='4' pos='90,0,110,20' skin='three' group='h'/>"
                "<imgbtn id='5' pos='120,0,140,20' skin='three'/>");
    const struct {
        Act act;
        int id;
        const char* slices;  // buttons 1 to 5
    } steps[] = {
        {Act::Press, 1, "BRRRR"},  // checked
        {Act::Press, 2, "RBRRR"},  // the group's other member unchecked
        {Act::Hover, 3, "RBGRR"},  // hovered in a group with a checked member
        {Act::Press, 4, "RBRBR"},  // another group is left alone
        {Act::Press, 2, "RRRBR"},  // clicking the checked one unchecks it
        {Act::Press, 5, "RRRBR"},  // no group: no check
    };
    for (const auto& s : steps) {
        if (s.act == Act::Press) {
            canvas.Click(s.id);
            canvas.router.MouseLeave();
        } else {
            canvas.Move(s.id);
        }
        canvas.Paint();
        for (int id = 1; id <= 5; ++id) {
            const POINT centre = canvas.Centre(id);
            EXPECT_EQ(canvas.At(centre.x, centre.y), ColourOf(s.slices[id - 1])) << "button " << id << ", " << s.slices;
            EXPECT_EQ((canvas[id].State() & kStateCheck) != 0, s.slices[id - 1] == 'B') << id;
        }
    }
}
