#include <gtest/gtest.h>

#include "base/text.h"
#include "removal/Paths.h"
#include "support/TestSupport.h"
#include "base/platform.h"

using namespace removal;

namespace {

// Sets an environment variable of this process and restores it on scope exit.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const std::wstring& value) : name_(name) {
        std::wstring old(32768, L'\0');
        const DWORD n = ::GetEnvironmentVariableW(name, old.data(), static_cast<DWORD>(old.size()));
        had_ = n > 0 && n < old.size();
        if (had_) old_ = old.substr(0, n);
        ::SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedEnv() { ::SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }

private:
    const wchar_t* name_;
    std::wstring old_;
    bool had_ = false;
};

bool IsUpperHex(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'); }

}  // namespace

TEST(ExpandPathMacros, TempWithRandomFill) {
    ScopedEnv temp(L"TEMP", L"C:\\Tmp");
    std::wstring path = L"%TEMP%\\????.tmp?";
    ASSERT_TRUE(ExpandPathMacros(path));
    ASSERT_EQ(path.size(), 16u);
    EXPECT_EQ(path.substr(0, 7) + path.substr(11), L"C:\\Tmp\\.tmp?");  // only the first run of marks is filled
    for (size_t i = 7; i < 11; ++i) EXPECT_TRUE(IsUpperHex(path[i])) << base::WideToUtf8(path);
}

TEST(ExpandPathMacros, TextTable) {
    const struct {
        std::wstring temp;
        const wchar_t* path;
        const wchar_t* expanded;  // null: not expanded, the path stays as it was
    } cases[] = {
        {L"C:\\Tmp", L"C:/x//y?", nullptr},  // no macro: no fill, no separator clean-up
        {L"C:\\Tmp", L"%temp%\\x", nullptr},  // macros are case-sensitive
        {L"C:\\Tmp", L"", nullptr},
        // Only the first macro of the table's order expands, wherever it stands.
        {L"C:\\Tmp", L"%TEMP%\\%CUR_DIR%", L"C:\\Tmp\\%CUR_DIR%"},
        {L"C:\\Tmp", L"%CUR_DIR%\\%TEMP%\\%TEMP%", L"%CUR_DIR%\\C:\\Tmp\\C:\\Tmp"},
        // Separators collapse; a leading double backslash keeps only one.
        {L"C:\\Tmp\\", L"\\\\%TEMP%\\\\\\a/b//c", L"\\C:\\Tmp\\a\\b\\c"},
        // A value of 259 characters plus terminator reaches the limit.
        {L"C:\\" + std::wstring(256, L'a'), L"%TEMP%\\x?", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(base::WideToUtf8(c.path));
        ScopedEnv temp(L"TEMP", c.temp);
        std::wstring path = c.path;
        EXPECT_EQ(ExpandPathMacros(path), c.expanded != nullptr);
        EXPECT_EQ(path, c.expanded ? c.expanded : c.path);
    }
    // An executable in a drive root: the root keeps its backslash, the double collapses.
    std::wstring path = L"%CUR_DIR%\\x";
    ASSERT_TRUE(ExpandPathMacrosWith(path, [](PathMacro, std::wstring& value) {
        value = L"C:\\";
        return true;
    }));
    EXPECT_EQ(path, L"C:\\x");
    // A value source that fails leaves the path untouched.
    path = L"%APPDATA%/a";
    EXPECT_FALSE(ExpandPathMacrosWith(path, [](PathMacro, std::wstring&) { return false; }));
    EXPECT_EQ(path, L"%APPDATA%/a");
}

TEST(ExpandPathMacros, PlatformValues) {
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    wchar_t windows[MAX_PATH];
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    std::wstring appData, allUsers;
    ASSERT_TRUE(ExpandEnvVar(L"%APPDATA%", appData));
    ASSERT_TRUE(ExpandEnvVar(L"%ALLUSERSPROFILE%", allUsers));
    // The code is linked into the test executable, so the module macros name its directory.
    const std::wstring exeDir = base::GetModuleDirectory(nullptr);
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"%SYSTEM%\\a", std::wstring(system) + L"\\a"}, {L"%WINDOWS%\\a", std::wstring(windows) + L"\\a"},
        {L"%CUR_MODULE%\\a", exeDir + L"a"},           {L"%CUR_EXE_MODULE%\\a", exeDir + L"a"},
        {L"%CUR_DIR%\\a", exeDir + L"a"},               {L"%APPDATA%", appData},
        {L"%ALLUSERSPROFILE%", allUsers}};
    for (const auto& [macro, expected] : cases) {
        std::wstring path = macro;
        EXPECT_TRUE(ExpandPathMacros(path)) << base::WideToUtf8(macro);
        EXPECT_EQ(path, expected);
    }
}

