#include "support/ChildProcess.h"

#include "support/TestSupport.h"
#include "support/TracedRun.h"

#include <utility>

namespace testing_support {

namespace {
constexpr DWORD kTerminateWaitMs = 5000;
constexpr DWORD kReadyWaitMs = 10000;
}  // namespace

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& arguments, const std::wstring& tempDir) {
    std::wstring line = CommandLine(program, arguments);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> environment;
    if (!tempDir.empty()) environment = EnvironmentWithTemp(tempDir);
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                          environment.empty() ? nullptr : environment.data(), nullptr, &si, &pi)) {
        return;
    }
    process_.reset(pi.hProcess);
    base::unique_handle thread(pi.hThread);
    id_ = pi.dwProcessId;
}

ChildProcess::~ChildProcess() { Terminate(); }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Terminate();
        process_ = std::move(other.process_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

bool ChildProcess::WaitExit(DWORD timeoutMs) const {
    return !started() || ::WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
}

void ChildProcess::Terminate() {
    if (!started()) return;
    if (!WaitExit(0)) {
        ::TerminateProcess(process_.get(), 1);
        WaitExit(kTerminateWaitMs);
    }
}

ChildProcess StartSleeperCopy(const std::wstring& dir, const std::wstring& name, const std::wstring& arguments,
                              const std::wstring& binDir) {
    std::wstring folder = dir;
    if (!folder.empty() && folder.back() != L'\\') folder.push_back(L'\\');
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring target = folder + name;
    const std::wstring source = (binDir.empty() ? BinDir() : binDir) + L"sleeper.exe";
    if (!::CopyFileW(source.c_str(), target.c_str(), FALSE)) return {};
    // The log line shows the helper is up: its loader has run and its module list is readable.
    const std::wstring log = target + L".log";
    ::DeleteFileW(log.c_str());
    ChildProcess child(target, arguments + L" --log \"" + log + L"\"");
    if (child.started() && !WaitForLine(log, kReadyWaitMs)) child = ChildProcess();
    return child;
}

bool WaitForLine(const std::wstring& path, DWORD timeoutMs) {
    return WaitUntil([&] { return !ReadLines(path).empty(); }, timeoutMs);
}

}  // namespace testing_support
