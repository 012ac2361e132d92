#include "ui/layout/LxControlCreator.h"

#include <utility>

#include "ui/controls/LxControls.h"

namespace ui {

namespace {
struct TagClass {
    std::string_view tag;
    const char* className;
};
// The vocabulary of layouts, in the order of testing.
constexpr TagClass kVocabulary[] = {
    {"dlg", "CLxDialog"},
    {"text", "CLxStatic"},
    {"button", "CLxButton"},
    {"img", "CLxImageWnd"},
    {"imgbg", "CLxImageBg"},
    {"scrollimg", "CLxImageScroll"},
    {"progress", "CLxProgress"},
    {"progressex", "CLxProgressEx"},
    {"imgbtn", "CLxImageBtnWnd"},
    {"skinbtn", "CLxSkinBtnWnd"},
    {"realwnd", "CLxRealWnd"},
    {"realwnd2", "CLxRealWnd2"},
    {"hr", "CLxLine"},
    {"check", "CLxCheckBox"},
    {"icon", "CLxIconWnd"},
    {"tabctrl", "CLxTabCtrl"},
    {"radio", "CLxRadioBox"},
    {"customradio", "CLxSelfDefineRadioBox"},
    {"richtext", "CLxRichText"},
    {"link", "CLxLink"},
    {"memimage", "CLxMemoryImage"},
    {"storageimage", "CLxStorageImage"},
    {"storageimageex", "CLxStorageImageEx"},
    {"imgbtnsized", "CLxImgbtnsized"},
    {"imggray", "CLxImgGray"},
    {"imgex", "CLxImageEx"},
    {"imgrotale", "CLxImageRotale"},
    {"slider", "LxSlider"},
    {"dlgbtn", "CLxDialogButton"},
    {"hicon", "CLxHIcon"},
    {"listwnd", "CLxListWnd"},
    {"rundrect", "CLxRoundRect"},
    {"rundrectpath", "CLxRoundRectPath"},
    {"expendimg", "CLxExpendImg"},
    {"expendimgex2", "CLxExpendImgEx2"},
    {"expendimgbtn", "CLxExpendImgBtn"},
    {"hrex", "CLxLineEx"},
    {"grline", "CLxGradientLineEx"},
    {"listscrollbar", "CLxWindowScollBar"},
    {"dlgbtnEx2", "CLxDlgBtnEx2"},
    {"richtext2", "CLxRichText2Wnd"},
    {"richtextex", "CLxRichTextEx"},
    {"lineviewex", "CLxLineViewEx"},
    {"ownereventdlg", "CLxOwnerEventDlg"},
    {"sliderviewex", "CLxSliderViewEx"},
    {"drawableview", "LxDrawableView"},
    {"syncstatusbtn", "CLxSyncStatusDlgBtn"},
    {"lineargradient", "LinearGradientCtrl"},
    {"linearlayout", "LxWin::LxLinearLayout"},
    {"wraplayout", "LxWin::LxWrapLayout"},
    {"imgex2", "CLxImageEx2"},
    {"shadowtext", "CLXShadowText"},
    {"realwndex", "CLxRealWndEx"},
};

template <typename T>
std::unique_ptr<CLxWindow> Make() {
    return std::make_unique<T>();
}
struct OwnTag {
    std::string_view tag;
    std::unique_ptr<CLxWindow> (*make)();
};
// The tags the program's windows use, in the order of testing, and the
// nine-grid image that the message box draws its shadow with.
constexpr OwnTag kOwnTags[] = {
    {"dlg", &Make<CLxDialog>},       {"text", &Make<CLxStatic>},         {"img", &Make<CLxImageWnd>},
    {"progress", &Make<CLxProgress>}, {"imgbtn", &Make<CLxImageBtnWnd>}, {"dlgbtn", &Make<CLxDialogButton>},
    {"dlgbtnEx2", &Make<CLxDlgBtnEx2>}, {"expendimgex2", &Make<CLxExpendImgEx2>},
};
}  // namespace

HRESULT CLxGenericElement::SetAttribute(std::string_view name, std::string_view value, bool loading) {
    const HRESULT known = CLxWindow::SetAttribute(name, value, loading);
    if (SUCCEEDED(known)) return known;
    kept_.insert_or_assign(std::string(name), std::string(value));
    return S_OK;
}

std::string_view CLxGenericElement::Kept(std::string_view name) const {
    auto found = kept_.find(name);
    return found == kept_.end() ? std::string_view() : std::string_view(found->second);
}

CLxControlCreator& CLxControlCreator::Instance() {
    static CLxControlCreator creator;
    return creator;
}

const std::vector<std::string_view>& CLxControlCreator::Tags() {
    static const std::vector<std::string_view> tags = [] {
        std::vector<std::string_view> all;
        for (const TagClass& entry : kVocabulary) all.push_back(entry.tag);
        return all;
    }();
    return tags;
}

const char* CLxControlCreator::ClassOf(std::string_view tag) {
    for (const TagClass& entry : kVocabulary) {
        if (entry.tag == tag) return entry.className;
    }
    return nullptr;
}

std::unique_ptr<CLxWindow> CLxControlCreator::CreateControl(std::string_view tag) {
    const char* className = ClassOf(tag);
    if (!className) return nullptr;
    return std::make_unique<CLxGenericElement>(tag, className);
}

LxTagFactory& LxTagFactory::Default() {
    static LxTagFactory factory;
    return factory;
}

std::unique_ptr<CLxWindow> LxTagFactory::CreateControl(std::string_view tag) {
    for (const OwnTag& own : kOwnTags) {
        if (own.tag == tag) return own.make();
    }
    return fallback_ ? fallback_->CreateControl(tag) : nullptr;
}

}  // namespace ui
