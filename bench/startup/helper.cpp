// bench_startup_helper.exe: the start-up benchmark's (bench/startup.sh) helper.
//   clocks      prints "TRACE_MS REALTIME_NS": the clock of Wine's +timestamp
//               trace (the performance counter, in ms) and the wall clock (ns
//               since 1970), read together, so that the script can place a
//               process start it took with `date` on the trace's time line.
//   hold NAME   holds the named four-byte section that marks a running
//               uninstaller until its standard input closes; prints "held"
//               once the section exists.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "base/unique_any.h"

namespace {
constexpr DWORD kSectionBytes = 4;
constexpr double kMillisecondsPerSecond = 1000.0;
constexpr unsigned long long kUnixEpochAsFileTime = 116444736000000000ULL;  // 1970-01-01 in 100 ns units
constexpr unsigned long long kNanosecondsPerFileTimeUnit = 100;

int PrintClocks() {
    LARGE_INTEGER frequency, counter;
    FILETIME now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    ::GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long units = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    std::printf("%.4f %llu\n", static_cast<double>(counter.QuadPart) * kMillisecondsPerSecond / frequency.QuadPart,
                (units - kUnixEpochAsFileTime) * kNanosecondsPerFileTimeUnit);
    return 0;
}

int HoldSection(const wchar_t* name) {
    base::unique_handle section(
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSectionBytes, name));
    if (!section) return 1;
    std::puts("held");
    std::fflush(stdout);
    char buffer[64];
    DWORD read = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    }
    return 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"clocks") == 0) return PrintClocks();
    if (argc == 3 && std::wcscmp(argv[1], L"hold") == 0) return HoldSection(argv[2]);
    std::fputs("usage: bench_startup_helper.exe clocks | hold NAME\n", stderr);
    return 2;
}
