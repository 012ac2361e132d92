#include "base/platform.h"

#include <shlobj.h>

#include <cwchar>

#include "base/text.h"

namespace base {

std::wstring GetModulePath(HMODULE module) {
    // An installation may lie deeper than 260 characters: the buffer grows
    // until the answer fits. A truncated answer is no path at all.
    return FilledBufferText(
        [module](wchar_t* buffer, DWORD capacity) { return ::GetModuleFileNameW(module, buffer, capacity); });
}

std::wstring GetModuleDirectory(HMODULE module) {
    const std::wstring path = GetModulePath(module);
    size_t cut = path.rfind(L'\\');
    if (cut == std::wstring::npos) cut = path.rfind(L'/');
    if (cut == std::wstring::npos) return {};
    return path.substr(0, cut + 1);
}

void EnsureTrailingSeparator(std::wstring& path) {
    if (path.empty()) return;
    const wchar_t last = path.back();
    if (last != L'\\' && last != L'/') path.push_back(L'\\');
}

std::wstring GetExeDirectoryWithSeparator() {
    std::wstring dir = GetModuleDirectory(nullptr);
    EnsureTrailingSeparator(dir);
    return dir;
}

bool FileIsPresent(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryIsPresent(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RemoveTree(const std::wstring& path) {
    std::wstring dir = path;
    while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
    const DWORD attributes = ::GetFileAttributesW(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    ::SetFileAttributesW(dir.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ::DeleteFileW(dir.c_str()) != FALSE;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW entry;
        unique_find find(::FindFirstFileW((dir + L"\\*").c_str(), &entry));
        if (find) {
            do {
                const std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") continue;
                RemoveTree(dir + L"\\" + name);
            } while (::FindNextFileW(find.get(), &entry));
        }
    }
    return ::RemoveDirectoryW(dir.c_str()) != FALSE;
}

std::wstring ShellFolderPath(int csidl) { return ShellFolderPath(csidl, SHGFP_TYPE_CURRENT); }

std::wstring ShellFolderPath(int csidl, DWORD flags) {
    wchar_t buffer[kMaxPathChars] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, flags, buffer))) return {};
    return buffer;
}

bool ReadRegistryDword(HKEY key, const wchar_t* name, uint32_t& out, bool anyType) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        size != sizeof(value) || (!anyType && type != REG_DWORD)) {
        return false;
    }
    out = value;
    return true;
}

bool ReadRegistryString(HKEY key, const wchar_t* name, DWORD maxBytes, std::wstring& out) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return false;
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || bytes > maxBytes) return false;
    // Read as stored and terminated here: the typed read would expand an
    // expandable value, and a stored value need not end in a terminator.
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    value.resize(wcsnlen(value.c_str(), value.size()));
    out = std::move(value);
    return true;
}

namespace {

struct RootName {
    const wchar_t* longName;
    const wchar_t* shortName;
    HKEY root;
};

const RootName kRootNames[] = {
    {L"HKEY_CLASSES_ROOT", L"HKCR", HKEY_CLASSES_ROOT},
    {L"HKEY_CURRENT_USER", L"HKCU", HKEY_CURRENT_USER},
    {L"HKEY_LOCAL_MACHINE", L"HKLM", HKEY_LOCAL_MACHINE},
    {L"HKEY_USERS", L"HKU", HKEY_USERS},
    {L"HKEY_CURRENT_CONFIG", L"HKCC", HKEY_CURRENT_CONFIG},
};

}  // namespace

HKEY ParseRootKeyName(std::wstring_view name, bool ignoreCase) {
    const auto same = [&](const wchar_t* text) { return ignoreCase ? EqualsNoCase(name, text) : name == text; };
    for (const RootName& row : kRootNames) {
        if (same(row.longName) || same(row.shortName)) return row.root;
    }
    return nullptr;
}

unique_handle StartProcess(std::wstring commandLine, const ProcessStart& how) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = how.show;
    startup.lpDesktop = how.desktop;
    PROCESS_INFORMATION info = {};
    const BOOL started =
        how.userToken ? ::CreateProcessAsUserW(how.userToken, how.application, commandLine.data(), nullptr, nullptr,
                                               FALSE, how.creationFlags, how.environment, nullptr, &startup, &info)
                      : ::CreateProcessW(how.application, commandLine.data(), nullptr, nullptr, FALSE,
                                         how.creationFlags, how.environment, nullptr, &startup, &info);
    if (!started) return unique_handle();
    unique_handle thread(info.hThread);
    return unique_handle(info.hProcess);
}

}  // namespace base
