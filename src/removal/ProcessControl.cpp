#include "removal/ProcessControl.h"

#include <psapi.h>
#include <tlhelp32.h>

#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"

namespace removal {

namespace {

constexpr DWORD kMaxProcessIds = 1024;  // a 4096-byte id buffer
constexpr DWORD kIdleProcessId = 0;
constexpr DWORD kSystemProcessId = 4;
constexpr UINT kTerminatedExitCode = 0;
constexpr DWORD kAdjustAndQueryToken = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;  // 0x28
constexpr DWORD kQueryInformation = PROCESS_QUERY_INFORMATION;                  // 0x400
constexpr DWORD kQueryLimited = PROCESS_QUERY_LIMITED_INFORMATION;              // 0x1000
constexpr DWORD kQueryAndRead = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;    // 0x410

constexpr wchar_t kNtLibrary[] = L"ntdll.dll";
constexpr char kNtQueryInformationProcessEntry[] = "NtQueryInformationProcess";
constexpr char kRtlGetNtVersionNumbersEntry[] = "RtlGetNtVersionNumbers";
constexpr wchar_t kKernelImage[] = L"ntoskrnl.exe";

constexpr DWORD kWinMeBuildHigh = 0x045A;  // 4.90 in the 9x build number's upper word
constexpr DWORD kWin11FirstBuild = 21996;
constexpr DWORD kBuildNumberMask = 0xFFFF;

// The basic-information record of the native process query, in its native layout
// (24 bytes in a 32-bit process, 48 in a 64-bit one).
struct ProcessBasicInformation {
    LONG exitStatus;
    PVOID pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR inheritedFromUniqueProcessId;
};
constexpr ULONG kProcessBasicInformationClass = 0;

HMODULE SystemModule(const wchar_t* name) { return ::GetModuleHandleW(name); }

template <typename Fn>
Fn EntryPoint(const wchar_t* module, const char* name) {
    HMODULE handle = SystemModule(module);
    return handle ? reinterpret_cast<Fn>(::GetProcAddress(handle, name)) : nullptr;
}

std::wstring ImageFileName(HANDLE process) {
    wchar_t buffer[base::kMaxPathChars] = {};
    const DWORD length = ::GetProcessImageFileNameW(process, buffer, static_cast<DWORD>(base::kMaxPathChars));
    if (length == 0 || length >= base::kMaxPathChars) return {};
    return std::wstring(buffer, length);
}

std::wstring MainModuleFileName(HANDLE process) {
    wchar_t buffer[base::kMaxPathChars] = {};
    const DWORD length = ::GetModuleFileNameExW(process, nullptr, buffer, static_cast<DWORD>(base::kMaxPathChars));
    if (length == 0 || length >= base::kMaxPathChars) return {};
    return std::wstring(buffer, length);
}

bool ReadTrueVersion(DWORD& major, DWORD& minor, DWORD& build) {
    using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
    if (auto numbers = EntryPoint<RtlGetNtVersionNumbersFn>(kNtLibrary, kRtlGetNtVersionNumbersEntry)) {
        numbers(&major, &minor, &build);
        build &= kBuildNumberMask;  // the upper bits flag checked builds
        return true;
    }
    // No native entry point: the kernel image's file version tells major and minor.
    build = 0;
    return ReadKernelImageVersion(major, minor);
}

OsVersionFacts QueryOsVersionFacts() {
    OsVersionFacts facts;
    OSVERSIONINFOEXW extended = {};
    extended.dwOSVersionInfoSize = sizeof(extended);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&extended))) {
        facts.queried = true;
        facts.workstation = extended.wProductType == VER_NT_WORKSTATION;
    } else {
        OSVERSIONINFOW basic = {};
        basic.dwOSVersionInfoSize = sizeof(basic);
        if (::GetVersionExW(&basic)) {
            facts.queried = true;
            // The basic record carries no product type.
            facts.workstation = false;
            extended.dwPlatformId = basic.dwPlatformId;
            extended.dwMajorVersion = basic.dwMajorVersion;
            extended.dwMinorVersion = basic.dwMinorVersion;
            extended.dwBuildNumber = basic.dwBuildNumber;
        }
    }
#pragma GCC diagnostic pop
    if (!facts.queried) return facts;
    facts.platformId = extended.dwPlatformId;
    facts.major = extended.dwMajorVersion;
    facts.minor = extended.dwMinorVersion;
    facts.build = extended.dwBuildNumber;
    const bool laterThan61 = facts.major > 6 || (facts.major == 6 && facts.minor >= 2);
    if (facts.platformId == VER_PLATFORM_WIN32_NT && laterThan61 && facts.workstation) {
        ReadTrueVersion(facts.trueMajor, facts.trueMinor, facts.trueBuild);
    }
    return facts;
}

