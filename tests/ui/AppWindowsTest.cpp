// The program's two windows in this process, with the program's own layouts
// and skins: the message box driven to its results by mouse messages
// at its controls, its text lines and shadow as the screen shows them, and
// the wizard's progress tick.
#include <gtest/gtest.h>

#include <thread>

#include "UiSupport.h"
#include "app/DetectorMainDlg.h"
#include "app/LiteMsgbox.h"
#include "app/UninstallRun.h"
#include "base/text.h"
#include "support/FileSystemSupport.h"
#include "support/TestSupport.h"
#include "support/WizardDriver.h"

namespace {

using namespace wizard_driver;
using uitest::ProgramPools;

constexpr uint32_t kBackdropRgb = 0xC8E6C8;
const RECT kBackdropRect = {0, 0, 1024, 768};
constexpr int kShadowProbe = 14;  // inside the 28-pixel shadow band, left of the box
// Rows only the second line reaches, and rows of the first line, in the box's client area.
constexpr int kSecondLineTop = 89;
constexpr int kSecondLineBottom = 103;
constexpr int kFirstLineTop = 62;
constexpr int kFirstLineBottom = 80;
constexpr int kTextLeft = 100;
constexpr int kTextRight = 334;

// Shows the box on this thread; `drive` runs on another with the box's window.
uint32_t ShowAndDrive(app::QLiteMsgbox& box, const std::function<void(HWND)>& drive) {
    std::thread driver([&] {
        HWND window = WaitForWindow(::GetCurrentProcessId(), kBoxSize);
        if (window) drive(window);
    });
    const uint32_t result = box.ShowModal();
    driver.join();
    return result;
}

// Pixels darker than the white background within the rows [top, bottom) of the text column.
int InkIn(HWND box, int top, int bottom) {
    int ink = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = kTextLeft; x < kTextRight; x += 2) ink += NearColour(ClientPixel(box, {x, y}), kWhite, 40) ? 0 : 1;
    }
    return ink;
}

}  // namespace

// A close request, Esc and Enter leave the box open; its buttons end it with
// their results (the first one's as the wizard's run shows it).
TEST(AppMessageBox, ALineFeedSplitsTheTextTheShadowFramesTheBoxAndOnlyButtonsEndIt) {
    struct Case { std::wstring text; bool secondLine; std::wstring secondText; POINT button; uint32_t result; };
    const Case cases[] = {
        {L"卸载会关闭正打开的图片", false, L"", kBoxCloseButton, app::kBoxResultClose},
        {L"您已打开 Lumenox\n正打开的图片\n您确定吗？", true, L"正打开的图片\n您确定吗？", kBoxNoButton,
         app::kBoxResultSecond},
    };
    ProgramPools pools;
    uitest::Backdrop backdrop(kBackdropRect, kBackdropRgb);
    for (const Case& c : cases) {
        SCOPED_TRACE(base::WideToUtf8(c.text));
        EXPECT_EQ(app::SplitBoxText(c.text).second, c.secondText);
        app::QLiteMsgbox box(c.text);
        int firstInk = 0;
        int secondInk = 0;
        uint32_t shadow = 0;
        uint32_t body = 0;
        bool stayedOpen = false;
        const uint32_t result = ShowAndDrive(box, [&](HWND window) {
            // Painted once the body is white.
            testing_support::WaitUntil([&] { return ClientPixel(window, {kTextLeft, kSecondLineBottom}) == kWhite; });
            uitest::Pump(100);
            firstInk = InkIn(window, kFirstLineTop, kFirstLineBottom);
            secondInk = InkIn(window, kSecondLineTop, kSecondLineBottom);
            shadow = ClientPixel(window, {-kShadowProbe, kBoxSize.cy / 2});
            body = ClientPixel(window, {kBoxSize.cx / 2, kBoxSize.cy - 2});
            PostClose(window);
            PressKey(window, VK_ESCAPE);
            PressKey(BoxView(window), VK_RETURN);
            uitest::Pump(300);
            stayedOpen = ::IsWindowVisible(window) != FALSE;
            Click(BoxView(window), c.button);
        });
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(result, c.result);
        EXPECT_GT(firstInk, 0);
        EXPECT_EQ(secondInk > 0, c.secondLine);
        EXPECT_NE(shadow, kBackdropRgb);  // the shadow's frame around the box
        EXPECT_EQ(body, kWhite);          // and nothing of it over the box
    }
}

TEST(AppWizard, TheProgressTickRepaintsOnlyTheBar) {
    uitest::CleanPools clean;
    testing_support::TempDir dir(L"wizard");
    app::QDetectorMainDlg wizard(app::OptionSource{L"uninst.exe", dir.path()});
    ASSERT_NE(wizard.Create(nullptr), nullptr);
    ::ShowWindow(wizard.hwnd(), SW_SHOWNOACTIVATE);
    ASSERT_TRUE(uitest::PumpUntil([&] { return wizard.PaintStats().renders > 0; }));
    EXPECT_NE(::SendMessageW(wizard.hwnd(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(::SendMessageW(wizard.hwnd(), WM_GETICON, ICON_SMALL, 0), 0);
    wizard.SetItemVisible(app::kConfirmPageId, false);
    wizard.SetItemVisible(app::kProgressPageId, true);
    uitest::Pump();

    ::SendMessageW(wizard.hwnd(), WM_TIMER, app::kProgressTimerId, 0);
    RECT update = {};
    ::GetUpdateRect(wizard.hwnd(), &update, FALSE);
    EXPECT_EQ(update, wizard.FindChildById(app::kProgressBarId)->Rect());
    EXPECT_EQ(wizard.progressPercent(), 10u);
}
