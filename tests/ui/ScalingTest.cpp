#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/TestSupport.h"
#include "base/unique_any.h"
#include "ui/scaling/LxDisplayScaler.h"

using namespace ui;

namespace {
// A scaler over a settings file of the given text and a registry flag of this
// process's own (tests run side by side).
struct ScalerFixture {
    testing_support::TempDir dir{L"scale"};
    LxScalerEnvironment env;
    explicit ScalerFixture(const std::wstring& ini) {
        env.exePath = L"C:\\x\\qzwtray.exe";
        env.iniPath = dir / L"dpisetting.ini";
        env.imageFolder = dir.path() + L"dpiimg";
        env.flagRoot = HKEY_CURRENT_USER;
        env.flagKey = L"Software\\UninstUiTests\\ScalingFlag" + std::to_wstring(::GetCurrentProcessId());
        if (!ini.empty()) testing_support::WriteUtf8(env.iniPath, L"[basesetting]\r\n" + ini);
    }
    ~ScalerFixture() { ::RegDeleteTreeW(HKEY_CURRENT_USER, env.flagKey.c_str()); }
    void SetFlag(DWORD value) {
        ::RegSetKeyValueW(HKEY_CURRENT_USER, env.flagKey.c_str(), L"DpiAware", REG_DWORD, &value, sizeof(value));
    }
};
}  // namespace

TEST(UiScaling, FactorIsTheLastListedNotAboveTheDensity) {
    const auto custom = ParseRateList(L"1.0|1.25|2.0");
    const auto standard = ParseRateList(L"1.0|1.2|1.5");
    const struct { const std::vector<float>* rates; int density; float expected; } cases[] = {
        {&custom, 120, 1.25f}, {&custom, 100, 1.0f}, {&custom, 80, 1.0f}, {&custom, 192, 2.0f},
        {&standard, 96, 1.0f}, {&standard, 115, 1.0f}, {&standard, 116, 1.2f}, {&standard, 143, 1.2f},
        {&standard, 144, 1.5f},
    };
    for (const auto& c : cases) EXPECT_FLOAT_EQ(ChooseFactor(*c.rates, c.density), c.expected) << c.density;
    EXPECT_FLOAT_EQ(ChooseFactor({}, 144), 1.0f);
}

TEST(UiScaling, RoundingRulesPerQuantity) {
    EXPECT_EQ(ScaleLength(1.5f, -7), -10);  // truncation toward zero after adding 0.5
    EXPECT_EQ(ScaleLength(1.2f, 530), 636);
    EXPECT_EQ(UnscaleLength(1.5f, 11), 7);
    EXPECT_EQ(ScaleFontHeight(1.2f, -12), -14);
    EXPECT_EQ(ScaleOffset(1.5f, 7), 10);
}

// No settings file leaves every length alone; "switch" needs the registry flag, "debug" alone suffices.
TEST(UiScaling, SwitchNeedsTheRegistryFlagDebugAloneSuffices) {
    {
        ScalerFixture f(L"switch=1\r\n");
        EXPECT_FALSE(LxDisplayScaler(f.env).IsScalingOn());
        LxDisplayScaler none(ScalerFixture(L"").env);
        EXPECT_FALSE(none.IsScalingOn());
        EXPECT_FLOAT_EQ(none.GetFactor(), 1.0f);
        EXPECT_EQ(none.Scale(7), 7);
        EXPECT_EQ(none.ScaleFont(-12), -12);
        EXPECT_EQ(none.GetMode(), 2);
        f.SetFlag(0);
        EXPECT_FALSE(LxDisplayScaler(f.env).IsScalingOn());
        f.SetFlag(1);
        EXPECT_TRUE(LxDisplayScaler(f.env).IsScalingOn());
    }
    ScalerFixture f(L"debug=1\r\n");
    EXPECT_TRUE(LxDisplayScaler(f.env).IsScalingOn());
    ScalerFixture badMode(L"switch=1\r\nmode=3\r\n");
    badMode.SetFlag(1);
    EXPECT_FALSE(LxDisplayScaler(badMode.env).IsScalingOn());
}

TEST(UiScaling, DebugDensityOnlyForSupportedProcesses) {
    ScalerFixture supported(L"debug=1\r\ndebugdpi=144\r\n");
    LxDisplayScaler on(supported.env);
    EXPECT_TRUE(on.IsSupportedProcess());
    EXPECT_EQ(on.GetDensity(), 144);
    EXPECT_FLOAT_EQ(on.GetFactor(), 1.5f);
    EXPECT_EQ(on.Scale(7), 11);
    EXPECT_EQ(on.ScaleFont(-12), -18);

    ScalerFixture other(L"debug=1\r\ndebugdpi=144\r\nsupportprocess=viewer|tray\r\n");
    LxDisplayScaler off(other.env);
    EXPECT_FALSE(off.IsSupportedProcess());
    EXPECT_EQ(off.GetDensity(), 96);
    EXPECT_FLOAT_EQ(off.GetFactor(), 1.0f);
}

TEST(UiScaling, PreScaledImageNearestListedFactor) {
    const std::wstring folder = L"D:\\img";
    const std::vector<float> rates = {1.0f, 1.25f, 1.5f, 1.75f, 2.0f};
    auto path = [&](float f) { return ScaledImagePath(folder, f, L"uninst", 7, L"png"); };
    EXPECT_EQ(path(1.5f), L"D:\\img\\1.5\\uninst\\7_1.5.png");
    const struct {
        std::set<float> present;
        float current;
        float expected;  // 0: none accepted
    } cases[] = {
        {{1.5f, 2.0f}, 1.5f, 1.5f},   // its own factor first
        {{2.0f}, 1.5f, 2.0f},         // 0.5 away: at the bound |1.5 - 1.0|
        {{1.25f, 2.0f}, 1.5f, 1.25f}, // the nearest
        {{1.25f, 1.75f}, 1.5f, 1.75f},  // a tie goes to the larger
        {{2.0f}, 1.25f, 0.0f},        // 0.75 away from 1.25: too far
        {{1.0f}, 1.5f, 0.0f},         // 1.0 is never a candidate
    };
    for (const auto& c : cases) {
        std::set<std::wstring> files;
        for (float f : c.present) files.insert(path(f));
        const auto found = PickScaledImage(folder, L"uninst", 7, L"png", rates, c.current,
                                           [&](const std::wstring& p) { return files.count(p) != 0; });
        EXPECT_FLOAT_EQ(found ? found->factor : 0.0f, c.expected) << c.current;
    }
}

TEST(UiScaling, ProbeWindowClassAndBaseName) {
    EXPECT_EQ(ExeBaseName(L"C:\\Program Files\\v\\uninst.exe"), L"uninst");
    EXPECT_EQ(ExeBaseName(L"C:\\v\\a.b.exe"), L"a.b");
    EXPECT_EQ(ProbeClassName(L"uninst"), L"uninst_hiddenDpiAwarenessWindow");
    // The process scaler makes the probe window once; later lookups find it.
    LxDisplayScaler& scaler = LxDisplayScaler::Instance();
    EXPECT_FALSE(scaler.IsScalingOn());
    EXPECT_NE(::FindWindowW(scaler.ProbeClass().c_str(), nullptr), nullptr);
}
