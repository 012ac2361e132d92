// A sample installation laid down by lumenox_setup.exe for a test, and always
// taken away again (service, processes, keys, shortcuts, files) when the test
// ends, also when it fails.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "support/TestSupport.h"

namespace testing_support {

struct CapturedRun {
    bool started = false;
    bool finished = false;
    DWORD exitCode = 0;
    std::string output;  // standard output, carriage returns dropped
};
// Runs a program with its standard output captured; a process still running
// after timeoutMs is terminated.
CapturedRun RunCaptured(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs = 60000);

class SampleInstallation {
public:
    // options: the installer's options after the directory, e.g. L"--tiny --no-service";
    // dirName: the installation directory below a fresh parent, e.g. L"Lumenox" or L"a\\lumenox b".
    explicit SampleInstallation(const std::wstring& options, const std::wstring& dirName = L"Lumenox");
    ~SampleInstallation();
    SampleInstallation(const SampleInstallation&) = delete;
    SampleInstallation& operator=(const SampleInstallation&) = delete;

    bool installed() const { return install_.started && install_.finished && install_.exitCode == 0; }
    const std::string& installOutput() const { return install_.output; }
    // The installation directory, with a trailing backslash.
    const std::wstring& dir() const { return dir_; }
    // The parent directory, where the decoys and the installer's record lie.
    const std::wstring& parent() const { return root_.path(); }

    // "--inventory" as name/value pairs.
    std::map<std::string, std::string> Inventory() const;
    CapturedRun CheckRemoved() const;
    // "--cleanup"; true when it reported success.
    bool Cleanup();

private:
    CapturedRun Setup(const std::wstring& arguments) const;
    // The directory without its trailing backslash, quoted for a command line.
    std::wstring Quoted() const;

    TempDir root_;
    std::wstring dir_;
    CapturedRun install_;
    bool cleaned_ = false;
};

}  // namespace testing_support
