// Runs a program as its debugger, so that a test sees every debug string the
// program writes (OutputDebugString) at the moment it is written: the program
// waits while the test's observer looks at the world.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

struct TracedRun {
    bool started = false;
    bool finished = false;  // exited within the time limit
    DWORD exitCode = 0;
    std::vector<std::string> traces;  // the debug strings in order, line ends dropped
    std::vector<std::wstring> libraries;  // file names of the libraries it loaded, lower case, in order
};

// The own environment with TEMP and TMP set to `tempDir`; double-zero terminated.
std::vector<wchar_t> EnvironmentWithTemp(const std::wstring& tempDir);

// Called for each debug string while the program is stopped.
using TraceObserver = std::function<void(const std::string& trace)>;

// Starts `program` with `arguments` (program quoted on the command line), its
// variables TEMP and TMP set to `tempDir` when that is not empty, and collects
// its debug strings until it exits. A program still running after timeoutMs is
// terminated. Processes the program starts are not debugged.
TracedRun RunTraced(const std::wstring& program, const std::wstring& arguments, const std::wstring& tempDir,
                    const TraceObserver& observer, DWORD timeoutMs = 60000);

}  // namespace testing_support
