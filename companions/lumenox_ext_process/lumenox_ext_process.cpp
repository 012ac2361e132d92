// Stand-in for the shell-extension processes lumenox_ext_process.exe and
// lumenox_ext_process64.exe: appends its arguments (the command line after the
// program name, e.g. "/ext:0") as one UTF-8 line to "ext_process.log" in its own
// directory and exits 0.
#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kLogName[] = L"ext_process.log";

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

}  // namespace

int wmain() {
    wchar_t self[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self, n);
    dir.erase(dir.find_last_of(L"\\/") + 1);
    const std::wstring args = ArgumentsOf(::GetCommandLineW());
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, args.data(), static_cast<int>(args.size()), nullptr, 0, nullptr, nullptr);
    std::string line(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, args.data(), static_cast<int>(args.size()), line.data(), size, nullptr, nullptr);
    line += "\r\n";
    HANDLE file = ::CreateFileW((dir + kLogName).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    return 0;
}
