#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/SdkLibrary.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "removal/Registry.h"
#include "support/TestSupport.h"
#include "base/platform.h"

using namespace testing_support;
using removal::CCommonRegister;
using removal::DeleteRegistryTree;
using removal::kProductKeyPath;

namespace {

constexpr REGSAM kView32 = KEY_WOW64_32KEY;
constexpr REGSAM kView64 = KEY_WOW64_64KEY;
constexpr wchar_t kUninstallPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\qlumenox_varko_regtest";

std::wstring TestKeyPath() { return L"Software\\uninst_regtest_" + std::to_wstring(::GetCurrentProcessId()); }

}  // namespace

TEST(DeleteRegistryTree, DeletesNestedKeysAndLeavesSiblings) {
    ScopedKeys keys;
    const std::wstring base = TestKeyPath();
    keys.Track(HKEY_CURRENT_USER, base);
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, base + L"\\tree\\a\\b\\c"));
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, base + L"\\tree\\a2"));
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, base + L"\\sibling"));
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, base + L"\\tree"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + L"\\tree"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base + L"\\sibling"));
    // An absent key answers the not-found code, which callers ignore.
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, base + L"\\tree"), ERROR_FILE_NOT_FOUND);
    // Below an opened key; an empty path would name that key and wipe everything below it.
    base::unique_hkey opened;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, base.c_str(), 0, KEY_ALL_ACCESS, opened.put()), ERROR_SUCCESS);
    EXPECT_EQ(DeleteRegistryTree(opened.get(), L""), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base + L"\\sibling"));
    EXPECT_EQ(DeleteRegistryTree(opened.get(), L"sibling"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + L"\\sibling"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base));
}

TEST(RemoveUninstallInfo, DeletesProductAndUninstallKeysNamedByTheSdk) {
    TempDir dir(L"reg");
    ASSERT_TRUE(CopyInto(L"qsdxbase.dll", dir.path()));
    ASSERT_TRUE(WriteUtf8(dir / L"qsdxbase_values.txt", std::wstring(L"UNINSTALL_INFO_REG=") + kUninstallPath + L"\n"));
    ScopedKeys keys;
    const std::wstring neighbour = std::wstring(kUninstallPath) + L"_neighbour";
    // The installer's machine keys lie in the 32-bit view; the same names in
    // the 64-bit view are somebody else's.
    for (const REGSAM view : {kView32, kView64}) {
        keys.Track(HKEY_LOCAL_MACHINE, kProductKeyPath, view);
        keys.Track(HKEY_LOCAL_MACHINE, kUninstallPath, view);
        ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kProductKeyPath) + L"\\settings", view));
        ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kUninstallPath) + L"\\sub", view));
    }
    keys.Track(HKEY_CURRENT_USER, kProductKeyPath);
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, std::wstring(kProductKeyPath) + L"\\settings"));
    ASSERT_TRUE(keys.Create(HKEY_CURRENT_USER, kUninstallPath));
    ASSERT_TRUE(keys.Create(HKEY_LOCAL_MACHINE, neighbour, kView32));
    base::ProductValueLookup lookup(dir.path());
    ASSERT_TRUE(lookup.HasObject());
    EXPECT_EQ(removal::RemoveUninstallInfo(lookup), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKeyPath, kView32));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProductKeyPath));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallPath, kView32));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallPath));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, neighbour, kView32));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kProductKeyPath) + L"\\settings", kView64));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kUninstallPath) + L"\\sub", kView64));
    // Nothing left: the result is the last deletion's not-found code.
    EXPECT_EQ(removal::RemoveUninstallInfo(lookup), ERROR_FILE_NOT_FOUND);
}

TEST(RemoveUninstallInfo, WithoutTheSdkTakesTheValueNameAsKeyPath) {
    TempDir empty(L"reg");
    ScopedKeys keys;
    ASSERT_TRUE(keys.Create(HKEY_LOCAL_MACHINE, kProductKeyPath, kView32));
    keys.Track(HKEY_CURRENT_USER, kProductKeyPath);
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, std::wstring(kProductKeyPath) + L"\\settings"));
    // The literal name is what gets deleted, here as a top-level user key.
    ASSERT_TRUE(keys.Create(HKEY_CURRENT_USER, removal::kUninstallInfoValueKey));
    base::ProductValueLookup lookup(empty.path());
    ASSERT_FALSE(lookup.HasObject());
    EXPECT_EQ(removal::RemoveUninstallInfo(lookup), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKeyPath, kView32));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProductKeyPath));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, removal::kUninstallInfoValueKey));
}

TEST(RemoveUninstallInfo, SdkWithoutTheValueDeletesNothing) {
    TempDir dir(L"reg");
    ASSERT_TRUE(CopyInto(L"qsdxbase.dll", dir.path()));
    ASSERT_TRUE(WriteUtf8(dir / L"qsdxbase_values.txt", L"OTHER=x\n"));
    ScopedKeys keys;
    ASSERT_TRUE(keys.Create(HKEY_LOCAL_MACHINE, kProductKeyPath, kView32));
    ASSERT_TRUE(keys.Create(HKEY_CURRENT_USER, kProductKeyPath));
    base::ProductValueLookup lookup(dir.path());
    ASSERT_TRUE(lookup.HasObject());
    EXPECT_EQ(removal::RemoveUninstallInfo(lookup), ERROR_SUCCESS);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kProductKeyPath, kView32));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kProductKeyPath));
    EXPECT_EQ(removal::RemoveUninstallInfoAt(L""), ERROR_SUCCESS);
}

