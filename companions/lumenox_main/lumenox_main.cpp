// Stand-in for the viewer's main program: appends its arguments (the command
// line after the program name, e.g. "/setdefault:0") as one UTF-8 line to
// "lumenox_main.log" in its own directory and exits 0.
//
// When "lumenox_main_probe.txt" lies beside it, holding a key path below
// HKEY_LOCAL_MACHINE (UTF-8, first line), a second line follows: "probe:present"
// or "probe:absent", whether that key exists at the moment the program runs.
#include <windows.h>

#include <fstream>
#include <string>

#include "base/unique_any.h"

namespace {

constexpr wchar_t kLogName[] = L"lumenox_main.log";
constexpr wchar_t kProbeName[] = L"lumenox_main_probe.txt";

// The command line after the program token, which may be quoted.
std::wstring ArgumentsOf(const wchar_t* line) {
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

std::string ToUtf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

// "probe:present"/"probe:absent" for the key named in the probe file; empty without one.
std::string ProbeLine(const std::wstring& dir) {
    std::ifstream in((dir + kProbeName).c_str(), std::ios::binary);
    std::string key;
    if (!in || !std::getline(in, key)) return {};
    while (!key.empty() && (key.back() == '\r' || key.back() == '\n')) key.pop_back();
    base::unique_hkey opened;
    const bool present = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, FromUtf8(key).c_str(), 0, KEY_READ, opened.put()) ==
                         ERROR_SUCCESS;
    return present ? "probe:present\r\n" : "probe:absent\r\n";
}

}  // namespace

int wmain() {
    wchar_t self[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self, n);
    dir.erase(dir.find_last_of(L"\\/") + 1);
    const std::string text = ToUtf8(ArgumentsOf(::GetCommandLineW())) + "\r\n" + ProbeLine(dir);
    base::unique_hfile file(::CreateFileW((dir + kLogName).c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        DWORD written = 0;
        ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    return 0;
}
