#include "ui/scaling/LxDisplayScaler.h"

#include <climits>
#include <cmath>
#include <cstdio>

namespace ui {

namespace {
constexpr wchar_t kSection[] = L"basesetting";
constexpr wchar_t kSettingsFile[] = L"\\ressrc\\chs\\dpisetting.ini";
constexpr wchar_t kImageFolder[] = L"\\ressrc\\chs\\dpiimg";
constexpr wchar_t kFlagKeyBase[] = L"Software\\Brenmark\\Warden";
constexpr wchar_t kFlagKeyProduct[] = L"QWReport";
constexpr wchar_t kProbeSuffix[] = L"hiddenDpiAwarenessWindow";
constexpr wchar_t kUser32[] = L"user32.dll";
constexpr DWORD kFlagKeyAccess = 0x2001F;  // read and write
constexpr DWORD kProbeStyle = 0x80880000;  // popup, border, system menu
constexpr UINT kProbeClassStyle = CS_HREDRAW | CS_VREDRAW;
constexpr INT_PTR kProbeBackground = COLOR_WINDOW + 1;
constexpr int kModeProcess = 1;
constexpr int kModeThread = 2;
constexpr DWORD kSettingsTextMax = 1024;
constexpr float kUnitFactor = 1.0f;

template <typename Fn>
Fn User32Entry(const char* name) {
    return reinterpret_cast<Fn>(::GetProcAddress(::GetModuleHandleW(kUser32), name));
}
using SetProcessContextFn = BOOL(WINAPI*)(AwarenessContext);
using SetProcessAwareFn = BOOL(WINAPI*)();
using SetThreadContextFn = AwarenessContext(WINAPI*)(AwarenessContext);
using DpiForWindowFn = UINT(WINAPI*)(HWND);

std::wstring ReadSettingText(const std::wstring& path, const wchar_t* key, const std::wstring& fallback) {
    std::wstring buffer(kSettingsTextMax, L'\0');
    const DWORD length = ::GetPrivateProfileStringW(kSection, key, fallback.c_str(), buffer.data(), kSettingsTextMax,
                                                    path.c_str());
    buffer.resize(length);
    return buffer;
}

std::wstring OneDecimal(float value) {
    wchar_t text[32];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%.1f", static_cast<double>(value));
    return text;
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int Truncate(double value) {
    constexpr double kMax = 2147483647.0;
    if (!(value < kMax)) return INT_MAX;
    if (!(value > -kMax)) return -INT_MAX;
    return static_cast<int>(value);  // toward zero
}
}  // namespace

LxScalerSettings ReadScalerSettings(const std::wstring& iniPath) {
    LxScalerSettings settings;
    if (iniPath.empty()) return settings;
    const wchar_t* path = iniPath.c_str();
    settings.switchOn = static_cast<int>(::GetPrivateProfileIntW(kSection, L"switch", settings.switchOn, path));
    settings.debug = static_cast<int>(::GetPrivateProfileIntW(kSection, L"debug", settings.debug, path));
    settings.debugDpi = static_cast<int>(::GetPrivateProfileIntW(kSection, L"debugdpi", settings.debugDpi, path));
    settings.mode = static_cast<int>(::GetPrivateProfileIntW(kSection, L"mode", settings.mode, path));
    settings.supportRate = ReadSettingText(iniPath, L"supportrate", settings.supportRate);
    settings.supportProcess = ReadSettingText(iniPath, L"supportprocess", settings.supportProcess);
    return settings;
}

std::vector<float> ParseRateList(std::wstring_view text) {
    std::vector<float> rates;
    if (text.empty()) return rates;
    size_t start = 0;
    while (true) {
        const size_t bar = text.find(L'|', start);
        const std::wstring item(text.substr(start, bar == std::wstring_view::npos ? bar : bar - start));
        rates.push_back(std::wcstof(item.c_str(), nullptr));
        if (bar == std::wstring_view::npos) break;
        start = bar + 1;
    }
    return rates;
}

float ChooseFactor(const std::vector<float>& rates, int density) {
    if (rates.empty()) return kUnitFactor;
    const double q = static_cast<double>(density) / kBaseDensity;
    for (auto it = rates.rbegin(); it != rates.rend(); ++it) {
        if (static_cast<double>(*it) <= q) return *it;
    }
    return rates.front();
}

int ScaleLength(float factor, int value) { return Truncate(static_cast<double>(factor) * value + 0.5); }
int UnscaleLength(float factor, int value) {
    if (factor == 0.0f) return value;
    return Truncate(value / static_cast<double>(factor) + 0.5);
}
int ScaleFontHeight(float factor, int height) { return Truncate(static_cast<double>(factor) * height); }
int ScaleOffset(float factor, int value) { return Truncate(static_cast<double>(factor) * value); }

std::wstring ExeBaseName(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring_view::npos) name = name.substr(0, dot);
    return std::wstring(name);
}

std::wstring ProbeClassName(std::wstring_view exeBaseName) {
    return std::wstring(exeBaseName) + L"_" + kProbeSuffix;
}

std::wstring ScaledImagePath(const std::wstring& folder, float factor, const std::wstring& exeBaseName, int id,
                             const wchar_t* extension) {
    const std::wstring f = OneDecimal(factor);
    return folder + L"\\" + f + L"\\" + exeBaseName + L"\\" + std::to_wstring(id) + L"_" + f + L"." + extension;
}

std::optional<LxScaledImage> PickScaledImage(const std::wstring& folder, const std::wstring& exeBaseName, int id,
                                             const wchar_t* extension, const std::vector<float>& rates, float current,
                                             const std::function<bool(const std::wstring&)>& exists) {
    const std::wstring own = ScaledImagePath(folder, current, exeBaseName, id, extension);
    if (exists(own)) return LxScaledImage{own, current};
    std::optional<LxScaledImage> best;
    float bestDistance = 0;
    for (const float r : rates) {
        if (r == current || r <= kUnitFactor) continue;
        const std::wstring path = ScaledImagePath(folder, r, exeBaseName, id, extension);
        if (!exists(path)) continue;
        const float distance = std::fabs(r - current);
        if (!best || distance < bestDistance || (distance == bestDistance && r > best->factor)) {
            best = LxScaledImage{path, r};
            bestDistance = distance;
        }
    }
    if (best && bestDistance <= std::fabs(current - kUnitFactor)) return best;
    return std::nullopt;
}

LxScalerEnvironment LxScalerEnvironment::ForProcess() {
    LxScalerEnvironment env;
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        path.resize(length);
        env.exePath = path;
        const std::wstring directory = path.substr(0, path.find_last_of(L"\\/"));
        env.iniPath = directory + kSettingsFile;
        env.imageFolder = directory + kImageFolder;
    }
    env.flagKey = std::wstring(kFlagKeyBase) + L"\\" + kFlagKeyProduct;
    return env;
}

