// A helper process started by a test and always ended with it.
#pragma once

#include <windows.h>

#include <string>

#include "base/unique_any.h"

namespace testing_support {

class ChildProcess {
public:
    ChildProcess() = default;
    // Starts program with arguments (program quoted on the command line),
    // with TEMP and TMP set to tempDir when that is not empty.
    ChildProcess(const std::wstring& program, const std::wstring& arguments, const std::wstring& tempDir = L"");
    ~ChildProcess();
    ChildProcess(ChildProcess&&) = default;
    ChildProcess& operator=(ChildProcess&& other) noexcept;

    bool started() const { return process_.valid(); }
    DWORD id() const { return id_; }
    HANDLE handle() const { return process_.get(); }
    // True when the process has ended within timeoutMs.
    bool WaitExit(DWORD timeoutMs) const;
    bool Running() const { return started() && !WaitExit(0); }
    // Ends the process (exit code 1) and waits for it.
    void Terminate();

private:
    base::unique_handle process_;
    DWORD id_ = 0;
};

// Copies sleeper.exe from binDir (default: the test's own build, BinDir()) to
// dir\name (dir is created if missing), starts it with arguments (default: sleep
// 60 s) plus "--log dir\name.log" and waits until it is up. The child is not
// started() when that fails.
ChildProcess StartSleeperCopy(const std::wstring& dir, const std::wstring& name,
                              const std::wstring& arguments = L"--ms 60000", const std::wstring& binDir = L"");

// Waits until a file has at least one line; false after timeoutMs.
bool WaitForLine(const std::wstring& path, DWORD timeoutMs);

}  // namespace testing_support
