#include "support/SampleInstallation.h"

#include <shlobj.h>

#include "base/unique_any.h"

namespace testing_support {

namespace {
constexpr DWORD kSetupTimeoutMs = 90000;
constexpr DWORD kReadChunk = 4096;
}  // namespace

CapturedRun RunCaptured(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs) {
    CapturedRun result;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    base::unique_handle reader(readEnd);
    base::unique_handle writer(writeEnd);
    ::SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);
    base::unique_hfile nul(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &inherit, OPEN_EXISTING, 0, nullptr));
    std::wstring line = L"\"" + program + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdError = nul.get();
    si.hStdOutput = writer.get();
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        return result;
    }
    base::unique_handle process(pi.hProcess);
    base::unique_handle thread(pi.hThread);
    result.started = true;
    writer.reset();  // the child holds the only write end now: end of data when it exits
    const DWORD start = ::GetTickCount();
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(reader.get(), nullptr, 0, nullptr, &available, nullptr)) break;  // closed
        if (available > 0) {
            char buffer[kReadChunk];
            DWORD read = 0;
            if (!::ReadFile(reader.get(), buffer, sizeof(buffer), &read, nullptr)) break;
            result.output.append(buffer, read);
            continue;
        }
        if (::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
            // Drain what is left; nothing more can come.
            while (::PeekNamedPipe(reader.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
                char buffer[kReadChunk];
                DWORD read = 0;
                if (!::ReadFile(reader.get(), buffer, sizeof(buffer), &read, nullptr)) break;
                result.output.append(buffer, read);
            }
            break;
        }
        if (::GetTickCount() - start > timeoutMs) break;
        ::Sleep(10);
    }
    if (::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
        result.finished = true;
        ::GetExitCodeProcess(process.get(), &result.exitCode);
    } else {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), INFINITE);
    }
    std::string clean;
    for (char c : result.output) {
        if (c != '\r') clean.push_back(c);
    }
    result.output = clean;
    return result;
}

SampleInstallation::SampleInstallation(const std::wstring& options, const std::wstring& dirName)
    : root_(L"sample"), dir_(root_.path() + dirName + L"\\") {
    // The installer makes the directory itself, not the folders above it; one
    // at a time, so that paths beyond MAX_PATH work too.
    for (size_t end = dirName.find(L'\\'); end != std::wstring::npos; end = dirName.find(L'\\', end + 1)) {
        ::CreateDirectoryW((root_.path() + dirName.substr(0, end)).c_str(), nullptr);
    }
    install_ = Setup(Quoted() + L" " + options);
}

std::wstring SampleInstallation::Quoted() const { return L"\"" + dir_.substr(0, dir_.size() - 1) + L"\""; }

SampleInstallation::~SampleInstallation() {
    if (!cleaned_) Cleanup();
}

CapturedRun SampleInstallation::Setup(const std::wstring& arguments) const {
    return RunCaptured(BinDir() + L"lumenox_setup.exe", arguments, kSetupTimeoutMs);
}

std::map<std::string, std::string> SampleInstallation::Inventory() const {
    std::map<std::string, std::string> fields;
    const CapturedRun run = Setup(L"--inventory " + Quoted());
    size_t start = 0;
    while (start < run.output.size()) {
        size_t end = run.output.find('\n', start);
        if (end == std::string::npos) end = run.output.size();
        const std::string line = run.output.substr(start, end - start);
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) fields[line.substr(0, colon)] = line.substr(colon + 2);
        start = end + 1;
    }
    return fields;
}

CapturedRun SampleInstallation::CheckRemoved() const {
    return Setup(L"--check-removed " + Quoted());
}

bool SampleInstallation::Cleanup() {
    cleaned_ = true;
    const CapturedRun run = Setup(L"--cleanup " + Quoted());
    return run.finished && run.exitCode == 0;
}

}  // namespace testing_support
