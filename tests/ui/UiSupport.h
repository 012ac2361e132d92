// Helpers of the UI tests: clean pools, images made in the test, skins and
// layouts served through the library's source hooks, a recording mouse host.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "ui/LxGdi.h"
#include "ui/elements/LxMouseRouter.h"
#include "ui/elements/LxWindow.h"
#include "ui/layout/LxLayout.h"

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const RECT& r, std::ostream* out) {
    *out << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}

namespace uitest {

// Opaque colours as DIB pixels (0xAARRGGBB).
constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;

// Empties every pool and source hook now and again at the end of the scope.
class CleanPools {
public:
    CleanPools();
    ~CleanPools();
    CleanPools(const CleanPools&) = delete;
    CleanPools& operator=(const CleanPools&) = delete;
};

// An image of vertical bands of the given colours, each `bandWidth` wide.
std::vector<uint32_t> Bands(const std::vector<uint32_t>& colors, int bandWidth, int height);
// PNG (or JPEG) bytes of 0xAARRGGBB pixels, encoded by GDI+.
std::string EncodeImage(const std::vector<uint32_t>& argb, int width, int height, bool jpeg = false);
// Writes a DIB as an opaque PNG file.
bool SaveDibPng(const ui::LxDib& dib, const std::wstring& path);

// Serves documents and images to the pools through the stream provider:
// Add() registers bytes for an id and extension ("xml", "png", "jpg").
class ServedSources {
public:
    ServedSources();
    void Add(int id, const std::wstring& ext, std::string bytes);
    int Requests(int id, const std::wstring& ext) const;

private:
    std::map<std::pair<int, std::wstring>, std::string> served_;
    std::map<std::pair<int, std::wstring>, int> requests_;
};

// The skins the layouts' geometry depends on, at their program sizes, with
// band images (slices red, green, blue ...), served as document 10000; returns
// that document.
std::string ServeProgramSizedSkins(ServedSources& sources);

// A pixel's colour without alpha.
inline uint32_t Rgb(uint32_t pixel) { return pixel & 0x00FFFFFF; }

std::string Utf8(const std::wstring& text);
std::string ProgramResource(int id);

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
    // Only the notifications, as "code:id" or "code:id:class".
    std::vector<std::string> Notifications() const;
    int Count(const std::string& what) const;

    void Notify(UINT code, int32_t id, const char* className) override;
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
    void Record(const char* what, int code = 0, int id = 0, std::string text = {}) {
        calls.push_back({what, code, id, std::move(text)});
    }
};

// The centre of an element.
POINT Centre(const ui::CLxWindow& element);

}  // namespace uitest