LxDisplayScaler& LxDisplayScaler::Instance() {
    static LxDisplayScaler scaler(LxScalerEnvironment::ForProcess());
    static const bool setUp = (scaler.SetUpProcess(), true);
    (void)setUp;
    return scaler;
}

LxDisplayScaler::LxDisplayScaler(LxScalerEnvironment environment)
    : env_(std::move(environment)),
      settings_(ReadScalerSettings(env_.iniPath)),
      rates_(ParseRateList(settings_.supportRate)),
      baseName_(ExeBaseName(env_.exePath)) {}

bool LxDisplayScaler::RegistryCheck() {
    bool entryPoints = false;
    if (settings_.mode == kModeProcess) {
        entryPoints = User32Entry<SetProcessContextFn>("SetProcessDpiAwarenessContext") ||
                      User32Entry<SetProcessAwareFn>("SetProcessDPIAware");
    } else if (settings_.mode == kModeThread) {
        entryPoints = User32Entry<SetThreadContextFn>("SetThreadDpiAwarenessContext") != nullptr;
    }
    if (!entryPoints || env_.flagKey.empty()) return false;
    base::unique_hkey key;
    if (::RegCreateKeyExW(env_.flagRoot, env_.flagKey.c_str(), 0, nullptr, 0, kFlagKeyAccess, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key.get(), env_.flagValue.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                           &size) != ERROR_SUCCESS) {
        return false;
    }
    return size == sizeof(value) && value != 0;
}