TEST(ParseRootKeyName, MapsLongAndShortNamesInAnyCase) {
    const std::pair<const wchar_t*, HKEY> cases[] = {
        {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}, {L"hkcr", HKEY_CLASSES_ROOT},
        {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER}, {L"HKCU", HKEY_CURRENT_USER},
        {L"hklm", HKEY_LOCAL_MACHINE},             {L"HKEY_Local_Machine", HKEY_LOCAL_MACHINE},
        {L"HKEY_USERS", HKEY_USERS},               {L"Hku", HKEY_USERS},
        {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}, {L"HKCC", HKEY_CURRENT_CONFIG},
        {L"HKEY_PERFORMANCE_DATA", nullptr},       {L"", nullptr},
        {L"HKLM\\Software", nullptr},              {L" HKLM", nullptr},
    };
    for (const auto& [name, root] : cases) EXPECT_EQ(base::ParseRootKeyName(name), root) << base::WideToUtf8(name);
}

TEST(RemoveShellVerbs, DeletesTheViewersVerbsOfTableExtensionsOnly) {
    const auto shell = [](const std::wstring& ext) { return L"SystemFileAssociations\\" + ext + L"\\Shell"; };
    // The table's first and last extensions and two between.
    const std::wstring extensions[] = {removal::kShellVerbExtensions.front(), L".png", L".tif",
                                       removal::kShellVerbExtensions.back()};
    const std::wstring foreign = shell(L".qlxnotours") + L"\\" + removal::kShellVerbNames[0];
    const std::wstring bareName = shell(L".jpg") + L"\\lumenox0_open";  // the name without its leading blanks
    // Extension keys the prefix already had keep their other content; new ones go whole.
    ScopedKeys cleanup;
    for (const std::wstring& extension : {extensions[0], extensions[1], extensions[2], extensions[3],
                                          std::wstring(L".jpg"), std::wstring(L".qlxnotours")}) {
        const std::wstring key = L"SystemFileAssociations\\" + extension;
        if (!KeyExists(HKEY_CLASSES_ROOT, key, kView32)) cleanup.Track(HKEY_CLASSES_ROOT, key, kView32);
    }
    for (const std::wstring& decoy : {foreign, bareName}) {
        cleanup.Track(HKEY_CLASSES_ROOT, decoy, kView32);
        ASSERT_TRUE(CreateKey(HKEY_CLASSES_ROOT, decoy + L"\\command", kView32));
    }
    for (const std::wstring& extension : extensions) {
        for (const wchar_t* verb : removal::kShellVerbNames) {
            cleanup.Track(HKEY_CLASSES_ROOT, shell(extension) + L"\\" + verb, kView32);
            // A verb with deeper nesting goes as a whole.
            ASSERT_TRUE(
                CreateKey(HKEY_CLASSES_ROOT, shell(extension) + L"\\" + verb + L"\\command\\deeper", kView32));
        }
    }
    removal::RemoveShellVerbs();
    for (const std::wstring& extension : extensions) {
        SCOPED_TRACE(base::WideToUtf8(extension));
        for (const wchar_t* verb : removal::kShellVerbNames) {
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, shell(extension) + L"\\" + verb, kView32));
        }
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, shell(extension), kView32));  // only the verbs go
    }
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, bareName + L"\\command", kView32));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, foreign + L"\\command", kView32));
}

namespace {

using Lines = std::vector<std::string>;
const Lines kBothCalled = {"A.Run 0", "A.Release", "unload", "B.Run", "B.Release", "unload"};

}  // namespace

// The utility library's stand-in takes its answers from a config file beside it and logs its calls.
TEST(CCommonRegister, CallsBothInterfacesReleasesThemAndUnloads) {
    const struct {
        const wchar_t* config;
        bool resultA;
        int resultB;
        Lines log;
    } cases[] = {
        {L"B.Run=7\n", true, 7, kBothCalled},
        {L"A.Run=5\nB.Run=-3\n", false, -3, kBothCalled},
        {L"refuse=AB\nB.Run=9\n", false, 0, {"unload", "unload"}},  // no objects
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(base::WideToUtf8(c.config));
        TempDir util(L"util");
        ASSERT_TRUE(CopyInto(L"qlumenoxutil.dll", util.path()));
        ASSERT_TRUE(WriteUtf8(util / L"qlumenoxutil_config.txt", c.config));
        EXPECT_EQ(CCommonRegister::InvokeUtilInterfaceA(util / L"qlumenoxutil.dll"), c.resultA);
        EXPECT_EQ(CCommonRegister::InvokeUtilInterfaceB(util / L"qlumenoxutil.dll"), c.resultB);
        EXPECT_EQ(ReadLines(util / L"qlumenoxutil.log"), c.log);
        EXPECT_EQ(::GetModuleHandleW((util / L"qlumenoxutil.dll").c_str()), nullptr);
    }
}

TEST(CCommonRegister, WithoutTheLibraryOrItsExportAnswersFalseAndZero) {
    TempDir dir(L"util");
    EXPECT_FALSE(CCommonRegister::InvokeUtilInterfaceA(dir / L"qlumenoxutil.dll"));
    EXPECT_EQ(CCommonRegister::InvokeUtilInterfaceB(dir / L"qlumenoxutil.dll"), 0);
    // A library without the export: another family DLL under the utility library's name.
    ASSERT_TRUE(::CopyFileW((BinDir() + L"qsdxbase.dll").c_str(), (dir / L"qlumenoxutil.dll").c_str(), FALSE));
    EXPECT_FALSE(CCommonRegister::InvokeUtilInterfaceA(dir / L"qlumenoxutil.dll"));
    EXPECT_EQ(CCommonRegister::InvokeUtilInterfaceB(dir / L"qlumenoxutil.dll"), 0);
}
