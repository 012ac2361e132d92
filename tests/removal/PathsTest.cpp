#include <gtest/gtest.h>

#include <cwctype>

#include "base/platform.h"
#include "removal/Paths.h"
#include "support/TestSupport.h"

using namespace removal;

namespace {

// Restores an environment variable of this process on scope exit.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const std::wstring& value) : name_(name) {
        wchar_t old[32768];
        const DWORD n = ::GetEnvironmentVariableW(name, old, 32768);
        had_ = n > 0 && n < 32768;
        if (had_) old_.assign(old, n);
        ::SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedEnv() { ::SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }

private:
    const wchar_t* name_;
    std::wstring old_;
    bool had_ = false;
};

std::wstring Env(const wchar_t* name) {
    std::wstring value;
    EXPECT_TRUE(ExpandEnvVar((std::wstring(L"%") + name + L"%").c_str(), value));
    return value;
}

bool IsUpperHex(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'); }

}  // namespace

TEST(ExpandPathMacros, TempWithRandomFill) {
    ScopedEnv temp(L"TEMP", L"C:\\Tmp");
    std::wstring path = L"%TEMP%\\????.tmp";
    ASSERT_TRUE(ExpandPathMacros(path));
    ASSERT_EQ(path.size(), std::wstring(L"C:\\Tmp\\????.tmp").size());
    EXPECT_EQ(path.substr(0, 7), L"C:\\Tmp\\");
    for (size_t i = 7; i < 11; ++i) EXPECT_TRUE(IsUpperHex(path[i])) << path;
    EXPECT_EQ(path.substr(11), L".tmp");

    // Only the first run of question marks is filled.
    path = L"%TEMP%\\a?b?";
    ASSERT_TRUE(ExpandPathMacros(path));
    ASSERT_EQ(path.size(), 11u);
    EXPECT_TRUE(IsUpperHex(path[8]));
    EXPECT_EQ(path[10], L'?');
}

TEST(ExpandPathMacros, WithoutMacroLeavesPathAlone) {
    std::wstring path = L"C:/x//y?";
    EXPECT_FALSE(ExpandPathMacros(path));
    EXPECT_EQ(path, L"C:/x//y?");  // no fill, no separator clean-up
    path = L"%temp%\\x";            // macros are case-sensitive
    EXPECT_FALSE(ExpandPathMacros(path));
    EXPECT_EQ(path, L"%temp%\\x");
    path.clear();
    EXPECT_FALSE(ExpandPathMacros(path));
}

TEST(ExpandPathMacros, OnlyFirstMacroOfTableOrderExpands) {
    ScopedEnv temp(L"TEMP", L"C:\\Tmp");
    std::wstring path = L"%TEMP%\\%CUR_DIR%";
    ASSERT_TRUE(ExpandPathMacros(path));
    EXPECT_EQ(path, L"C:\\Tmp\\%CUR_DIR%");
    // Table order, not position, decides: %TEMP% precedes %CUR_DIR% in the table.
    path = L"%CUR_DIR%\\%TEMP%\\%TEMP%";
    ASSERT_TRUE(ExpandPathMacros(path));
    EXPECT_EQ(path, L"%CUR_DIR%\\C:\\Tmp\\C:\\Tmp");
}

TEST(ExpandPathMacros, SeparatorCleanUp) {
    ScopedEnv temp(L"TEMP", L"C:\\Tmp\\");
    std::wstring path = L"\\\\%TEMP%\\\\\\a/b//c";
    ASSERT_TRUE(ExpandPathMacros(path));
    EXPECT_EQ(path, L"\\C:\\Tmp\\a\\b\\c");  // a leading double backslash keeps only one

    // An executable in a drive root: the root keeps its backslash, the double collapses.
    auto rootDir = [](PathMacro, std::wstring& value) {
        value = L"C:\\";
        return true;
    };
    path = L"%CUR_DIR%\\x";
    ASSERT_TRUE(ExpandPathMacrosWith(path, rootDir));
    EXPECT_EQ(path, L"C:\\x");
}

TEST(ExpandPathMacros, OverlongValueFailsAndLeavesPath) {
    ScopedEnv temp(L"TEMP", L"C:\\" + std::wstring(256, L'a'));  // 259 characters + terminator = 260
    std::wstring path = L"%TEMP%\\x?";
    EXPECT_FALSE(ExpandPathMacros(path));
    EXPECT_EQ(path, L"%TEMP%\\x?");

    // A value source that fails leaves the path untouched as well.
    path = L"%APPDATA%/a";
    EXPECT_FALSE(ExpandPathMacrosWith(path, [](PathMacro, std::wstring&) { return false; }));
    EXPECT_EQ(path, L"%APPDATA%/a");
}