TEST(ExpandEnvVar, Limits) {
    std::wstring out = L"old";
    EXPECT_FALSE(ExpandEnvVar(nullptr, out));
    EXPECT_EQ(out, L"old");
    // An undefined variable stays as its reference.
    EXPECT_TRUE(ExpandEnvVar(L"%UNINST_SURELY_UNDEFINED%", out));
    EXPECT_EQ(out, L"%UNINST_SURELY_UNDEFINED%");
    // 259 characters plus terminator reaches the limit; 258 is the longest accepted.
    for (const size_t length : {258, 259}) {
        ScopedEnv v(L"UNINST_LONG", std::wstring(length, L'x'));
        out = L"old";
        EXPECT_EQ(ExpandEnvVar(L"%UNINST_LONG%", out), length == 258);
        EXPECT_EQ(out, length == 258 ? std::wstring(258, L'x') : L"old");
    }
    EXPECT_FALSE(ExpandEnvVar(std::wstring(300, L'y').c_str(), out));
    EXPECT_TRUE(ExpandEnvVar(L"", out));
    EXPECT_TRUE(out.empty());
}

TEST(SpecialFolders, SystemFoldersAndLibraries) {
    EXPECT_TRUE(testing_support::IsDirectory(GetWindowsFolder()));
    EXPECT_TRUE(testing_support::IsDirectory(GetSystemX86Folder()));
    EXPECT_EQ(LoadSystemLibrary(nullptr), nullptr);
    EXPECT_EQ(LoadSystemLibrary(L""), nullptr);
    EXPECT_EQ(LoadSystemLibrary(L"uninst_no_such_library.dll"), nullptr);
    HMODULE kernel = LoadSystemLibrary(L"Kernel32.dll");
    EXPECT_EQ(kernel, ::GetModuleHandleW(L"kernel32.dll"));
    ::FreeLibrary(kernel);
    // A full path is taken as it stands.
    HMODULE sdk = LoadSystemLibrary((testing_support::BinDir() + L"qsdxbase.dll").c_str());
    ASSERT_NE(sdk, nullptr);
    EXPECT_EQ(base::GetModulePath(sdk), testing_support::BinDir() + L"qsdxbase.dll");
    ::FreeLibrary(sdk);
}

TEST(NormalizeNtPath, NativeForms) {
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"\\??\\C:\\Program Files\\x.exe", L"C:\\Program Files\\x.exe"},
        {L"\\SystemRoot\\System32\\smss.exe", GetWindowsFolder() + L"\\System32\\smss.exe"},
        // Unusable forms come back empty; plain paths stay.
        {L"\\Device\\HarddiskVolume2\\x.exe", L""}, {L"\\??\\UNC\\srv\\x.exe", L""}, {L"\\??\\C:", L""},
        {L"C:\\x.exe", L"C:\\x.exe"}, {L"", L""}, {L"x", L"x"},
    };
    for (const auto& [native, expected] : cases) {
        std::wstring path = native;
        EXPECT_EQ(NormalizeNtPath(path), !expected.empty() || !*native) << base::WideToUtf8(native);
        EXPECT_EQ(path, expected);
    }
    std::wstring path = L"\\SystemRoot\\System32\\smss.exe";
    EXPECT_TRUE(NormalizeNtPathWith(path, L"C:\\Windows"));
    EXPECT_EQ(path, L"C:\\Windows\\System32\\smss.exe");
    path = L"\\SystemRoot\\x";
    EXPECT_FALSE(NormalizeNtPathWith(path, L""));  // no SystemRoot value
    EXPECT_TRUE(path.empty());
}

TEST(DeviceDriveMap, ToDrivePathOverGivenPairs) {
    const std::vector<DeviceDrivePair> pairs = {{L"\\Device\\HarddiskVolume1", L"C:"},
                                                {L"\\Device\\HarddiskVolume10", L"D:"}};
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {  // null: not mapped, left alone
        {L"\\Device\\HarddiskVolume10\\dir\\x.exe", L"D:\\dir\\x.exe"},  // not "C:0\dir\x.exe"
        {L"\\device\\harddiskvolume1\\x.exe", L"C:\\x.exe"}, {L"\\Device\\HarddiskVolume1", L"C:"},
        // Only the leading device name is replaced.
        {L"\\Device\\HarddiskVolume1\\copy\\Device\\HarddiskVolume1\\x", L"C:\\copy\\Device\\HarddiskVolume1\\x"},
        {L"\\Device\\HarddiskVolume2\\x", nullptr}, {L"C:\\x", nullptr}, {L"", nullptr},
        {L"\\Device\\Harddisk", nullptr},
    };
    for (const auto& [device, drive] : cases) {
        std::wstring path = device;
        EXPECT_EQ(ToDrivePath(pairs, path), drive != nullptr) << base::WideToUtf8(device);
        EXPECT_EQ(path, drive ? drive : device);
    }
    std::wstring path = L"\\Device\\HarddiskVolume1\\x";
    EXPECT_FALSE(ToDrivePath({}, path));
}

TEST(DeviceDriveMap, LiveMapCoversDriveC) {
    DeviceDriveMap map;
    ASSERT_TRUE(map.Build());
    wchar_t device[MAX_PATH] = {};
    ASSERT_NE(::QueryDosDeviceW(L"C:", device, MAX_PATH), 0u);
    std::wstring path = std::wstring(device) + L"\\windows\\x.exe";
    EXPECT_TRUE(map.ToDrivePath(path));
    EXPECT_EQ(path, L"C:\\windows\\x.exe");
    // The process-wide map holds the same pairs and stays the same object.
    EXPECT_EQ(SharedDeviceDriveMap().pairs(), map.pairs());
    EXPECT_EQ(&SharedDeviceDriveMap(), &SharedDeviceDriveMap());
}
