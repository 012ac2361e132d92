// "img" and "imgbtn": a skin drawn over the background, then an icon, a
// mask and a caption over it.
#pragma once

#include <string>
#include <string_view>

#include "ui/elements/LxWindow.h"

namespace ui {

class CLxSkinBase;

// How "cliptype" clips the image. The smooth clips are anti-aliased; the
// clipped kinds apply "alpha" (0 to 100 per cent).
enum LxImageClip : int {
    kClipNone = 0,
    kClipEllipse = 1,    // the ellipse inscribed in the rectangle
    kClipRoundRect = 2,  // a rounded rectangle; "clipparam": the corner radius
    kClipRect = 3,       // "clipparam": "left,top,right,bottom" from the element's corner
};

class CLxImageWnd : public CLxWindow {
public:
    const char* GetObjectClass() const override { return "img"; }
    HRESULT SetAttribute(std::string_view name, std::string_view value, bool loading) override;
    const std::string& SkinName() const { return skin_; }
    int Sub() const { return sub_; }
    const std::string& Group() const { return group_; }

protected:
    std::string_view OwnSkinName() const override { return skin_; }
    // The image (slice ImageSlice), the icon centred on it, the mask while
    // neither hovered nor checked, the caption, then the element's text.
    void OnPaint(HDC dc, HRGN region) override;
    // With use_pos_size 0 one skin slice (scaled), else the base rule.
    SIZE NaturalSize(SIZE offered) override;
    // The slice of the skin to draw: "sub" (-1 draws the first).
    virtual int ImageSlice() const { return sub_; }
    // One slice of the element's skin, display-scaled; 0 by 0 without one.
    SIZE SkinSliceSize();

private:
    void DrawImage(HDC dc, CLxSkinBase& skin, int slice);
    void DrawSmoothClipped(HDC dc, CLxSkinBase& skin, int slice, BYTE alpha);
    void DrawIcon(HDC dc);
    void DrawCaption(HDC dc);
    // The constant alpha of clipped drawing (opaque unless "alpha" is set).
    BYTE ClipAlpha() const;

    std::string skin_;
    std::string icon_;
    int iconTop_ = -1;
    std::wstring caption_;
    int captionTop_ = -1;
    std::string group_;
    std::string mask_;
    int sub_ = -1;
    int clipType_ = kClipNone;
    std::string clipParam_;
    int alpha_ = -1;
    int usePosSize_ = 1;
};

// "imgbtn": an image whose slice follows the state; its natural size is
// always one slice. Buttons of one "group" (within the same root panel)
// behave as radio buttons: releasing the left button over an unchecked one
// checks it and unchecks the others; over a checked one unchecks it.
class CLxImageBtnWnd : public CLxImageWnd {
public:
    const char* GetObjectClass() const override { return "imgbtn"; }
    bool NeedRedrawWhenStateChange() override { return true; }
    bool ProcessMessage(uint32_t handle, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool IsChecked() const { return (State() & kStateCheck) != 0; }

protected:
    // The state index; in a group with a checked member: 2 checked or
    // pushed, 1 hovered, else 0.
    int ImageSlice() const override;
    SIZE NaturalSize(SIZE offered) override;

private:
    // Calls `visit` for every image button of this one's group, itself included.
    template <typename Visit>
    void ForEachGroupMember(Visit visit) const;
    bool GroupHasChecked() const;
    void ToggleInGroup();
};

}  // namespace ui