int RefineLaterVersion(const OsVersionFacts& facts) {
    if (facts.trueMajor == 6) {
        if (facts.trueMinor == 2) return kOsWin8;
        if (facts.trueMinor == 3) return kOsWin81;
        if (facts.trueMinor == 4) return kOsWin10;
    }
    if (facts.trueMajor == 10 && facts.trueMinor == 0) {
        return (facts.trueBuild & kBuildNumberMask) >= kWin11FirstBuild ? kOsWin11 : kOsWin10;
    }
    return kOsWin8;
}

}  // namespace

// ---- ProcessPathResolver -------------------------------------------------------

ProcessPathResolver::ProcessPathResolver() { map_.Build(); }

ProcessPathResolver::~ProcessPathResolver() { map_.Clear(); }

bool ProcessPathResolver::EnumerateProcessIds(std::vector<DWORD>& ids) const {
    EnableDebugPrivilege();  // best effort: without it fewer processes open
    DWORD buffer[kMaxProcessIds] = {};
    DWORD bytes = 0;
    if (!::EnumProcesses(buffer, sizeof(buffer), &bytes)) return false;
    ids.insert(ids.end(), buffer, buffer + bytes / sizeof(DWORD));
    return true;
}

std::wstring ProcessPathResolver::GetImagePathById(DWORD pid) const {
    base::unique_handle process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
    if (!process) process.reset(::OpenProcess(kQueryInformation, FALSE, pid));
    if (!process) return {};
    return GetImagePathOfHandle(process.get());
}

std::wstring ProcessPathResolver::GetImagePathOfHandle(HANDLE process) const {
    std::wstring path = ImageFileName(process);
    if (!path.empty()) map_.ToDrivePath(path);
    return path;
}

std::wstring ProcessPathResolver::GetModulePathOfHandle(HANDLE process) const {
    std::wstring path = MainModuleFileName(process);
    if (!path.empty()) NormalizeNtPath(path);
    return path;
}

// ---- Operations --------------------------------------------------------------------

bool EnableDebugPrivilege() {
    base::unique_handle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), kAdjustAndQueryToken, token.put())) return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &privileges.Privileges[0].Luid)) return false;
    return ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) != FALSE;
}

bool TerminateProcessById(DWORD pid) {
    if (pid == ::GetCurrentProcessId()) return false;  // the rest of the removal would never run
    base::unique_handle process(::OpenProcess(PROCESS_TERMINATE, FALSE, pid));
    if (!process) return false;
    ::TerminateProcess(process.get(), kTerminatedExitCode);
    return true;
}

HRESULT KillProcessesByPath(const std::wstring& path) {
    if (path.empty()) return kKillResultNoPath;
    ProcessPathResolver resolver;
    std::vector<DWORD> ids;
    if (!resolver.EnumerateProcessIds(ids)) return kKillResultNoneTerminated;
    // The running uninstaller is never ended, however a caller spells its path.
    const DWORD self = ::GetCurrentProcessId();
    int terminated = 0;
    for (DWORD pid : ids) {
        if (pid == self) continue;
        const std::wstring image = resolver.GetImagePathById(pid);
        if (!image.empty() && base::EqualsNoCase(image, path) && TerminateProcessById(pid)) ++terminated;
    }
    return terminated > 0 ? kKillResultTerminated : kKillResultNoneTerminated;
}

std::vector<std::wstring> RunningImagePaths() {
    ProcessPathResolver resolver;
    std::vector<DWORD> ids;
    std::vector<std::wstring> paths;
    if (!resolver.EnumerateProcessIds(ids)) return paths;
    for (DWORD pid : ids) {
        std::wstring image = resolver.GetImagePathById(pid);
        if (!image.empty()) paths.push_back(std::move(image));
    }
    return paths;
}

int KillProcessesUnderDirectory(const std::wstring& dir) {
    if (dir.empty()) return kKillUnderDirNoPath;
    base::unique_hfile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return kKillUnderDirNoSnapshot;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    if (!::Process32FirstW(snapshot.get(), &entry)) return kKillUnderDirNoFirstEntry;

    const DWORD self = ::GetCurrentProcessId();
    ProcessPathResolver resolver;
    int terminated = 0;
    do {
        const DWORD pid = entry.th32ProcessID;
        if (pid == self || pid == kIdleProcessId || pid == kSystemProcessId) continue;
        base::unique_handle process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
        if (!process) continue;
        // A 32-bit process cannot read a 64-bit process's modules; the image
        // file name works across both.
        const std::wstring path = IsOwnProcessWow64() ? resolver.GetImagePathOfHandle(process.get())
                                                      : resolver.GetModulePathOfHandle(process.get());
        if (path.empty() || !base::StartsWithNoCase(path, dir)) continue;
        if (::TerminateProcess(process.get(), kTerminatedExitCode) || TerminateProcessById(pid)) ++terminated;
    } while (::Process32NextW(snapshot.get(), &entry));
    return terminated;
}

