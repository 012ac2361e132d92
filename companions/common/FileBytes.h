// Whole-file reading and writing for the companion tools.
#pragma once

#include <windows.h>

#include <string>

#include "base/unique_any.h"

namespace companion {

inline bool ReadAllBytes(const wchar_t* path, std::string& out) {
    base::unique_hfile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char buffer[64 * 1024];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) out.append(buffer, read);
    return true;
}

inline bool WriteAllBytes(const wchar_t* path, const std::string& bytes) {
    base::unique_hfile file(
        ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace companion
