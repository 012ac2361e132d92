#include "removal/Paths.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdlib>
#include <cwchar>

#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "removal/ProcessControl.h"

namespace removal {

namespace {

// The name under the Windows folder through which a WoW64 process reaches the native System32.
constexpr wchar_t kNativeSystemAlias[] = L"Sysnative";
constexpr wchar_t kNtPrefix[] = L"\\??\\";
constexpr size_t kNtPrefixChars = 4;
constexpr wchar_t kSystemRootPrefix[] = L"\\SystemRoot\\";
constexpr size_t kSystemRootPrefixChars = 12;
constexpr size_t kSystemRootNameChars = 11;  // "\SystemRoot" without the backslash after it
constexpr wchar_t kSystemRootVariable[] = L"%SystemRoot%";
constexpr unsigned kHexDigits = 16;
// Logical drive strings: 26 drives of "X:\" plus terminator, and the list's own terminator.
constexpr DWORD kDriveStringsChars = 105;
constexpr size_t kDriveEntryChars = 4;
constexpr size_t kDriveNameChars = 2;

// Module path with its last component removed by the platform's rule:
// C:\a\b\x.exe gives C:\a\b, C:\x.exe gives C:\ (the root keeps its backslash).
bool DirectoryOfModule(HMODULE module, std::wstring& value) {
    std::wstring path = base::GetModulePath(module);
    if (path.empty()) return false;
    if (path.size() < base::kMaxPathChars) {
        ::PathRemoveFileSpecW(path.data());
        value = path.c_str();
        return true;
    }
    // The platform's removal works on at most 260 characters; a longer path
    // lies below a directory, so dropping the last component is its rule.
    value = path.substr(0, path.find_last_of(L'\\'));
    return true;
}

bool CurrentModuleDirectory(std::wstring& value) {
    HMODULE self = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&CurrentModuleDirectory), &self)) {
        return false;
    }
    return DirectoryOfModule(self, value);
}

bool FolderOf(UINT (WINAPI* query)(LPWSTR, UINT), std::wstring& value) {
    wchar_t buffer[base::kMaxPathChars] = {};
    const UINT length = query(buffer, static_cast<UINT>(base::kMaxPathChars));
    if (length == 0 || length >= base::kMaxPathChars) return false;
    value.assign(buffer, length);
    return true;
}

void ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with) {
    if (what.empty()) return;
    for (size_t pos = text.find(what); pos != std::wstring::npos; pos = text.find(what, pos + with.size())) {
        text.replace(pos, what.size(), with);
    }
}

std::wstring CachedFolder(std::wstring& cache, int csidl) {
    if (cache.empty()) cache = base::ShellFolderPath(csidl | CSIDL_FLAG_CREATE);
    return cache;
}

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring JoinPath(std::wstring folder, const wchar_t* name) {
    if (folder.empty()) return {};
    if (folder.back() != L'\\') folder.push_back(L'\\');
    return folder + name;
}

// The system folder whose libraries this process can load: the 32-bit one for a
// 32-bit build, the native one for a 64-bit build (SysWOW64 holds 32-bit images).
std::wstring OwnArchitectureSystemFolder() {
#ifdef _WIN64
    static std::wstring cache;
    return CachedFolder(cache, CSIDL_SYSTEM);
#else
    return GetSystemX86Folder();
#endif
}

}  // namespace

const PathMacroEntry kPathMacros[8] = {
    {PathMacro::AllUsersProfile, L"%ALLUSERSPROFILE%"},
    {PathMacro::AppData, L"%APPDATA%"},
    {PathMacro::Temp, L"%TEMP%"},
    {PathMacro::System, L"%SYSTEM%"},
    {PathMacro::Windows, L"%WINDOWS%"},
    {PathMacro::CurModule, L"%CUR_MODULE%"},
    {PathMacro::CurExeModule, L"%CUR_EXE_MODULE%"},
    {PathMacro::CurDir, L"%CUR_DIR%"},
};

bool GetPathMacroValue(PathMacro macro, std::wstring& value) {
    switch (macro) {
        case PathMacro::AllUsersProfile:
        case PathMacro::AppData:
        case PathMacro::Temp:
            for (const auto& entry : kPathMacros) {
                if (entry.macro == macro) return ExpandEnvVar(entry.text, value);
            }
            return false;
        case PathMacro::System:
            return FolderOf(&::GetSystemDirectoryW, value);
        case PathMacro::Windows:
            return FolderOf(&::GetWindowsDirectoryW, value);
        case PathMacro::CurModule:
            return CurrentModuleDirectory(value);
        case PathMacro::CurExeModule:
        case PathMacro::CurDir:
            // %CUR_DIR% is the executable's directory too, not the current directory.
            return DirectoryOfModule(nullptr, value);
    }
    return false;
}

bool ExpandPathMacrosWith(std::wstring& path, const PathMacroValueFn& valueOf) {
    if (path.empty()) return false;
    const PathMacroEntry* found = nullptr;
    for (const auto& entry : kPathMacros) {
        if (path.find(entry.text) != std::wstring::npos) {
            found = &entry;
            break;
        }
    }
    if (found == nullptr) return false;
    std::wstring value;
    if (!valueOf(found->macro, value)) return false;
    ReplaceAll(path, found->text, value);
    FillFirstQuestionMarkRun(path);
    CleanSeparators(path);
    return true;
}

