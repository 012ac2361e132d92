#include <gtest/gtest.h>

#include <string>

#include "ControlCanvas.h"
#include "HostSupport.h"
#include "base/unique_any.h"

using namespace ui;
using namespace uitest;

namespace {

int GdiObjects() { return static_cast<int>(hosttest::GdiObjects()); }

// Every control and every way of painting text, each with an id to hover and click.
const char kEverything[] =
    "<text id='1' pos='0,0,60,20' class='shadow' border='1'>Shadow</text>"
    "<text id='2' pos='60,0,120,20' class='plus'>GDI+</text>"
    "<text id='3' pos='120,0,180,20' class='link'>Link</text>"
    "<img id='4' pos='180,0,220,40' skin='red' ico='blue' mask='three' caption='Cap' caption_top='5'/>"
    "<img id='5' pos='220,0,260,40' skin='blue' cliptype='1' alpha='50'/>"
    "<img id='6' pos='260,0,300,40' skin='blue' cliptype='2' clipparam='8'/>"
    "<img id='7' pos='0,20,40,60' skin='blue' cliptype='3' clipparam='0,0,20,20'/>"
    "<imgbtn id='8' pos='40,20,60,40' skin='three' group='g'/><imgbtn id='9' pos='60,20,80,40' skin='three' group='g'/>"
    "<dlgbtn id='10' pos='80,20,120,40' class='btn'><text pos='0,0,-0,-0' class='link'>A</text></dlgbtn>"
    "<dlgbtnEx2 id='11' pos='120,20,160,40' class='btn'><text pos='0,0,-0,-0' class='plus'>B</text></dlgbtnEx2>"
    "<progress id='12' pos='0,60,100,80' max='100' value='40' showpercent='1' bgskin='red' posskin='blue'/>"
    "<progress id='13' pos='100,60,200,80' max='100' value='60' showpercent='1' class='plus'/>"
    "<progress id='14' pos='200,60,300,80' progressbar='1'/>"
    "<expendimgex2 id='15' pos='160,40,260,60' skin='three' margin_left='1' margin_right='1' margin_top='1'/>";
constexpr int kElements = 15;
}  // namespace

// Painting never leaks: after one round that fills the caches (fonts per
// code, images, the shadow routine's library), a thousand rounds of hovering,
// pressing, releasing and painting leave the count where it was.
TEST(UiControlPaint, NoGdiObjectLeaksOverAThousandPaints) {
    ControlCanvas canvas(300, 80);
    canvas.Styles("<class name='shadow' shadow='1' crtext='ff0000' crhover='00ff00'/>"
                  "<class name='plus' gdiplus='1' crtext='0000ff' pushfont='0104' textmode='25'/>"
                  "<class name='link' hoverfont='0002' pushfont='0204' crpush='ff0000'/>"
                  "<class name='btn' skin='three'/>");
    canvas.Load(kEverything);

    const int idle = GdiObjects();
    ASSERT_GT(idle, 0);
    {
        base::unique_gdi_object brushes[] = {base::unique_gdi_object(::CreateSolidBrush(RGB(1, 2, 3))),
                                             base::unique_gdi_object(::CreateSolidBrush(RGB(4, 5, 6)))};
        ASSERT_EQ(GdiObjects(), idle + 2);  // the count sees every object
    }

    // Each paint shows one element pressed and the one before it released.
    auto round = [&canvas](int id) {
        canvas.Move(id);
        canvas.Press(id);
        canvas.Paint();
        canvas.Release(id);
    };
    for (int id = 1; id <= kElements; ++id) round(id);
    const int before = GdiObjects();
    constexpr int kRounds = 1000;
    for (int i = 0; i < kRounds; ++i) round(1 + i % kElements);
    canvas.router.MouseLeave();
    canvas.Paint();
    EXPECT_EQ(GdiObjects(), before);
}
