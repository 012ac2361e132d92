// Display scaling: one process-wide factor for high-density displays, chosen
// from "dpisetting.ini" beside the executable and a registry flag, applied to
// the lengths, fonts and skin margins of display-scaled elements only.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/unique_any.h"

namespace ui {

// The platform's awareness context handle (a pseudo handle such as -4).
using AwarenessContext = HANDLE;
constexpr intptr_t kPerMonitorAwareV2 = -4;
constexpr int kBaseDensity = 96;

// Section "basesetting" of the settings file, with its defaults.
struct LxScalerSettings {
    int switchOn = 0;
    int debug = 0;
    int debugDpi = kBaseDensity;
    int mode = 2;  // 1 process-wide awareness, 2 per-thread around window creation
    std::wstring supportRate = L"1.0|1.2|1.5";
    std::wstring supportProcess = L"qzwtray";
};
// Reads the settings; an empty path or a missing file gives the defaults.
LxScalerSettings ReadScalerSettings(const std::wstring& iniPath);

// Pure rules.
std::vector<float> ParseRateList(std::wstring_view text);
// The last listed factor not greater than density / 96; the first when every
// one is greater; 1.0 for an empty list.
float ChooseFactor(const std::vector<float>& rates, int density);
int ScaleLength(float factor, int value);    // trunc(f * v + 0.5)
int UnscaleLength(float factor, int value);  // trunc(v / f + 0.5)
int ScaleFontHeight(float factor, int height);  // trunc(f * h)
int ScaleOffset(float factor, int value);       // trunc(f * v), skin margins and offsets
// File name without directory and without its last extension.
std::wstring ExeBaseName(std::wstring_view path);
std::wstring ProbeClassName(std::wstring_view exeBaseName);
// "%s\%.1f\%s\%d_%.1f.%s" under the pre-scaled image folder.
std::wstring ScaledImagePath(const std::wstring& folder, float factor, const std::wstring& exeBaseName, int id,
                             const wchar_t* extension);

struct LxScaledImage {
    std::wstring path;
    float factor = 1.0f;
};
// The pre-scaled image for `current`: its own factor's file when it exists,
// else the nearest other listed factor above 1.0 (the larger on a tie) whose
// distance is at most |current - 1.0|.
std::optional<LxScaledImage> PickScaledImage(const std::wstring& folder, const std::wstring& exeBaseName, int id,
                                             const wchar_t* extension, const std::vector<float>& rates, float current,
                                             const std::function<bool(const std::wstring&)>& exists);

// Where the scaler looks: the executable, its settings file and the registry
// flag. ForProcess() gives the program's own; tests pass their own.
struct LxScalerEnvironment {
    std::wstring exePath;
    std::wstring iniPath;
    std::wstring imageFolder;
    HKEY flagRoot = HKEY_LOCAL_MACHINE;
    std::wstring flagKey;
    std::wstring flagValue = L"DpiAware";
    static LxScalerEnvironment ForProcess();
};

class LxDisplayScaler {
public:
    // The process-wide scaler; the first call also sets the process up
    // (awareness, density probe window).
    static LxDisplayScaler& Instance();

    explicit LxDisplayScaler(LxScalerEnvironment environment);
    LxDisplayScaler(const LxDisplayScaler&) = delete;
    LxDisplayScaler& operator=(const LxDisplayScaler&) = delete;

    bool IsScalingOn();
    float GetFactor();
    int Scale(int value);
    int Unscale(int value);
    int ScaleFont(int height);
    int ScaleMargin(int value);
    bool IsSupportedProcess();
    int GetMode() const { return settings_.mode; }
    int GetDensity();
    const std::vector<float>& Rates() const { return rates_; }
    // Switches the calling thread's awareness; returns the previous context,
    // or null when the platform has no such call.
    AwarenessContext SetThreadAwareness(AwarenessContext context);
    std::optional<LxScaledImage> FindScaledImage(int id, const wchar_t* kind);
    // Process awareness and the density probe window (done by Instance()).
    void SetUpProcess();
    std::wstring ProbeClass() const;

private:
    bool RegistryCheck();

    LxScalerEnvironment env_;
    LxScalerSettings settings_;
    std::vector<float> rates_;
    std::wstring baseName_;
    int switchResult_ = -1;
    int density_ = 0;
    base::unique_hwnd probeWindow_;
};

// Switches the thread's awareness to per-monitor (v2) for the creation of a
// window and back afterwards, only in mode 2 with scaling on.
class LxCreationAwareness {
public:
    explicit LxCreationAwareness(LxDisplayScaler& scaler);
    LxCreationAwareness(const LxCreationAwareness&) = delete;
    LxCreationAwareness& operator=(const LxCreationAwareness&) = delete;
    ~LxCreationAwareness();

private:
    LxDisplayScaler& scaler_;
    AwarenessContext previous_ = nullptr;
    bool switched_ = false;
};

}  // namespace ui
