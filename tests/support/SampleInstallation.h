// A sample installation laid down by lumenox_setup.exe for a test, and always
// taken away again (service, processes, keys, shortcuts, files) when the test
// ends, also when it fails.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "support/TestSupport.h"

namespace testing_support {

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
    ProcessResult CheckRemoved() const;
    // "--cleanup"; true when it reported success.
    bool Cleanup();

private:
    // lumenox_setup.exe COMMAND "DIR" OPTIONS; the command "" installs.
    ProcessResult Setup(const std::wstring& command, const std::wstring& options = L"") const;

    TempDir root_;
    std::wstring dir_;
    ProcessResult install_;
    bool cleaned_ = false;
};

}  // namespace testing_support
