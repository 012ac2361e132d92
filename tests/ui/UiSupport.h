// Helpers of the UI tests: clean pools, images made in the test and served to
// the pools, a canvas of laid-out controls driven by the mouse router.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "base/unique_any.h"
#include "ui/LxGdi.h"
#include "ui/elements/LxMouseRouter.h"
#include "ui/elements/LxWindow.h"
#include "ui/layout/LxLayout.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxStringPool.h"
#include "ui/pools/LxStyle.h"

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const RECT& r, std::ostream* out) {
    *out << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}

namespace uitest {

// Opaque colours as DIB pixels (0xAARRGGBB); Rgb() drops the alpha.
constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t Rgb(uint32_t pixel) { return pixel & 0x00FFFFFF; }
inline int Red(uint32_t rgb) { return static_cast<int>((rgb >> 16) & 0xFF); }
inline int Green(uint32_t rgb) { return static_cast<int>((rgb >> 8) & 0xFF); }
inline int Blue(uint32_t rgb) { return static_cast<int>(rgb & 0xFF); }
// Every channel within `tolerance` of the expected colour.
bool Near(uint32_t pixel, uint32_t expected, int tolerance);

// Empties every pool and source hook now and again at the end of the scope.
struct CleanPools {
    CleanPools();
    ~CleanPools();
    CleanPools(const CleanPools&) = delete;
    CleanPools& operator=(const CleanPools&) = delete;
};

// The program's own skins, styles and strings from the embedded resources.
struct ProgramPools {
    CleanPools clean;
    ProgramPools() { ui::LoadSkins(); ui::LoadStyles(); ui::LoadStrings(); }
};

// An image of vertical bands of the given colours, each `bandWidth` wide.
std::vector<uint32_t> Bands(const std::vector<uint32_t>& colors, int bandWidth, int height);
// PNG (or JPEG) bytes of 0xAARRGGBB pixels, encoded by GDI+.
std::string EncodeImage(const std::vector<uint32_t>& argb, int width, int height, bool jpeg = false);
// Serves documents and images to the pools through the stream provider, by
// id and extension ("xml", "png", "jpg"), and counts the requests.
class ServedSources {
public:
    ServedSources();
    void Add(int id, const std::wstring& ext, std::string bytes) { served_[{id, ext}] = std::move(bytes); }
    int Requests(int id, const std::wstring& ext) { return requests_[{id, ext}]; }

private:
    std::map<std::pair<int, std::wstring>, std::string> served_;
    std::map<std::pair<int, std::wstring>, int> requests_;
};

std::string Utf8(const std::wstring& text);

// One call the router made on its host.
struct HostCall {
    std::string what;   // "notify", "capture", "redraw", "move", "drag", "maximize", "href", "tip", "track", "focus"
    int code = 0;       // notification code, capture on/off, hit code
    int id = 0;         // element id (notify, redraw)
    std::string text;   // class name, href or tip
};

class RecordingHost : public ui::ILxMouseHost {
public:
    std::vector<HostCall> calls;
    bool minimized = false;
    std::vector<std::string> Notifications() const;  // as N() writes them
    int Count(const std::string& what) const;

    void Notify(UINT code, int32_t id, const char* className) override {
        Record("notify", code, id, className ? className : "");
    }
    void Capture(bool on) override { Record("capture", on ? 1 : 0); }
    void Redraw(ui::CLxWindow& element) override { Record("redraw", 0, element.Id()); }
    void TakeFocus() override { Record("focus"); }
    bool IsMinimized() override { return minimized; }
    void StartMove() override { Record("move"); }
    void StartBorderDrag(int hitCode) override { Record("drag", hitCode); }
    void ToggleMaximize() override { Record("maximize"); }
    void OpenHref(const std::wstring& href) override { Record("href", 0, 0, Utf8(href)); }
    void SetToolTip(const std::wstring& text) override { Record("tip", 0, 0, Utf8(text)); }
    void TrackLeave() override { Record("track"); }

private:
    void Record(const char* what, UINT code = 0, int id = 0, std::string text = {}) {
        calls.push_back({what, static_cast<int>(code), id, std::move(text)});
    }
};

// A notification as "code:id" or "code:id:class".
std::string N(UINT code, int id, const char* cls = nullptr);
POINT Centre(const ui::CLxWindow& element);

// A layout painted into a DIB through the library and driven by the mouse
// router, with the skins "three" (red, green and blue slices of 4 by 4),
// "red", "blue" (4 by 4), and "gone" (an image the program does not have).
struct Canvas {
    CleanPools clean;
    ServedSources served;
    ui::LxLayout layout;
    ui::LxDib dib;
    RecordingHost host;
    ui::LxMouseRouter router;

    Canvas(int width, int height, ui::LxHostKind kind = ui::LxHostKind::Plain,
           ui::LxMouseRules rules = ui::LxMouseRules::Extended());
    void Skins(const std::string& skins) { ui::LxSkinPool::Global().LoadDocument("<skins>" + skins + "</skins>"); }
    void Styles(const std::string& styles) { ui::LxStylePool::Global().LoadDocument("<style>" + styles + "</style>"); }
    // A white body holding `elements`, laid out over the whole canvas.
    void Load(const std::string& elements) { LoadLayer("<layer><body crbg='ffffff'>" + elements + "</body></layer>"); }
    void LoadLayer(const std::string& xml);
    void Paint() {
        dib.Fill(kBlack);
        layout.Paint(dib.dc(), nullptr);
    }
    uint32_t At(int x, int y) const { return Rgb(dib.At(x, y)); }
    ui::CLxWindow& operator[](int id);
    POINT Centre(int id) { return uitest::Centre((*this)[id]); }
    void Move(int id) { router.MouseMove(Centre(id).x, Centre(id).y); }
    void Press(int id) { router.LButtonDown(Centre(id).x, Centre(id).y); }
    void Release(int id) { router.LButtonUp(Centre(id).x, Centre(id).y); }
    void Click(int id) { Move(id), Press(id), Release(id); }
};

// Dispatches this thread's messages until `done` answers true or the time is
// up; answers `done` at the end. Pump() lets the window system flush surfaces.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000);
inline void Pump(DWORD ms = 50) { PumpUntil([] { return false; }, ms); }

// A top-level window painted in one colour (0xRRGGBB), to show through
// transparent pixels.
class Backdrop {
public:
    Backdrop(const RECT& screen, uint32_t rgb);

private:
    base::unique_hwnd window_;
};

}  // namespace uitest
