// The manifest's path macros, special folders and
// the conversions of the platform's process paths into drive-letter paths.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace removal {

// ---- Path macros -----------------------------------------------------------

// The manifest's path macros in search order; only the first one found counts.
enum class PathMacro { AllUsersProfile, AppData, Temp, System, Windows, CurModule, CurExeModule, CurDir };
struct PathMacroEntry {
    PathMacro macro;
    const wchar_t* text;
};
extern const PathMacroEntry kPathMacros[8];

// Supplies a macro's value; false when it cannot be obtained.
using PathMacroValueFn = std::function<bool(PathMacro macro, std::wstring& value)>;

// Expands, in place, the first macro (case-sensitive) found in a manifest path:
// every occurrence of it is replaced, the first run of "?" is filled with random
// upper-case hexadecimal digits, "/" becomes "\" and doubled backslashes collapse.
// False, with the path untouched (no fill, no clean-up), when there is no macro
// or its value cannot be obtained.
bool ExpandPathMacros(std::wstring& path);
// The same over a given value source, so the string rules can be exercised alone.
bool ExpandPathMacrosWith(std::wstring& path, const PathMacroValueFn& valueOf);
// The platform's value of one macro (environment, system folders, module directories).
bool GetPathMacroValue(PathMacro macro, std::wstring& value);

// Replaces each character of the first run of "?" by one random hexadecimal digit
// (upper case) drawn from the C generator, seeded here from the tick count.
void FillFirstQuestionMarkRun(std::wstring& path);
// "/" to "\" and any run of backslashes to one.
void CleanSeparators(std::wstring& path);

// Expands environment references in text; fails when the text or the result
// needs 260 characters or more (terminator included). An undefined variable
// stays as its literal reference.
bool ExpandEnvVar(const wchar_t* text, std::wstring& out);

// ---- Special folders and system libraries -----------------------------------

// The 32-bit system folder and the Windows folder, queried once and cached for
// the process (an empty answer is not cached, so the next call asks again).
std::wstring GetSystemX86Folder();
std::wstring GetWindowsFolder();
// The system folder of the platform's own architecture. A 32-bit process on a
// 64-bit system sees System32 redirected to the 32-bit SysWOW64 and reaches the
// native one through the Windows folder's "Sysnative" alias. Empty when unknown.
std::wstring GetNativeSystemFolder();

// Loads a library preferring the system folders over the normal search; the
// caller owns the returned handle (FreeLibrary). nullptr when nothing loads.
HMODULE LoadSystemLibrary(const wchar_t* name);

// ---- Native and device paths -------------------------------------------------

// Turns a native object path ("\??\C:\x", "\SystemRoot\x") into a drive-letter
// path. True when the path is (now) a drive-letter path or was not a native path
// at all; false with the path emptied when it cannot be turned into one.
bool NormalizeNtPath(std::wstring& path);
// The same with a given SystemRoot value (normally the expansion of %SystemRoot%).
bool NormalizeNtPathWith(std::wstring& path, const std::wstring& systemRoot);

// (device name, drive name) such as (L"\\Device\\HarddiskVolume2", L"C:").
using DeviceDrivePair = std::pair<std::wstring, std::wstring>;

// Replaces the leading device name of a device path by its drive; the first pair
// whose device name starts the path (ignoring case) up to a path boundary wins.
// False with the path unchanged when no pair matches.
bool ToDrivePath(const std::vector<DeviceDrivePair>& pairs, std::wstring& path);

// The logical drives and the devices behind them, in the platform's drive order.
class DeviceDriveMap {
public:
    // Reads the drives afresh; false only when the drive list cannot be read.
    bool Build();
    bool ToDrivePath(std::wstring& path) const { return removal::ToDrivePath(pairs_, path); }
    const std::vector<DeviceDrivePair>& pairs() const { return pairs_; }
    void Clear() { pairs_.clear(); }

private:
    std::vector<DeviceDrivePair> pairs_;
};

// The process-wide map, built on first use; a failed build is not retried.
const DeviceDriveMap& SharedDeviceDriveMap();

}  // namespace removal
