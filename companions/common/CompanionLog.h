// Log lines of the stand-ins: appended, UTF-8, to a file beside the stand-in
// itself, or to the directory named on the first line of "companion_logs.txt"
// beside it. The redirection lets a run keep its logs although the uninstaller
// removes the installation directory with everything in it.
#pragma once

#include <windows.h>

#include <string>

namespace companion {

constexpr wchar_t kLogRedirectFileName[] = L"companion_logs.txt";

// With a trailing separator; also for a directory deeper than 260 characters.
inline std::wstring ModuleDirectory(HMODULE module) {
    constexpr DWORD kLongestPath = 32768;
    std::wstring dir(kLongestPath, L'\0');
    const DWORD n = ::GetModuleFileNameW(module, dir.data(), kLongestPath);
    dir.resize(n < kLongestPath ? n : 0);
    const size_t cut = dir.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : dir.substr(0, cut + 1);
}

inline std::string ToUtf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

inline std::wstring FromUtf8(const std::string& s) {
    if (s.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

// Whole small file as bytes; empty when missing.
inline std::string ReadSmallFile(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    ::CloseHandle(file);
    return bytes;
}

// The log directory for a module: the redirection when present, else its own.
inline std::wstring LogDirectory(HMODULE module) {
    const std::wstring own = ModuleDirectory(module);
    std::string redirect = ReadSmallFile(own + kLogRedirectFileName);
    const size_t end = redirect.find_first_of("\r\n");
    if (end != std::string::npos) redirect.resize(end);
    if (redirect.empty()) return own;
    std::wstring dir = FromUtf8(redirect);
    if (dir.back() != L'\\' && dir.back() != L'/') dir.push_back(L'\\');
    return dir;
}

// Appends bytes as they are, in one write, for stand-ins with a line format of their own.
inline void AppendLogBytes(HMODULE module, const wchar_t* fileName, const std::string& bytes) {
    const std::wstring path = LogDirectory(module) + fileName;
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

inline void AppendLogLine(HMODULE module, const wchar_t* fileName, const std::wstring& text) {
    AppendLogBytes(module, fileName, ToUtf8(text) + "\r\n");
}

// The command line after the program token, which may be quoted.
inline std::wstring ArgumentsOf(const wchar_t* line) {
    const wchar_t* p = line;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

}  // namespace companion