bool LxDisplayScaler::IsScalingOn() {
    if (switchResult_ < 0) switchResult_ = ((settings_.switchOn && RegistryCheck()) || settings_.debug) ? 1 : 0;
    return switchResult_ == 1;
}

bool LxDisplayScaler::IsSupportedProcess() {
    return !baseName_.empty() && settings_.supportProcess.find(baseName_) != std::wstring::npos;
}

int LxDisplayScaler::GetDensity() {
    if (density_ != 0) return density_;
    int density = kBaseDensity;
    if (settings_.debug) {
        density = IsSupportedProcess() ? settings_.debugDpi : kBaseDensity;
    } else if (HWND probe = ::FindWindowW(ProbeClass().c_str(), nullptr)) {
        if (auto dpiForWindow = User32Entry<DpiForWindowFn>("GetDpiForWindow")) {
            density = static_cast<int>(dpiForWindow(probe));
        } else if (settings_.mode == kModeProcess) {
            if (HDC dc = ::GetDC(probe)) {
                density = ::GetDeviceCaps(dc, LOGPIXELSY);
                ::ReleaseDC(probe, dc);
            }
        }
    }
    if (density != 0) density_ = density;
    return density;
}

float LxDisplayScaler::GetFactor() { return IsScalingOn() ? ChooseFactor(rates_, GetDensity()) : kUnitFactor; }
int LxDisplayScaler::Scale(int value) { return IsScalingOn() ? ScaleLength(GetFactor(), value) : value; }
int LxDisplayScaler::Unscale(int value) { return IsScalingOn() ? UnscaleLength(GetFactor(), value) : value; }
int LxDisplayScaler::ScaleFont(int height) { return IsScalingOn() ? ScaleFontHeight(GetFactor(), height) : height; }
int LxDisplayScaler::ScaleMargin(int value) { return IsScalingOn() ? ScaleOffset(GetFactor(), value) : value; }

AwarenessContext LxDisplayScaler::SetThreadAwareness(AwarenessContext context) {
    auto setThread = User32Entry<SetThreadContextFn>("SetThreadDpiAwarenessContext");
    return setThread ? setThread(context) : nullptr;
}

std::optional<LxScaledImage> LxDisplayScaler::FindScaledImage(int id, const wchar_t* kind) {
    const float factor = GetFactor();
    if (factor == kUnitFactor || env_.imageFolder.empty()) return std::nullopt;
    return PickScaledImage(env_.imageFolder, baseName_, id, kind, rates_, factor, FileExists);
}

std::wstring LxDisplayScaler::ProbeClass() const { return ProbeClassName(baseName_); }

void LxDisplayScaler::SetUpProcess() {
    switchResult_ = -1;
    density_ = 0;
    if (IsSupportedProcess() && settings_.mode == kModeProcess && IsScalingOn()) {
        if (auto setContext = User32Entry<SetProcessContextFn>("SetProcessDpiAwarenessContext")) {
            setContext(reinterpret_cast<AwarenessContext>(kPerMonitorAwareV2));
        } else if (auto setAware = User32Entry<SetProcessAwareFn>("SetProcessDPIAware")) {
            setAware();
        }
    }
    const std::wstring className = ProbeClass();
    if (::FindWindowW(className.c_str(), nullptr)) return;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = kProbeClassStyle;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(kProbeBackground);
    wc.lpszClassName = className.c_str();
    ::RegisterClassExW(&wc);
    LxCreationAwareness awareness(*this);
    probeWindow_.reset(::CreateWindowExW(0, className.c_str(), L"", kProbeStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                                         ::GetDesktopWindow(), nullptr, wc.hInstance, nullptr));
}

LxCreationAwareness::LxCreationAwareness(LxDisplayScaler& scaler) : scaler_(scaler) {
    if (scaler_.GetMode() == kModeThread && scaler_.IsScalingOn()) {
        previous_ = scaler_.SetThreadAwareness(reinterpret_cast<AwarenessContext>(kPerMonitorAwareV2));
        switched_ = previous_ != nullptr;
    }
}

LxCreationAwareness::~LxCreationAwareness() {
    if (switched_) scaler_.SetThreadAwareness(previous_);
}

}  // namespace ui
