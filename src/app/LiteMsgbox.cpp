#include "app/LiteMsgbox.h"

#include "ui/LxGdi.h"
#include "ui/controls/LxExpendImg.h"
#include "ui/elements/LxNotify.h"
#include "ui/host/LxModal.h"
#include "ui/pools/LxFontPool.h"
#include "ui/pools/LxStringPool.h"

namespace app {

namespace {

constexpr int kUiFontStringId = 0;
constexpr wchar_t kLineFeed = L'\n';
// Text positions for a face other than YaHei, which sits higher in its box.
constexpr char kFirstLinePlainFace[] = "100,28,-20,53";
constexpr char kSecondLinePlainFace[] = "100,45,-20,71";
// The first of two lines moves up.
constexpr char kFirstOfTwoYahei[] = "100,25,-20,50";
constexpr char kFirstOfTwoPlainFace[] = "100,19,-20,44";
constexpr char kWarningIconSkin[] = "new_msgbox_icon_warn";
constexpr char kErrorIconSkin[] = "new_msgbox_icon_error";
constexpr char kShadowSkin[] = "cnm_showdow";
constexpr char kShadowPos[] = "0,0,-0,-0";

bool UiFontIsYahei() {
    const std::wstring* face = ui::LxStringPool::Global().GetString(kUiFontStringId);
    return face != nullptr && ui::IsYaheiFace(*face);
}

}  // namespace

uint32_t BoxResultFor(int id) {
    switch (id) {
        case kBoxFirstButtonId: return kBoxResultFirst;
        case kBoxSecondButtonId: return kBoxResultSecond;
        case kBoxAltFirstId: return kBoxResultAltFirst;
        case kBoxAltSecondId: return kBoxResultAltSecond;
        case kBoxCloseId: return kBoxResultClose;
        default: return 0;
    }
}

BoxLines SplitBoxText(const std::wstring& text) {
    const size_t feed = text.find(kLineFeed);
    if (feed == std::wstring::npos) return {text, {}, false};
    return {text.substr(0, feed), text.substr(feed + 1), true};
}

QLiteMsgbox::QLiteMsgbox(std::wstring text) : text_(std::move(text)) {}

uint32_t QLiteMsgbox::ShowModal() {
    result_ = 0;
    ended_ = false;
    Shadow().SetSize(shadowSize);
    Shadow().SetPaintHook(this);
    View().SetPresentListener(&frameMark_);
    ui::LxModalSession session;
    if (!Create(session.Owner())) return 0;
    session.Show(hwnd(), bringToForeground != 0);
    session.Run([this] { return ended_; }, [this](MSG& msg) { return ui::ForwardToFocusedChild(hwnd(), msg); });
    session.Finish();
    DestroyNative();
    return result_;
}

void QLiteMsgbox::OnInitDialog() {
    ui::CLxDialogView& view = View();
    const bool yahei = UiFontIsYahei();
    if (!yahei) {
        view.SetItemAttribute(kBoxFirstLineId, "pos", kFirstLinePlainFace);
        view.SetItemAttribute(kBoxSecondLineId, "pos", kSecondLinePlainFace);
    }
    if (!text_.empty()) {
        BoxLines lines = SplitBoxText(text_);
        view.SetItemText(kBoxFirstLineId, std::move(lines.first));
        if (lines.twoLines) {
            view.SetItemText(kBoxSecondLineId, std::move(lines.second));
            view.SetItemVisible(kBoxSecondLineId, true);
            view.SetItemAttribute(kBoxFirstLineId, "pos", yahei ? kFirstOfTwoYahei : kFirstOfTwoPlainFace);
        }
    }

    if (buttonSet & kBoxFirstButton) {
        view.SetItemVisible(kBoxFirstButtonId, true);
        if (!firstButtonText.empty()) view.SetItemText(kBoxFirstButtonTextId, firstButtonText);
    } else if (buttonSet & kBoxAltFirstButton) {
        view.SetItemVisible(kBoxAltFirstId, true);
        view.SetItemText(kBoxAltFirstId, firstButtonText);
    }
    if (buttonSet & kBoxSecondButton) {
        view.SetItemVisible(kBoxSecondButtonId, true);
        if (!secondButtonText.empty()) view.SetItemText(kBoxSecondButtonTextId, secondButtonText);
    } else if (buttonSet & kBoxAltSecondButton) {
        view.SetItemVisible(kBoxAltSecondId, true);
        view.SetItemText(kBoxAltSecondId, secondButtonText);
    }
    if (buttonSet & kBoxCheck) {
        view.SetItemVisible(kBoxCheckId, true);
        if (!checkText.empty()) view.SetItemText(kBoxCheckId, checkText);
        if (ui::CLxWindow* check = view.FindChildById(kBoxCheckId)) {
            check->ModifyState(checkInitial ? ui::kStateCheck : 0, checkInitial ? 0 : ui::kStateCheck);
        }
    }
    if (buttonSet & kBoxOnlySecondButton) {
        view.SetItemVisible(kBoxFirstButtonId, false);
        view.SetItemVisible(kBoxSecondButtonId, true);
        if (!secondButtonText.empty()) view.SetItemText(kBoxSecondButtonTextId, secondButtonText);
    }

    // Neither skin is in the program's skin document: the icon area stays empty.
    if (iconKind == kBoxIconWarning) view.SetItemAttribute(kBoxIconId, "skin", kWarningIconSkin);
    if (iconKind == kBoxIconError) view.SetItemAttribute(kBoxIconId, "skin", kErrorIconSkin);
}

void QLiteMsgbox::OnClick(int id) {
    uint32_t result = BoxResultFor(id);
    if (result == 0) return;  // among them the cancel command of a close request: only buttons end the box
    const ui::CLxWindow* check = View().FindChildById(kBoxCheckId);
    if (checkWanted && check && (check->State() & ui::kStateCheck)) result |= kBoxResultChecked;
    result_ = result;
    ended_ = true;
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
}

LRESULT QLiteMsgbox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_NOTIFY: {
            const auto* record = reinterpret_cast<const ui::LxNotifyRecord*>(lParam);
            if (wParam == ViewId() && record->hdr.code == ui::LXNM_CLICK) {
                OnClick(record->id);
                return 0;
            }
            break;
        }
        default:
            break;
    }
    return CLxDialogImpl::HandleMessage(message, wParam, lParam);
}

int QLiteMsgbox::PaintShadow(HDC dc, const RECT& rect) {
    ui::CLxExpendImgEx2 frame;
    frame.SetAttribute("pos", kShadowPos, true);
    const std::string margin = std::to_string(shadowSize);
    for (const char* side : {"margin_left", "margin_right", "margin_top", "margin_bottom"}) {
        frame.SetAttribute(side, margin, true);
    }
    frame.SetAttribute("skin", kShadowSkin, true);
    ui::DcStateGuard state(dc);
    // The shadow window lies above the box (an owned window stays above its
    // owner), so the middle, which the box covers, is left out.
    ::ExcludeClipRect(dc, rect.left + shadowSize, rect.top + shadowSize, rect.right - shadowSize,
                      rect.bottom - shadowSize);
    frame.DrawIn(dc, rect);
    return 0;
}

}  // namespace app
