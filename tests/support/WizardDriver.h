// Driving the uninstaller's windows from outside, as a person does: the
// windows are found among those of its process by their client size, the
// mouse goes to the centres of the controls, keys and close requests are
// posted, and the screen is read back.
#pragma once

#include <windows.h>

#include <cstdint>

namespace wizard_driver {

constexpr SIZE kWizardSize = {530, 400};
constexpr SIZE kBoxSize = {354, 180};
constexpr UINT kBoxViewId = 1000;  // the box's content: clicks go to this child window

// Control centres in client coordinates, from the layouts.
constexpr POINT kCloseButton = {508, 21};
constexpr POINT kUninstallButton = {187, 330};
constexpr POINT kCancelButton = {342, 330};
constexpr POINT kFarewellButton = {267, 330};
constexpr POINT kBoxYesButton = {136, 140};
constexpr POINT kBoxNoButton = {246, 140};
constexpr POINT kBoxCloseButton = {332, 15};
constexpr POINT kBoxIconCentre = {55, 81};
// The progress bar: 490 pixels from x 20, rows 303 to 305.
constexpr POINT kProgressBarStart = {20, 304};
constexpr int kProgressBarLength = 490;
constexpr uint32_t kProgressFillColour = 0x2F7CF6;
constexpr uint32_t kFarewellButtonColour = 0x3581F6;
constexpr uint32_t kWhite = 0xFFFFFF;

// A shown, not minimised top-level window of process `pid` with a client area
// of `size`; null when none appears within timeoutMs.
HWND WaitForWindow(DWORD pid, SIZE size, DWORD timeoutMs = 15000);
// The box's content window.
HWND BoxView(HWND box);

// The pointer moves to the client point, then the left button goes down and up there.
void Click(HWND window, POINT client);
void PressKey(HWND window, WPARAM key);
void PostClose(HWND window);
bool WaitMinimised(HWND window, DWORD timeoutMs = 5000);
// As a person brings the window back: the restore command.
bool Restore(HWND window, DWORD timeoutMs = 5000);

// What the screen shows at a client point of `window`, as 0xRRGGBB.
uint32_t ClientPixel(HWND window, POINT client);
// How many pixels of the progress bar show the fill colour.
int ProgressFill(HWND wizard);

// Close enough for colours that went through blending.
bool NearColour(uint32_t a, uint32_t b, int tolerance = 3);

}  // namespace wizard_driver
