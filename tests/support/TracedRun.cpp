#include "support/TracedRun.h"

#include <cwchar>

#include "base/text.h"
#include "base/unique_any.h"
#include "support/TestSupport.h"

namespace testing_support {

namespace {

constexpr DWORD kEventPollMs = 100;
constexpr SIZE_T kMaxTraceBytes = 4096;

bool IsTempVariable(const std::wstring& entry) {
    const std::wstring name = base::ToLowerInvariant(entry.substr(0, entry.find(L'=')));
    return name == L"temp" || name == L"tmp";
}

}  // namespace

std::vector<wchar_t> EnvironmentWithTemp(const std::wstring& tempDir) {
    std::vector<wchar_t> block;
    wchar_t* strings = ::GetEnvironmentStringsW();
    for (const wchar_t* p = strings; p != nullptr && *p != L'\0'; p += std::wcslen(p) + 1) {
        const std::wstring entry = p;
        if (IsTempVariable(entry)) continue;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    if (strings != nullptr) ::FreeEnvironmentStringsW(strings);
    std::wstring dir = tempDir;
    while (dir.size() > 3 && dir.back() == L'\\') dir.pop_back();
    for (const wchar_t* name : {L"TEMP=", L"TMP="}) {
        const std::wstring entry = name + dir;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

namespace {

std::string ReadTrace(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    const SIZE_T units = info.nDebugStringLength;
    const SIZE_T unitBytes = info.fUnicode ? sizeof(wchar_t) : 1;
    if (units == 0 || units * unitBytes > kMaxTraceBytes) return {};
    std::vector<char> bytes(units * unitBytes);
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, info.lpDebugStringData, bytes.data(), bytes.size(), &read)) return {};
    std::string text = info.fUnicode ? base::WideToUtf8(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                                                                      read / sizeof(wchar_t)))
                                     : std::string(bytes.data(), read);
    while (!text.empty() && (text.back() == '\0' || text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// The file name of a loaded library from its image file handle, lower case.
std::wstring LibraryFileName(HANDLE file) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetFinalPathNameByHandleW(file, path, MAX_PATH, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= MAX_PATH) return {};
    const std::wstring full(path, length);
    return base::ToLowerInvariant(full.substr(full.find_last_of(L'\\') + 1));
}

// Wine's CreateProcessW refuses a program path of 260 characters or more, but
// starts the program by its name from its own directory; the program still
// gets the caller's current directory.
bool StartProgram(const std::wstring& program, std::wstring& line, DWORD flags, std::vector<wchar_t>& environment,
                  STARTUPINFOW& si, PROCESS_INFORMATION& pi) {
    void* const block = environment.empty() ? nullptr : environment.data();
    const size_t cut = program.find_last_of(L'\\');
    if (program.size() < MAX_PATH || cut == std::wstring::npos) {
        return ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, flags, block, nullptr, &si,
                                &pi) != FALSE;
    }
    std::wstring previous(::GetCurrentDirectoryW(0, nullptr), L'\0');
    ::GetCurrentDirectoryW(static_cast<DWORD>(previous.size()), previous.data());
    previous.resize(std::wcslen(previous.c_str()));
    if (!::SetCurrentDirectoryW(program.substr(0, cut + 1).c_str())) return false;
    const bool started = ::CreateProcessW(program.substr(cut + 1).c_str(), line.data(), nullptr, nullptr, FALSE, flags,
                                          block, previous.c_str(), &si, &pi) != FALSE;
    ::SetCurrentDirectoryW(previous.c_str());
    return started;
}

}  // namespace

TracedRun RunTraced(const std::wstring& program, const std::wstring& arguments, const std::wstring& tempDir,
                    const TraceObserver& observer, DWORD timeoutMs) {
    TracedRun run;
    std::wstring line = CommandLine(program, arguments);
    std::vector<wchar_t> environment;
    if (!tempDir.empty()) environment = EnvironmentWithTemp(tempDir);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    const DWORD flags = DEBUG_ONLY_THIS_PROCESS | CREATE_UNICODE_ENVIRONMENT;
    const DWORD start = ::GetTickCount();
    if (!StartProgram(program, line, flags, environment, si, pi)) return run;
    base::unique_handle process(pi.hProcess);
    base::unique_handle thread(pi.hThread);
    run.started = true;

    bool exited = false;
    while (!exited) {
        if (::GetTickCount() - start > timeoutMs) break;
        DEBUG_EVENT event = {};
        if (!::WaitForDebugEvent(&event, kEventPollMs)) continue;
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            // The image handle would keep the program's file open after it ends.
            if (event.u.CreateProcessInfo.hFile != nullptr) ::CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile != nullptr) {
                const std::wstring name = LibraryFileName(event.u.LoadDll.hFile);
                if (!name.empty()) run.libraries.push_back(name);
                ::CloseHandle(event.u.LoadDll.hFile);
            }
            break;
        case OUTPUT_DEBUG_STRING_EVENT: {
            const std::string trace = ReadTrace(process.get(), event.u.DebugString);
            run.traces.push_back(trace);
            if (observer) observer(trace);
            break;
        }
        case EXCEPTION_DEBUG_EVENT:
            // Only the initial breakpoint is ours; the program handles the rest itself.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                status = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            exited = true;
            run.exitCode = event.u.ExitProcess.dwExitCode;
            break;
        default:
            break;
        }
        ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    if (exited) {
        ::WaitForSingleObject(process.get(), timeoutMs);
        run.finished = true;
    } else {
        ::TerminateProcess(process.get(), 1);
        ::DebugActiveProcessStop(pi.dwProcessId);
        ::WaitForSingleObject(process.get(), INFINITE);
    }
    return run;
}

}  // namespace testing_support
