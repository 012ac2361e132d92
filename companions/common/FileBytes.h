// Whole-file reading and writing for the companion tools.
#pragma once

#include <windows.h>

#include <cstdio>
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

// The writer tools' whole program: "<tool> <input> <output>", the output being
// the input's bytes passed through `encode`. Exit codes: 0 done, 1 failed, 2 usage.
template <typename Encode>
int RunWriter(int argc, wchar_t** argv, const char* usage, Encode encode) {
    constexpr int kExitOk = 0;
    constexpr int kExitFailed = 1;
    constexpr int kExitUsage = 2;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s\n", usage);
        return kExitUsage;
    }
    std::string input;
    if (!ReadAllBytes(argv[1], input)) {
        std::fprintf(stderr, "cannot read the input file\n");
        return kExitFailed;
    }
    if (!WriteAllBytes(argv[2], encode(input))) {
        std::fprintf(stderr, "cannot write the output file\n");
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace companion
