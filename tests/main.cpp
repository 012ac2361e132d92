// Entry of every test program: GoogleTest runs on a thread of its own, and the
// process ends only after the threads GoogleTest started have ended too.
//
// GoogleTest keeps, on Windows, a watcher thread for every thread that holds a
// per-thread value (a SCOPED_TRACE does), waiting for that thread's end. Run on
// the main thread, the watcher is still waiting when the process exits, and
// Wine's 32-bit loader now and then dies of that exit (SIGSEGV after
// "[  PASSED  ]"). Here the tests' thread ends first: its watchers see that,
// end, and are waited for.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <thread>

#include "base/unique_any.h"

namespace {

constexpr DWORD kWatcherEndMs = 5000;
constexpr THREADINFOCLASS kThreadStartAddress = static_cast<THREADINFOCLASS>(9);  // ThreadQuerySetWin32StartAddress

using QueryThreadFn = NTSTATUS(NTAPI*)(HANDLE, THREADINFOCLASS, PVOID, ULONG, PULONG);

// True when `address` lies in this program's own image: GoogleTest's threads
// start there, the run-time's (std::thread) and the platform's elsewhere.
bool InOwnImage(ULONG_PTR address) {
    const auto base = reinterpret_cast<ULONG_PTR>(::GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return address >= base && address < base + nt->OptionalHeader.SizeOfImage;
}

void WaitForOwnThreads() {
    const auto query = reinterpret_cast<QueryThreadFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    base::unique_hfile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!query || !snapshot) return;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID != ::GetCurrentProcessId() || entry.th32ThreadID == ::GetCurrentThreadId()) continue;
        base::unique_handle thread(::OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
        ULONG_PTR start = 0;
        if (thread && query(thread.get(), kThreadStartAddress, &start, sizeof(start), nullptr) >= 0 &&
            InOwnImage(start)) {
            ::WaitForSingleObject(thread.get(), kWatcherEndMs);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    int result = 1;
    std::thread tests([&] {
        testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    });
    tests.join();
    WaitForOwnThreads();
    return result;
}