TEST(ExpandPathMacros, PlatformValues) {
    wchar_t buffer[MAX_PATH];
    std::wstring path = L"%SYSTEM%\\a";
    ASSERT_TRUE(ExpandPathMacros(path));
    ::GetSystemDirectoryW(buffer, MAX_PATH);
    EXPECT_EQ(path, std::wstring(buffer) + L"\\a");

    path = L"%WINDOWS%\\a";
    ASSERT_TRUE(ExpandPathMacros(path));
    ::GetWindowsDirectoryW(buffer, MAX_PATH);
    EXPECT_EQ(path, std::wstring(buffer) + L"\\a");

    // The code is linked into the test executable, so all three name its directory.
    std::wstring exeDir = base::GetModuleDirectory(nullptr);
    for (const wchar_t* macro : {L"%CUR_MODULE%", L"%CUR_EXE_MODULE%", L"%CUR_DIR%"}) {
        path = std::wstring(macro) + L"\\a";
        ASSERT_TRUE(ExpandPathMacros(path)) << macro;
        EXPECT_EQ(path, exeDir + L"a") << macro;
    }

    path = L"%APPDATA%";
    ASSERT_TRUE(ExpandPathMacros(path));
    EXPECT_EQ(path, Env(L"APPDATA"));
    path = L"%ALLUSERSPROFILE%";
    ASSERT_TRUE(ExpandPathMacros(path));
    EXPECT_EQ(path, Env(L"ALLUSERSPROFILE"));
}

TEST(ExpandEnvVar, Limits) {
    std::wstring out = L"old";
    EXPECT_FALSE(ExpandEnvVar(nullptr, out));
    EXPECT_EQ(out, L"old");

    // An undefined variable stays as its reference.
    EXPECT_TRUE(ExpandEnvVar(L"%UNINST_SURELY_UNDEFINED%", out));
    EXPECT_EQ(out, L"%UNINST_SURELY_UNDEFINED%");

    // 259 characters plus terminator reaches the limit; 258 is the longest accepted.
    {
        ScopedEnv v(L"UNINST_LONG", std::wstring(258, L'x'));
        EXPECT_TRUE(ExpandEnvVar(L"%UNINST_LONG%", out));
        EXPECT_EQ(out, std::wstring(258, L'x'));
    }
    {
        ScopedEnv v(L"UNINST_LONG", std::wstring(259, L'x'));
        out = L"old";
        EXPECT_FALSE(ExpandEnvVar(L"%UNINST_LONG%", out));
        EXPECT_EQ(out, L"old");
    }
    EXPECT_FALSE(ExpandEnvVar(std::wstring(300, L'y').c_str(), out));
    // An empty text needs only its terminator and expands to nothing.
    EXPECT_TRUE(ExpandEnvVar(L"", out));
    EXPECT_TRUE(out.empty());
}

TEST(SpecialFolders, SystemFoldersAndLibraries) {
    const std::wstring windows = GetWindowsFolder();
    ASSERT_FALSE(windows.empty());
    EXPECT_TRUE(testing_support::IsDirectory(windows));
    EXPECT_EQ(GetWindowsFolder(), windows);
    const std::wstring x86 = GetSystemX86Folder();
    ASSERT_FALSE(x86.empty());
    EXPECT_TRUE(testing_support::IsDirectory(x86));

    EXPECT_EQ(LoadSystemLibrary(nullptr), nullptr);
    EXPECT_EQ(LoadSystemLibrary(L""), nullptr);
    EXPECT_EQ(LoadSystemLibrary(L"uninst_no_such_library.dll"), nullptr);
    HMODULE kernel = LoadSystemLibrary(L"Kernel32.dll");
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(kernel, ::GetModuleHandleW(L"kernel32.dll"));
    EXPECT_NE(::GetProcAddress(kernel, "GetModuleHandleExW"), nullptr);
    ::FreeLibrary(kernel);

    // A full path is taken as it stands.
    HMODULE sdk = LoadSystemLibrary((testing_support::BinDir() + L"qsdxbase.dll").c_str());
    ASSERT_NE(sdk, nullptr);
    EXPECT_EQ(base::GetModulePath(sdk), testing_support::BinDir() + L"qsdxbase.dll");
    ::FreeLibrary(sdk);
}