DWORD GetParentProcessId(DWORD pid) {
    const DWORD access = GetOsVersionClass() < kOsVista ? kQueryInformation : kQueryLimited;
    base::unique_handle process(::OpenProcess(access, FALSE, pid));
    if (!process) return kNoParentProcess;
    using NtQueryInformationProcessFn = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    static const auto query =
        EntryPoint<NtQueryInformationProcessFn>(kNtLibrary, kNtQueryInformationProcessEntry);
    if (query == nullptr) return kNoParentProcess;
    ProcessBasicInformation info = {};
    if (query(process.get(), kProcessBasicInformationClass, &info, sizeof(info), nullptr) != 0) {
        return kNoParentProcess;
    }
    return static_cast<DWORD>(info.inheritedFromUniqueProcessId);
}

std::wstring GetProcessPathById(DWORD pid) {
    std::wstring path;
    if (GetOsVersionClass() < kOsVista) {
        base::unique_handle process(::OpenProcess(kQueryAndRead, FALSE, pid));
        if (!process) return {};
        path = MainModuleFileName(process.get());
    } else {
        base::unique_handle process(::OpenProcess(kQueryLimited, FALSE, pid));
        if (!process) return {};
        path = ImageFileName(process.get());
        if (!path.empty()) SharedDeviceDriveMap().ToDrivePath(path);
    }
    if (path.size() >= base::kMaxPathChars) return {};
    return path;
}

// ---- Platform version ---------------------------------------------------------------

int ClassifyOsVersion(const OsVersionFacts& facts) {
    if (!facts.queried) return kOsUnknown;
    if (facts.platformId == VER_PLATFORM_WIN32_WINDOWS) {
        return HIWORD(facts.build) < kWinMeBuildHigh ? kOsWin9x : kOsWinMe;
    }
    if (facts.platformId != VER_PLATFORM_WIN32_NT) return kOsUnknown;
    if (facts.major <= 4) return kOsWinNt4;
    if (facts.major == 5) {
        switch (facts.minor) {
            case 0: return kOsWin2000;
            case 1: return kOsWinXp;
            case 2: return kOsWinXp64OrServer2003;
            default: return kOsUnknown;
        }
    }
    if (facts.major == 6 && facts.minor == 0) return facts.workstation ? kOsVista : kOsServer2008;
    if (facts.major == 6 && facts.minor == 1) return facts.workstation ? kOsWin7 : kOsServer2008;
    if (!facts.workstation) return kOsUnknown;
    return RefineLaterVersion(facts);
}

int GetOsVersionClass() {
    static int cached = kOsUnknown;
    if (cached == kOsUnknown) cached = ClassifyOsVersion(QueryOsVersionFacts());
    return cached;
}

bool ReadKernelImageVersion(DWORD& major, DWORD& minor) {
    // A 32-bit process's System32 is the 32-bit SysWOW64, which on Windows holds
    // no kernel image.
    std::wstring kernel = GetNativeSystemFolder();
    if (kernel.empty()) return false;
    base::EnsureTrailingSeparator(kernel);
    kernel += kKernelImage;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(kernel.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(kernel.c_str(), 0, size, data.data())) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || info == nullptr) {
        return false;
    }
    major = HIWORD(info->dwFileVersionMS);
    minor = LOWORD(info->dwFileVersionMS);
    return true;
}

bool IsOwnProcessWow64() {
    static const bool wow64 = [] {
        BOOL answer = FALSE;
        return ::IsWow64Process(::GetCurrentProcess(), &answer) && answer;
    }();
    return wow64;
}

bool IsNativeSystem64() {
    static const bool native64 = [] {
        SYSTEM_INFO info = {};
        ::GetNativeSystemInfo(&info);
        switch (info.wProcessorArchitecture) {
            case PROCESSOR_ARCHITECTURE_IA64:
            case PROCESSOR_ARCHITECTURE_AMD64:
            case PROCESSOR_ARCHITECTURE_ALPHA64:
            case PROCESSOR_ARCHITECTURE_ARM64:
                return true;
            default:
                return false;
        }
    }();
    return native64;
}

}  // namespace removal
