// Finding running processes by the path of their image and ending them, plus
// small questions about processes and the platform.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "removal/Paths.h"

namespace removal {

constexpr HRESULT kKillResultTerminated = 0;                               // at least one process ended
constexpr HRESULT kKillResultNoneTerminated = static_cast<HRESULT>(0x80004005);  // E_FAIL
constexpr HRESULT kKillResultNoPath = static_cast<HRESULT>(0x80070057);         // E_INVALIDARG

constexpr int kKillUnderDirNoPath = -1;
constexpr int kKillUnderDirNoSnapshot = -2;
constexpr int kKillUnderDirNoFirstEntry = -3;

constexpr DWORD kNoParentProcess = 0xFFFFFFFF;

// Image paths of running processes as drive-letter paths. Lives for one
// search; holds its own device map, built on creation.
class ProcessPathResolver {
public:
    ProcessPathResolver();
    ~ProcessPathResolver();
    ProcessPathResolver(const ProcessPathResolver&) = delete;
    ProcessPathResolver& operator=(const ProcessPathResolver&) = delete;

    // Appends the ids of all processes (at most 1024); false when they cannot be read.
    bool EnumerateProcessIds(std::vector<DWORD>& ids) const;
    std::wstring GetImagePathById(DWORD pid) const;
    // Image file name through the device map; a device not in the map stays a device path.
    std::wstring GetImagePathOfHandle(HANDLE process) const;
    // Main module's file name; empty unless it is (or normalises to) a drive-letter path.
    std::wstring GetModulePathOfHandle(HANDLE process) const;

private:
    DeviceDriveMap map_;
};

// Enables SeDebugPrivilege in the own token; true when the adjustment call succeeded.
bool EnableDebugPrivilege();
// Opens with the terminate right only and ends the process with exit code 0;
// false for the own process, which is never ended.
bool TerminateProcessById(DWORD pid);
// Ends every process whose image is the given file (ignoring case), never the own process.
HRESULT KillProcessesByPath(const std::wstring& path);
// Image paths of the processes running now (those whose path can be read).
std::vector<std::wstring> RunningImagePaths();
// Ends every process whose image lies below dir (a prefix ignoring case, so dir
// should end in a backslash); never the own process nor ids 0 and 4. Answers the
// number ended or one of the kKillUnderDir* codes.
int KillProcessesUnderDirectory(const std::wstring& dir);
// The id of the process that created pid, or kNoParentProcess.
DWORD GetParentProcessId(DWORD pid);
// Image path of a process as a drive-letter path; empty when not available.
std::wstring GetProcessPathById(DWORD pid);

// ---- Platform version --------------------------------------------------------

enum OsVersionClass {
    kOsUnknown = 0,
    kOsWin9x = 1,
    kOsWinMe = 2,
    kOsWin2000 = 3,
    kOsWinNt4 = 4,
    kOsWinXp64OrServer2003 = 5,
    kOsWinXp = 6,
    kOsVista = 7,
    kOsWin7 = 8,
    kOsServer2008 = 9,
    kOsWin8 = 10,
    kOsWin81 = 11,
    kOsWin10 = 12,
    kOsWin11 = 13,
};

// What the version queries answered; the classification is a pure function of it.
struct OsVersionFacts {
    bool queried = false;  // false when both version queries failed
    DWORD platformId = 0;  // VER_PLATFORM_WIN32_*
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;       // 9x: major and minor in the upper 16 bits
    bool workstation = true;
    // True numbers for 6.2 and later (the standard query stops at 6.2).
    DWORD trueMajor = 0;
    DWORD trueMinor = 0;
    DWORD trueBuild = 0;
};

int ClassifyOsVersion(const OsVersionFacts& facts);
// The platform's class, cached once known (an unknown answer is asked again).
int GetOsVersionClass();
// True when the platform's native architecture is 64-bit (asked once).
bool IsNativeSystem64();
// True when this is a 32-bit process on a 64-bit platform (WoW64); asked once,
// false when the platform's query fails.
bool IsOwnProcessWow64();
// Major and minor version from the file version of the kernel image in the
// native system folder; the version query's fallback when ntdll cannot tell.
bool ReadKernelImageVersion(DWORD& major, DWORD& minor);

}  // namespace removal