bool ExpandPathMacros(std::wstring& path) { return ExpandPathMacrosWith(path, &GetPathMacroValue); }

void FillFirstQuestionMarkRun(std::wstring& path) {
    size_t pos = path.find(L'?');
    if (pos == std::wstring::npos) return;
    std::srand(::GetTickCount());
    for (; pos < path.size() && path[pos] == L'?'; ++pos) {
        wchar_t digit[2] = {};
        std::swprintf(digit, 2, L"%X", static_cast<unsigned>(std::rand()) % kHexDigits);
        path[pos] = digit[0];
    }
}

void CleanSeparators(std::wstring& path) {
    for (auto& c : path) {
        if (c == L'/') c = L'\\';
    }
    while (path.find(L"\\\\") != std::wstring::npos) ReplaceAll(path, L"\\\\", L"\\");
}

bool ExpandEnvVar(const wchar_t* text, std::wstring& out) {
    if (text == nullptr) return false;
    const DWORD needed = ::ExpandEnvironmentStringsW(text, nullptr, 0);
    if (needed < 1 || needed >= base::kMaxPathChars) return false;
    std::wstring buffer(needed, L'\0');
    const DWORD length = ::ExpandEnvironmentStringsW(text, buffer.data(), needed);
    if (length < 1 || length >= base::kMaxPathChars || length > needed) return false;
    // The reported length counts the terminator.
    out.assign(buffer.c_str(), wcsnlen(buffer.c_str(), base::kMaxPathChars - 1));
    return true;
}

std::wstring GetSystemX86Folder() {
    static std::wstring cache;
    return CachedFolder(cache, CSIDL_SYSTEMX86);
}

std::wstring GetWindowsFolder() {
    static std::wstring cache;
    return CachedFolder(cache, CSIDL_WINDOWS);
}

std::wstring GetNativeSystemFolder() {
    if (IsOwnProcessWow64()) return JoinPath(GetWindowsFolder(), kNativeSystemAlias);
    static std::wstring cache;
    return CachedFolder(cache, CSIDL_SYSTEM);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    if (name == nullptr || *name == L'\0') return nullptr;
    std::wstring candidate;
    if (PathExists(name)) {
        candidate = name;
    } else if (const std::wstring inSystem = JoinPath(OwnArchitectureSystemFolder(), name);
               !inSystem.empty() && PathExists(inSystem)) {
        candidate = inSystem;
    } else if (const std::wstring inWindows = JoinPath(GetWindowsFolder(), name);
               !inWindows.empty() && PathExists(inWindows)) {
        candidate = inWindows;
    }
    if (!candidate.empty()) {
        if (HMODULE module = ::LoadLibraryW(candidate.c_str())) return module;
    }
    return ::LoadLibraryW(name);
}

bool NormalizeNtPathWith(std::wstring& path, const std::wstring& systemRoot) {
    if (path.empty() || path[0] != L'\\') return true;
    if (path.compare(0, kNtPrefixChars, kNtPrefix) == 0) {
        path.erase(0, kNtPrefixChars);
    } else if (path.compare(0, kSystemRootPrefixChars, kSystemRootPrefix) == 0) {
        path.replace(0, kSystemRootNameChars, systemRoot);
    } else {
        path.clear();
        return false;
    }
    if (path.size() > 3 && path[1] == L':') return true;
    path.clear();
    return false;
}

bool NormalizeNtPath(std::wstring& path) {
    if (path.empty() || path[0] != L'\\') return true;
    std::wstring systemRoot;
    if (!ExpandEnvVar(kSystemRootVariable, systemRoot)) systemRoot.clear();
    return NormalizeNtPathWith(path, systemRoot);
}

bool ToDrivePath(const std::vector<DeviceDrivePair>& pairs, std::wstring& path) {
    for (const auto& [device, drive] : pairs) {
        if (device.empty() || !base::StartsWithNoCase(path, device)) continue;
        // \Device\HarddiskVolume1 must not claim \Device\HarddiskVolume10\x.
        if (path.size() > device.size() && path[device.size()] != L'\\') continue;
        path.replace(0, device.size(), drive);
        return true;
    }
    return false;
}

bool DeviceDriveMap::Build() {
    wchar_t drives[kDriveStringsChars + 1] = {};
    const DWORD length = ::GetLogicalDriveStringsW(kDriveStringsChars, drives);
    if (length == 0 || length > kDriveStringsChars) return false;
    pairs_.clear();
    for (size_t entry = 0; entry < length / kDriveEntryChars; ++entry) {
        const std::wstring drive(drives + entry * kDriveEntryChars, kDriveNameChars);
        wchar_t device[base::kMaxPathChars] = {};
        if (::QueryDosDeviceW(drive.c_str(), device, static_cast<DWORD>(base::kMaxPathChars)) != 0) {
            pairs_.emplace_back(device, drive);
        }
    }
    return true;
}

const DeviceDriveMap& SharedDeviceDriveMap() {
    static DeviceDriveMap map;
    static const bool built = map.Build();  // remembered: a failed build is not retried
    (void)built;
    return map;
}

}  // namespace removal
