#include "removal/Paths.h"

namespace removal {

std::wstring GetModulePath(HMODULE module) {
    wchar_t buffer[kMaxPathChars] = {};
    const DWORD length = ::GetModuleFileNameW(module, buffer, static_cast<DWORD>(kMaxPathChars));
    if (length == 0 || length >= kMaxPathChars) return {};
    return std::wstring(buffer, length);
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

}  // namespace removal
