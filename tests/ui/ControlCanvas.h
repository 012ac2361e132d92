// The controls' tests: a layout body painted into a DIB through the library,
// driven by the mouse router, with skins over images made in the test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "UiSupport.h"
#include "ui/elements/LxMouseRouter.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxStyle.h"

namespace uitest {

// Image ids of the skins every canvas serves.
constexpr int kThreeSliceImage = 901;  // red, green, blue slices of 4 by 4
constexpr int kRedImage = 902;         // 4 by 4 red
constexpr int kBlueImage = 903;        // 4 by 4 blue

struct ControlCanvas {
    CleanPools clean;
    ServedSources served;
    ui::LxLayout layout{ui::LxHostKind::Plain};
    ui::LxDib dib;
    RecordingHost host;
    ui::LxMouseRouter router{host, ui::LxMouseRules::Extended()};

    // Skins "three" (three slices), "red", "blue", and "gone" (an image the
    // program does not have).
    ControlCanvas(int width, int height) : dib(width, height) {
        served.Add(kThreeSliceImage, L"png", EncodeImage(Bands({kRed, kGreen, kBlue}, 4, 4), 12, 4));
        served.Add(kRedImage, L"png", EncodeImage(Bands({kRed}, 4, 4), 4, 4));
        served.Add(kBlueImage, L"png", EncodeImage(Bands({kBlue}, 4, 4), 4, 4));
        Skins("<png name='three' src='901' subwidth='4'/><png name='red' src='902'/><png name='blue' src='903'/>"
              "<png name='gone' src='899'/>");
    }
    void Skins(const std::string& skins) { ui::LxSkinPool::Global().LoadDocument("<skins>" + skins + "</skins>"); }
    void Styles(const std::string& classes) {
        ui::LxStylePool::Global().LoadDocument("<style>" + classes + "</style>");
    }
    // A white body holding `elements`, laid out over the whole canvas.
    void Load(const std::string& elements) {
        ASSERT_TRUE(layout.LoadLayout("<layer><body crbg='ffffff'>" + elements + "</body></layer>"));
        layout.Arrange({0, 0, dib.width(), dib.height()});
        router.SetRoots(layout.Header(), layout.Body(), layout.Footer());
    }
    void Paint() {
        dib.Fill(kBlack);
        layout.Paint(dib.dc(), nullptr);
    }
    uint32_t At(int x, int y) const { return Rgb(dib.At(x, y)); }
    ui::CLxWindow& operator[](int id) {
        ui::CLxWindow* element = layout.FindChildById(id);
        EXPECT_NE(element, nullptr) << id;
        return element ? *element : *layout.Body();
    }
    POINT Centre(int id) { return uitest::Centre((*this)[id]); }
    void Move(int id) { router.MouseMove(Centre(id).x, Centre(id).y); }
    void Press(int id) { router.LButtonDown(Centre(id).x, Centre(id).y); }
    void Release(int id) { router.LButtonUp(Centre(id).x, Centre(id).y); }
    void Click(int id) { Move(id), Press(id), Release(id); }
};

// Pixels of a rectangle for which `test` holds.
template <typename Test>
int CountPixels(const ui::LxDib& dib, const RECT& r, Test test) {
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) count += test(Rgb(dib.At(x, y))) ? 1 : 0;
    }
    return count;
}

// One channel of a 0xRRGGBB pixel.
inline int Red(uint32_t rgb) { return static_cast<int>((rgb >> 16) & 0xFF); }
inline int Green(uint32_t rgb) { return static_cast<int>((rgb >> 8) & 0xFF); }
inline int Blue(uint32_t rgb) { return static_cast<int>(rgb & 0xFF); }

}  // namespace uitest
