// Test helper that stays alive, optionally holding a library or a file.
//
//   sleeper.exe [--ms N] [--load <dll path>] [--hold <file path>] [--log <file>] [--crash stack]
//
// --load maps the library with LoadLibrary and keeps it; --hold opens an existing
// file without FILE_SHARE_DELETE and keeps it open (neither deletable nor
// renamable); --log appends the full command line, UTF-8, as one line. The log
// line is written once the library is loaded and the file held, so a test can
// wait for it. Then the helper sleeps N ms (default 60000) and exits 0.
// A library or file that cannot be taken ends the helper at once with code 2
// and no log line. With --crash stack it dies of a stack overflow instead of
// sleeping.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr DWORD kDefaultSleepMs = 60000;
constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitCannotHold = 2;
constexpr wchar_t kCrashStack[] = L"stack";
constexpr size_t kOverflowFrameBytes = 64;

// Read at run time, so that the compiler cannot tell the recursion never ends.
volatile unsigned long long gOverflowLimit = ~0ull;

// Each call keeps a frame the compiler may neither drop nor reuse.
unsigned Overflow(unsigned long long depth) {
    volatile char frame[kOverflowFrameBytes];
    frame[depth % kOverflowFrameBytes] = static_cast<char>(depth);
    if (depth >= gOverflowLimit) return 0;
    return Overflow(depth + 1) + static_cast<unsigned char>(frame[depth % kOverflowFrameBytes]);
}

std::string ToUtf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void AppendLine(const std::wstring& path, const std::wstring& text) {
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string line = ToUtf8(text) + "\r\n";
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    DWORD sleepMs = kDefaultSleepMs;
    std::wstring load, hold, log, crash;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (i + 1 >= argc) return kExitUsage;
        const std::wstring value = argv[++i];
        if (arg == L"--ms") {
            sleepMs = static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10));
        } else if (arg == L"--load") {
            load = value;
        } else if (arg == L"--hold") {
            hold = value;
        } else if (arg == L"--log") {
            log = value;
        } else if (arg == L"--crash" && value == kCrashStack) {
            crash = value;
        } else {
            return kExitUsage;
        }
    }
    // Both stay held until the process ends.
    if (!load.empty() && ::LoadLibraryW(load.c_str()) == nullptr) return kExitCannotHold;
    if (!hold.empty()) {
        HANDLE file = ::CreateFileW(hold.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return kExitCannotHold;
    }
    if (!log.empty()) AppendLine(log, ::GetCommandLineW());
    if (!crash.empty()) return static_cast<int>(Overflow(0));
    ::Sleep(sleepMs);
    return kExitOk;
}
