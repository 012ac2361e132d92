#include <gtest/gtest.h>

#include <cstdlib>

#include "manifest/Identity.h"
#include "manifest/Settings.h"
#include "support/ProductKey.h"

using namespace manifest;
using testing_support::ProductKeyScope;

namespace {

// 2024-03-18 09:05:07.042: year, month, day of week, day, hour, minute, second, milliseconds.
constexpr SYSTEMTIME kSampleTime = {2024, 3, 1, 18, 9, 5, 7, 42};

UuidClock FixedClock(int64_t seconds, SYSTEMTIME local) {
    UuidClock clock;
    clock.secondsSince1970 = [seconds] { return seconds; };
    clock.localTime = [local] { return local; };
    return clock;
}

std::wstring Stored(const wchar_t* name, REGSAM view = 0) {
    std::wstring value;
    return ProductKeyScope::GetString(name, value, view) ? value : L"<absent>";
}

std::wstring ComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD chars = sizeof(name);
    ::GetComputerNameA(name, &chars);
    return std::wstring(name, name + chars);
}

}  // namespace

TEST(InstallUuid, RuntimeGeneratorValues) {
    RuntimeRandom one(1);
    EXPECT_EQ(one.Next(), 41);
    EXPECT_EQ(one.Next(), 18467);
    EXPECT_EQ(one.Next(), 6334);
    EXPECT_EQ(RuntimeRandom(0).Next(), 38);
    // The platform runtime's own generator gives the same sequence.
    std::srand(1711000000u);
    RuntimeRandom same(1711000000u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(same.Next(), std::rand());
}

TEST(InstallUuid, PartFormats) {
    EXPECT_EQ(FormatUuidTimePart(kSampleTime), L"04205182024090703");
    EXPECT_EQ(FormatUuidRandomPart(41), L"00041");
    const GUID guid = {0x0A1B2C3D, 0xBEEF, 0xCAFE, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    EXPECT_EQ(FormatUuidGuidPart(guid), L"0A1B2C3DBEEFcafe0123456789ABCDEF");  // third field in lower case
    EXPECT_EQ(FormatUuidGuidPart(GUID{}), L"");
    EXPECT_EQ(FormatUuidFreeBytesPart(true, 0x100000123ULL), L"0000000291");  // low 32 bits only
    EXPECT_EQ(FormatUuidFreeBytesPart(false, 5), L"0000000000");
    EXPECT_EQ(FormatSignedId(0xFFFFFFFFu), L"-1");
    EXPECT_EQ(FormatSignedId(123), L"123");
}

TEST(InstallUuid, ComposedFromInjectedClock) {
    const SYSTEMTIME when = kSampleTime;
    const std::wstring a = GenerateInstallUuid(FixedClock(1, when));
    const std::wstring b = GenerateInstallUuid(FixedClock(1, when));
    const std::wstring name = ComputerName();
    ASSERT_EQ(a.size(), 5 + 32 + 17 + name.size() + 10);
    EXPECT_EQ(a.substr(0, 5), L"00041");
    EXPECT_EQ(a.substr(37, 17), L"04205182024090703");
    EXPECT_EQ(a.substr(54, name.size()), name);
    EXPECT_NE(a.substr(5, 32), b.substr(5, 32));  // same second, different GUID
    EXPECT_EQ(a.substr(0, 5), b.substr(0, 5));
}

TEST(IdentityValues, MissingKeyCreatesUuidAndZeroTexts) {
    ProductKeyScope scope;
    ViewerSettings s;
    LoadIdentity(s);
    EXPECT_EQ(s.tid1, 0u);
    EXPECT_EQ(s.installtime, 0u);
    EXPECT_FALSE(s.uuid.empty());
    EXPECT_EQ(Stored(L"uuid"), s.uuid);
    EXPECT_EQ(Stored(L"tid1_fp", KEY_WOW64_32KEY), L"0");
    EXPECT_EQ(Stored(L"tid2_fp", KEY_WOW64_32KEY), L"0");
}

TEST(IdentityValues, ReadsValuesAndWritesSignedTexts) {
    ProductKeyScope scope;
    ASSERT_TRUE(ProductKeyScope::SetDword(L"tid1", 0xFFFFFFFFu));
    ASSERT_TRUE(ProductKeyScope::SetDword(L"tid2", 2024));
    ASSERT_TRUE(ProductKeyScope::SetDword(L"id", 9));
    ASSERT_TRUE(ProductKeyScope::SetDword(L"installtime", 1700000000u));
    ASSERT_TRUE(ProductKeyScope::SetString(L"uuid", L"existing-uuid"));
    ViewerSettings s;
    LoadIdentity(s);
    EXPECT_EQ(s.tid1, 0xFFFFFFFFu);
    EXPECT_EQ(s.tid2, 2024u);
    EXPECT_EQ(s.id, 9u);
    EXPECT_EQ(s.installtime, 1700000000u);
    EXPECT_EQ(s.uuid, L"existing-uuid");
    EXPECT_EQ(Stored(L"uuid"), L"existing-uuid");
    EXPECT_EQ(Stored(L"tid1_fp", KEY_WOW64_32KEY), L"-1");
    EXPECT_EQ(Stored(L"tid2_fp", KEY_WOW64_32KEY), L"2024");
}

TEST(IdentityValues, PresentTid1TextSuppressesBothWrites) {
    ProductKeyScope scope;
    ASSERT_TRUE(ProductKeyScope::SetDword(L"tid1", 5));
    ASSERT_TRUE(ProductKeyScope::SetDword(L"tid2", 6));
    ASSERT_TRUE(ProductKeyScope::SetString(L"uuid", L"u"));
    ASSERT_TRUE(ProductKeyScope::SetString(L"tid1_fp", L"old", KEY_WOW64_32KEY));
    ViewerSettings s;
    LoadIdentity(s);
    EXPECT_EQ(Stored(L"tid1_fp", KEY_WOW64_32KEY), L"old");
    EXPECT_EQ(Stored(L"tid2_fp", KEY_WOW64_32KEY), L"<absent>");
}

TEST(IdentityValues, EmptyTextsAreRewrittenWrongTypesReadAsZeroOversizedUuidIsReplaced) {
    for (const std::wstring& uuid : {std::wstring(), std::wstring(100000, L'u')}) {
        ProductKeyScope scope;
        ASSERT_TRUE(ProductKeyScope::SetString(L"tid1", L"77"));  // not a double word
        ASSERT_TRUE(ProductKeyScope::SetString(L"installtime", L"1700000000"));
        ASSERT_TRUE(ProductKeyScope::SetString(L"uuid", uuid));
        ASSERT_TRUE(ProductKeyScope::SetString(L"tid1_fp", L"", KEY_WOW64_32KEY));
        ViewerSettings s;
        LoadIdentity(s);
        EXPECT_EQ(s.tid1, 0u);
        EXPECT_EQ(s.installtime, 0u);
        EXPECT_FALSE(s.uuid.empty());
        EXPECT_NE(s.uuid, uuid);
        EXPECT_EQ(Stored(L"uuid"), s.uuid);
        EXPECT_EQ(Stored(L"tid1_fp", KEY_WOW64_32KEY), L"0");
    }
}