TEST(NormalizeNtPath, NativeForms) {
    std::wstring path = L"\\??\\C:\\Program Files\\x.exe";
    EXPECT_TRUE(NormalizeNtPath(path));
    EXPECT_EQ(path, L"C:\\Program Files\\x.exe");

    path = L"\\SystemRoot\\System32\\smss.exe";
    EXPECT_TRUE(NormalizeNtPathWith(path, L"C:\\Windows"));
    EXPECT_EQ(path, L"C:\\Windows\\System32\\smss.exe");
    path = L"\\SystemRoot\\System32\\smss.exe";
    EXPECT_TRUE(NormalizeNtPath(path));
    EXPECT_EQ(path, GetWindowsFolder() + L"\\System32\\smss.exe");

    for (const wchar_t* unusable : {L"\\Device\\HarddiskVolume2\\x.exe", L"\\??\\UNC\\srv\\x.exe", L"\\??\\C:",
                                    L"\\SystemRoot\\x"}) {
        path = unusable;
        const bool ok = std::wstring(unusable).rfind(L"\\SystemRoot", 0) == 0
                            ? NormalizeNtPathWith(path, L"")  // no SystemRoot value
                            : NormalizeNtPath(path);
        EXPECT_FALSE(ok) << unusable;
        EXPECT_TRUE(path.empty()) << unusable;
    }

    for (const wchar_t* plain : {L"C:\\x.exe", L"", L"x"}) {
        path = plain;
        EXPECT_TRUE(NormalizeNtPath(path));
        EXPECT_EQ(path, plain);
    }
}

TEST(DeviceDriveMap, ToDrivePathOverGivenPairs) {
    const std::vector<DeviceDrivePair> pairs = {
        {L"\\Device\\HarddiskVolume1", L"C:"},
        {L"\\Device\\HarddiskVolume10", L"D:"},
    };
    std::wstring path = L"\\Device\\HarddiskVolume10\\dir\\x.exe";
    EXPECT_TRUE(ToDrivePath(pairs, path));
    EXPECT_EQ(path, L"D:\\dir\\x.exe");  // not "C:0\dir\x.exe"

    path = L"\\device\\harddiskvolume1\\x.exe";
    EXPECT_TRUE(ToDrivePath(pairs, path));
    EXPECT_EQ(path, L"C:\\x.exe");

    // Only the leading device name is replaced.
    path = L"\\Device\\HarddiskVolume1\\copy\\Device\\HarddiskVolume1\\x";
    EXPECT_TRUE(ToDrivePath(pairs, path));
    EXPECT_EQ(path, L"C:\\copy\\Device\\HarddiskVolume1\\x");

    path = L"\\Device\\HarddiskVolume1";
    EXPECT_TRUE(ToDrivePath(pairs, path));
    EXPECT_EQ(path, L"C:");

    for (const wchar_t* other : {L"\\Device\\HarddiskVolume2\\x", L"C:\\x", L"", L"\\Device\\Harddisk"}) {
        path = other;
        EXPECT_FALSE(ToDrivePath(pairs, path)) << other;
        EXPECT_EQ(path, other);
    }
    EXPECT_FALSE(ToDrivePath({}, path));
}

TEST(DeviceDriveMap, LiveMapCoversDriveC) {
    DeviceDriveMap map;
    ASSERT_TRUE(map.Build());
    ASSERT_FALSE(map.pairs().empty());
    const DeviceDrivePair* c = nullptr;
    for (const auto& pair : map.pairs()) {
        EXPECT_EQ(pair.second.size(), 2u);
        EXPECT_EQ(pair.second[1], L':');
        if (pair.second == L"C:") c = &pair;
    }
    ASSERT_NE(c, nullptr);
    wchar_t device[MAX_PATH] = {};
    ASSERT_NE(::QueryDosDeviceW(L"C:", device, MAX_PATH), 0u);
    EXPECT_EQ(c->first, device);

    std::wstring path = c->first + L"\\windows\\x.exe";
    EXPECT_TRUE(map.ToDrivePath(path));
    EXPECT_EQ(path, L"C:\\windows\\x.exe");

    // The process-wide map holds the same pairs and stays the same object.
    EXPECT_EQ(SharedDeviceDriveMap().pairs(), map.pairs());
    EXPECT_EQ(&SharedDeviceDriveMap(), &SharedDeviceDriveMap());
}
