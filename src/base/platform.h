// Small platform questions that every layer asks: module paths, whether a file
// is there, shell folders, registry values and root names, and starting a
// process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/unique_any.h"

namespace base {

constexpr size_t kMaxPathChars = MAX_PATH;  // 260, the platform's classic path limit
constexpr size_t kMaxLongPathChars = 32768;  // the platform's limit for paths in the "\\?\" form

// The text of a "fill this buffer" call that answers the length it wrote, or
// the capacity it needs (terminator included) when the buffer is too small;
// 0 means failure. The buffer grows from kMaxPathChars up to
// kMaxLongPathChars; empty when the call fails or never fits.
template <typename Fill>
std::wstring FilledBufferText(Fill fill) {
    for (size_t capacity = kMaxPathChars; capacity <= kMaxLongPathChars;) {
        std::wstring buffer(capacity, L'\0');
        const size_t length = fill(buffer.data(), static_cast<DWORD>(capacity));
        if (length == 0) return {};
        if (length < capacity) return buffer.substr(0, length);
        capacity = length > capacity * 2 ? length : capacity * 2;
    }
    return {};
}

// Full path of a module as the platform reports it, also beyond 260
// characters; the running executable for nullptr. Empty when the platform
// cannot report it.
std::wstring GetModulePath(HMODULE module = nullptr);
// Module path up to and including its last backslash (else last slash, else empty).
std::wstring GetModuleDirectory(HMODULE module = nullptr);
// Appends "\" unless the path is empty or already ends in "\" or "/".
void EnsureTrailingSeparator(std::wstring& path);
// Directory of the running executable, always ending in a separator.
std::wstring GetExeDirectoryWithSeparator();

// Present: attributes readable and not a directory.
bool FileIsPresent(const std::wstring& path);
bool DirectoryIsPresent(const std::wstring& path);
// Deletes a file, or a directory with everything below it, right away (the
// read-only flag is cleared first); a link is deleted, never entered. True
// when the last deletion succeeded or nothing was there.
bool RemoveTree(const std::wstring& path);

// A shell folder by its CSIDL (CSIDL_FLAG_CREATE may be added), its current
// path or, with the flags, the one SHGetFolderPath's flags ask for; empty when
// the platform cannot tell.
std::wstring ShellFolderPath(int csidl);
std::wstring ShellFolderPath(int csidl, DWORD flags);

// A REG_DWORD value of an open key; false when absent or of another type or
// size. With anyType, any value of exactly four bytes counts.
bool ReadRegistryDword(HKEY key, const wchar_t* name, uint32_t& out, bool anyType = false);
// A plain or expandable string value, not expanded, of at most maxBytes bytes
// as stored; false when absent, longer or of another type.
bool ReadRegistryString(HKEY key, const wchar_t* name, DWORD maxBytes, std::wstring& out);

// "HKEY_LOCAL_MACHINE", "HKLM", ... to the root key; nullptr for anything
// else. Case counts unless ignoreCase.
HKEY ParseRootKeyName(std::wstring_view name, bool ignoreCase = true);

// How StartProcess starts a program.
struct ProcessStart {
    const wchar_t* application = nullptr;  // nullptr: the command line's first token, searched
    HANDLE userToken = nullptr;            // nullptr: the own user
    DWORD creationFlags = 0;
    void* environment = nullptr;
    wchar_t* desktop = nullptr;
    WORD show = SW_SHOWDEFAULT;
};
// Starts the program; the process handle, null when it did not start.
unique_handle StartProcess(std::wstring commandLine, const ProcessStart& how);

}  // namespace base
