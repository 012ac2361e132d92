// The element kinds of the program's two windows, as far as laying out and
// painting the layouts needs them: "text", "img", "imgbtn", "dlgbtn",
// "dlgbtnEx2" and "progress" ("dlg" is CLxDialog itself). Icons, captions,
// masks, groups, clipped drawing, the percentage text and the marquee keep
// their attributes here and are drawn by later work on the controls.
#pragma once

#include <string>
#include <string_view>

#include "ui/elements/LxDialog.h"
#include "ui/elements/LxWindow.h"

namespace ui {

class CLxSkinBase;

// "text": an element whose content is its text.
class CLxStatic : public CLxWindow {
public:
    const char* GetObjectClass() const override { return "text"; }
};

// "img": a skin drawn over the background, one slice ("sub").
class CLxImageWnd : public CLxWindow {
public:
    const char* GetObjectClass() const override { return "img"; }
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    const std::string& SkinName() const { return skin_; }
    int Sub() const { return sub_; }

protected:
    std::string_view OwnSkinName() const override { return skin_; }
    void OnPaint(HDC dc, HRGN region) override;
    // With use_pos_size 0 one skin slice (scaled), else the base rule.
    SIZE NaturalSize(SIZE offered) override;
    SIZE SkinSliceSize();
    void DrawSkin(HDC dc, int slice);

    std::string skin_;
    std::string icon_;
    int iconTop_ = -1;
    std::wstring caption_;
    int captionTop_ = -1;
    std::string group_;
    std::string mask_;
    int sub_ = -1;
    int clipType_ = 0;
    std::string clipParam_;
    int alpha_ = -1;
    int usePosSize_ = 1;
};

// "imgbtn": an image whose slice follows the state; its natural size is
// always one slice.
class CLxImageBtnWnd : public CLxImageWnd {
public:
    const char* GetObjectClass() const override { return "imgbtn"; }
    bool NeedRedrawWhenStateChange() override { return true; }

protected:
    void OnPaint(HDC dc, HRGN region) override;
    SIZE NaturalSize(SIZE offered) override;
};

// "dlgbtn": a container acting as one button: its own hit target, so its
// children never receive the mouse.
class CLxDialogButton : public CLxDialog {
public:
    const char* GetObjectClass() const override { return "dlgbtn"; }
    void Load(const TiXmlElement& element) override;
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    bool NeedRedrawWhenStateChange() override { return true; }
    const std::wstring& GetName() const { return name_; }

private:
    std::wstring name_;
};

// "dlgbtnEx2": a dialog button whose background slice is the state index.
class CLxDlgBtnEx2 : public CLxDialogButton {
public:
    const char* GetObjectClass() const override { return "dlgbtnEx2"; }

protected:
    int BackgroundSlice() const override { return StateIndex(); }
};

// "progress": a track and a bar growing with the value.
class CLxProgress : public CLxWindow {
public:
    const char* GetObjectClass() const override { return "progress"; }
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    uint32_t Min() const { return min_; }
    uint32_t Max() const { return max_; }
    uint32_t Value() const { return value_; }
    // The filled fraction; swaps min and max when max is below min and clamps
    // the value into the range, storing both (unsigned comparisons).
    double Fraction();

protected:
    void OnPaint(HDC dc, HRGN region) override;

private:
    std::string bgSkin_;
    std::string posSkin_;
    int skinPosX_ = 2;
    uint32_t min_ = 0;
    uint32_t max_ = 0;
    uint32_t value_ = 0;
    int showPercent_ = 0;
    int marquee_ = 0;
};

}  // namespace ui
