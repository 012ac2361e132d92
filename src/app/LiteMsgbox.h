// The skinned message box: layout 11004 in a top-level dialog with a soft
// shadow, an icon, one or two lines of text and up to two buttons. Its one
// caller is the running-viewer question.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/FrameMark.h"
#include "ui/host/LxDialogImpl.h"
#include "ui/host/LxShadowWnd.h"

namespace app {

// Element ids of layout 11004.
constexpr int kBoxCloseId = 100;
constexpr int kBoxIconId = 102;
constexpr int kBoxFirstLineId = 103;
constexpr int kBoxSecondLineId = 104;
constexpr int kBoxCheckId = 105;
constexpr int kBoxAltFirstId = 106;
constexpr int kBoxAltSecondId = 107;
constexpr int kBoxFirstButtonId = 108;
constexpr int kBoxSecondButtonId = 110;
constexpr int kBoxFirstButtonTextId = 111;
constexpr int kBoxSecondButtonTextId = 112;

// Button set flags.
constexpr uint32_t kBoxFirstButton = 0x1;
constexpr uint32_t kBoxSecondButton = 0x2;
constexpr uint32_t kBoxAltFirstButton = 0x4;
constexpr uint32_t kBoxAltSecondButton = 0x8;
constexpr uint32_t kBoxCheck = 0x10;
constexpr uint32_t kBoxOnlySecondButton = 0x20;
constexpr uint32_t kBoxDefaultButtons = kBoxFirstButton | kBoxSecondButton;

// Results (0x10 is added for a wanted, checked check box).
constexpr uint32_t kBoxResultFirst = 0x1;
constexpr uint32_t kBoxResultSecond = 0x2;
constexpr uint32_t kBoxResultAltFirst = 0x4;
constexpr uint32_t kBoxResultAltSecond = 0x8;
constexpr uint32_t kBoxResultChecked = 0x10;
constexpr uint32_t kBoxResultClose = 0x20;

// Icon kinds; any other value keeps the layout's icon.
constexpr int kBoxIconWarning = 0;
constexpr int kBoxIconError = 2;

constexpr int kBoxShadowSize = 28;

// The result a click of `id` ends the box with; 0 for ids that do not end it.
uint32_t BoxResultFor(int id);

// The text's two lines: everything before the first line feed, and
// everything after it (empty and not shown without a line feed).
struct BoxLines {
    std::wstring first;
    std::wstring second;
    bool twoLines = false;
};
BoxLines SplitBoxText(const std::wstring& text);

class QLiteMsgbox : public ui::CLxDialogImpl, private ui::IShadowPaintHook {
public:
    explicit QLiteMsgbox(std::wstring text);

    // Shows the box modally (owner: the current modal window, else the active
    // one) and answers the result; 0 when the window cannot be created.
    uint32_t ShowModal();

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Set before ShowModal.
    std::wstring checkText;
    std::wstring firstButtonText;
    std::wstring secondButtonText;
    uint32_t buttonSet = kBoxDefaultButtons;
    int iconKind = kBoxIconWarning;
    int checkWanted = 0;
    int checkInitial = 0;
    int shadowSize = kBoxShadowSize;
    int bringToForeground = 1;

    uint32_t result() const { return result_; }

private:
    int PaintShadow(HDC dc, const RECT& rect) override;
    void OnInitDialog();
    void OnClick(int id);

    std::wstring text_;
    uint32_t result_ = 0;
    bool ended_ = false;
    FirstFrameMark frameMark_{"uninst: box first frame\n"};
};

}  // namespace app
