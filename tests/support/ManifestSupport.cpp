#include "support/ManifestSupport.h"

#include <atomic>

#include "base/XmlConfigDocument.h"
#include "base/text.h"

namespace testing_support {
namespace {

constexpr wchar_t kUninstallListPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    return std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount()) + L"_" +
           std::to_wstring(++counter);
}

}  // namespace

base::unique_sc_handle OpenServiceManager() {
    return base::unique_sc_handle(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

DWORD QueryServiceState(const std::wstring& name, DWORD* lastError, DWORD* processId) {
    base::unique_sc_handle manager = OpenServiceManager();
    base::unique_sc_handle service(::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!service || !::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                            sizeof(status), &needed)) {
        if (lastError) *lastError = ::GetLastError();
        return 0;
    }
    if (processId) *processId = status.dwProcessId;
    return status.dwCurrentState;
}

bool WaitForServiceState(const std::wstring& name, DWORD state) {
    return WaitUntil(
        [&] {
            DWORD error = 0;
            const DWORD current = QueryServiceState(name, &error);
            return current == state || (state == SERVICE_STOPPED && error == ERROR_SERVICE_DOES_NOT_EXIST);
        },
        kServiceStateWaitMs);
}

ScopedTestService::ScopedTestService() : name_(L"qlummanifest_" + UniqueSuffix()) {
    base::unique_sc_handle manager = OpenServiceManager();
    const std::wstring binary = L"\"" + BinDir() + L"qlumservice.exe\"";
    base::unique_sc_handle service(::CreateServiceW(manager.get(), name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS,
                                                    SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                    SERVICE_ERROR_IGNORE, binary.c_str(), nullptr, nullptr, nullptr,
                                                    nullptr, nullptr));
    created_ = static_cast<bool>(service);
}

ScopedTestService::~ScopedTestService() {
    base::unique_sc_handle manager = OpenServiceManager();
    base::unique_sc_handle service(::OpenServiceW(manager.get(), name_.c_str(), SERVICE_ALL_ACCESS));
    if (!service) return;
    SERVICE_STATUS status = {};
    if (::QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED) {
        ::ControlService(service.get(), kServiceForceStopControl, &status);
        WaitForServiceState(name_, SERVICE_STOPPED);
    }
    ::DeleteService(service.get());
}

bool ScopedTestService::Start() {
    base::unique_sc_handle manager = OpenServiceManager();
    base::unique_sc_handle service(::OpenServiceW(manager.get(), name_.c_str(), SERVICE_START));
    if (!service || !::StartServiceW(service.get(), 0, nullptr)) return false;
    return WaitForServiceState(name_, SERVICE_RUNNING);
}

DWORD ScopedTestService::State() const { return QueryServiceState(name_, nullptr); }

bool ScopedTestService::WaitUntilGone() const {
    return WaitUntil([&] {
        DWORD error = 0;
        return QueryServiceState(name_, &error) == 0 && error == ERROR_SERVICE_DOES_NOT_EXIST;
    });
}

manifest::ShellEnvironment RecordingShell::environment() const {
    manifest::ShellEnvironment env;
    const std::wstring desktop = desktop_.path();
    const std::wstring programs = programs_.path();
    env.desktopFolder = [desktop] { return desktop; };
    env.commonProgramsFolder = [programs] { return programs; };
    auto requests = requests_;
    env.requestVerb = [requests](const std::wstring& file, const wchar_t* verb) {
        requests->push_back(VerbRequest{file, verb, Exists(file)});
    };
    return env;
}

std::wstring UniqueUninstallKeyPath() { return kUninstallListPath + (L"qlumtest_" + UniqueSuffix()); }

bool PrepareSdkDirectory(const std::wstring& dir, const std::vector<std::pair<std::wstring, std::wstring>>& values) {
    std::wstring text;
    for (const auto& [key, value] : values) text += key + L"=" + value + L"\r\n";
    return CopyInto(L"qsdxbase.dll", dir) && WriteUtf8(dir + L"qsdxbase_values.txt", text);
}

std::unique_ptr<manifest::ITag> ParseTag(const std::string& xml) {
    base::XmlConfigDocument doc;
    if (!doc.LoadText(xml) || !doc.SelectPath(nullptr)) return nullptr;
    std::unique_ptr<manifest::ITag> tag = manifest::CreateTag(base::Utf8ToWide(doc.CursorName()));
    if (tag) tag->Parse(doc);
    return tag;
}

}  // namespace testing_support
