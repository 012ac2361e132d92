// Paths of the running modules.
#pragma once

#include <windows.h>
#include <string>

namespace removal {

constexpr size_t kMaxPathChars = MAX_PATH;  // 260, the platform's classic path limit

// Full path of a module as the platform reports it; the running executable for
// nullptr. Empty when the platform cannot report it.
std::wstring GetModulePath(HMODULE module = nullptr);
// Module path up to and including its last backslash (else last slash, else empty).
std::wstring GetModuleDirectory(HMODULE module = nullptr);
// Appends "\" unless the path is empty or already ends in "\" or "/".
void EnsureTrailingSeparator(std::wstring& path);
// Directory of the running executable, always ending in a separator.
std::wstring GetExeDirectoryWithSeparator();

}  // namespace removal
