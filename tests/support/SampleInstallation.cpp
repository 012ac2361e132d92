#include "support/SampleInstallation.h"

#include <sstream>

namespace testing_support {

namespace {
constexpr DWORD kSetupTimeoutMs = 90000;
}  // namespace

SampleInstallation::SampleInstallation(const std::wstring& options, const std::wstring& dirName)
    : root_(L"sample"), dir_(root_.path() + dirName + L"\\") {
    // The installer makes the directory itself, not the folders above it; one
    // at a time, so that paths beyond MAX_PATH work too.
    for (size_t end = dirName.find(L'\\'); end != std::wstring::npos; end = dirName.find(L'\\', end + 1)) {
        ::CreateDirectoryW((root_.path() + dirName.substr(0, end)).c_str(), nullptr);
    }
    install_ = Setup(L"", options);
}

SampleInstallation::~SampleInstallation() {
    if (!cleaned_) Cleanup();
}

ProcessResult SampleInstallation::Setup(const std::wstring& command, const std::wstring& options) const {
    const std::wstring quoted = L"\"" + dir_.substr(0, dir_.size() - 1) + L"\"";
    return RunProcess(BinDir() + L"lumenox_setup.exe", command + L" " + quoted + L" " + options, kSetupTimeoutMs);
}

std::map<std::string, std::string> SampleInstallation::Inventory() const {
    std::map<std::string, std::string> fields;
    std::istringstream lines(Setup(L"--inventory").output);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) fields[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return fields;
}

ProcessResult SampleInstallation::CheckRemoved() const { return Setup(L"--check-removed"); }

bool SampleInstallation::Cleanup() {
    cleaned_ = true;
    const ProcessResult run = Setup(L"--cleanup");
    return run.finished && run.exitCode == 0;
}

}  // namespace testing_support
