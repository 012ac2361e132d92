#include <gtest/gtest.h>

#include "app/Firewall.h"
#include "app/UninstallRun.h"
#include "base/platform.h"
#include "base/unique_any.h"
#include "removal/Registry.h"
#include "support/ProductKey.h"
#include "support/TestSupport.h"

using namespace app;

namespace {
DWORD ReadUserDword(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    ::RegGetValueW(HKEY_CURRENT_USER, removal::kProductKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

// Sets or removes the class-registration count for one test.
class ClassCount {
public:
    ClassCount() { Clear(); }
    ~ClassCount() { Clear(); }
    void Set(const void* data, DWORD size, DWORD type) {
        base::unique_hkey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, kClassRegistrationKey, 0, nullptr, 0,
                                    KEY_ALL_ACCESS | removal::kInstallerView, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(key.get(), kUninstallCountValue, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }

private:
    static void Clear() {
        removal::DeleteRegistryTree(HKEY_CLASSES_ROOT, L"CLSID\\{9B7A98EC-7EF9-468c-ACC8-37C793DBD7E0}",
                                    removal::kInstallerView);
    }
};
}  // namespace

TEST(ProgressTick, ClimbsByTenHoldsAt99AndEndsAt100) {
    uint32_t percent = 0;
    std::vector<uint32_t> shown;
    for (int i = 0; i < 12; ++i) shown.push_back(percent = NextProgressPercent(percent, false));
    EXPECT_EQ(shown, (std::vector<uint32_t>{10, 20, 30, 40, 50, 60, 70, 80, 99, 99, 99, 99}));
    EXPECT_EQ(NextProgressPercent(99, true), 100u);
    EXPECT_EQ(NextProgressPercent(0, true), 100u);  // a worker that ended before the first tick
    EXPECT_EQ(NextProgressPercent(79, false), 89u);
}

TEST(UninstallCount, OneMoreThanTheLargerValue) {
    EXPECT_EQ(NextUninstallCount(0, 0), 1u);
    EXPECT_EQ(NextUninstallCount(5, 2), 6u);
    EXPECT_EQ(NextUninstallCount(2, 5), 6u);
    EXPECT_EQ(NextUninstallCount(0x80000000u, 1), 0x80000001u);  // unsigned comparison
}

TEST(UninstallCount, RecordWritesTimeAndCountIntoTheUserKey) {
    testing_support::ProductKeyScope product;
    ClassCount classCount;
    const DWORD three = 3;
    classCount.Set(&three, sizeof(three), REG_DWORD);
    EXPECT_EQ(ReadClassRegistrationCount(), 3u);
    RecordUninstallTimeAndCount(7, 1700000000u);
    EXPECT_EQ(ReadUserDword(kUninstallTimeValue), 1700000000u);
    EXPECT_EQ(ReadUserDword(kUninstallCountValue), 8u);
    EXPECT_EQ(ReadUserUninstallCount(), 8u);
    RecordUninstallTimeAndCount(0, 1700000001u);  // a silent run reads no user count
    EXPECT_EQ(ReadUserDword(kUninstallCountValue), 4u);
}

TEST(UninstallCount, ClassValueOfTheWrongSizeCountsAsZero) {
    testing_support::ProductKeyScope product;
    ClassCount classCount;
    EXPECT_EQ(ReadClassRegistrationCount(), 0u);
    const unsigned char three[3] = {9, 0, 0};
    classCount.Set(three, sizeof(three), REG_BINARY);
    EXPECT_EQ(ReadClassRegistrationCount(), 0u);
    const uint64_t wide = 12;
    classCount.Set(&wide, sizeof(wide), REG_QWORD);
    EXPECT_EQ(ReadClassRegistrationCount(), 0u);
}

TEST(FilePresence, DirectoriesDoNotCount) {
    testing_support::TempDir dir(L"pres");
    EXPECT_FALSE(base::FileIsPresent(dir.path()));
    EXPECT_FALSE(base::FileIsPresent(dir / L"missing.exe"));
    ASSERT_TRUE(testing_support::WriteBytes(dir / L"x.exe", "x"));
    EXPECT_TRUE(base::FileIsPresent(dir / L"x.exe"));
}

// Wine's firewall keeps no authorised applications, so only the refusal is observable here.
TEST(FirewallException, EmptyPathIsRefused) {
    EXPECT_EQ(app::AddFirewallException(L""), app::kFwEmptyPath);
    EXPECT_EQ(app::RemoveFirewallException(L""), app::kFwEmptyPath);
}
