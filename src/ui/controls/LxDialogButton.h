// "dlgbtn" and "dlgbtnEx2": containers acting as one button. They are their
// own hit target, so their children (typically one "text" filling them)
// never receive the mouse; a disabled button disables those children's text
// colour too, since disable is inherited.
#pragma once

#include <string>
#include <string_view>

#include "ui/elements/LxDialog.h"

namespace ui {

// Its background is the style's skin with the whole state word as the slice
// (the skin wraps it), so a three-slice button pressed under the mouse
// (hover and push, 3) shows its first slice.
class CLxDialogButton : public CLxDialog {
public:
    const char* GetObjectClass() const override { return "dlgbtn"; }
    void Load(const TiXmlElement& element) override;
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    bool NeedRedrawWhenStateChange() override { return true; }
    // The "name" attribute.
    const std::wstring& GetName() const { return name_; }

private:
    std::wstring name_;
};

// A dialog button whose background slice is the state index (disabled 3,
// pushed 2, hovered 1, else 0); without a skin, the plain background colour.
class CLxDlgBtnEx2 : public CLxDialogButton {
public:
    const char* GetObjectClass() const override { return "dlgbtnEx2"; }

protected:
    int BackgroundSlice() const override { return StateIndex(); }
};

}  // namespace ui
