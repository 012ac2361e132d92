#include "support/ManifestSupport.h"

#include <winsvc.h>

#include <atomic>

#include "removal/Registry.h"
#include "support/ServiceSupport.h"

namespace testing_support {
namespace {

constexpr wchar_t kUninstallListPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
using removal::kInstallerView;

std::wstring UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    return std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount()) + L"_" +
           std::to_wstring(++counter);
}

}  // namespace

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

bool ScopedTestService::WaitUntilGone(DWORD timeoutMs) const { return WaitUntilServiceGone(name_, timeoutMs); }

RecordingShell::RecordingShell() = default;

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

ScopedMachineKey::ScopedMachineKey(std::wstring path) : path_(std::move(path)) {
    base::unique_hkey key;
    created_ = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kInstallerView,
                                 nullptr, key.put(), nullptr) == ERROR_SUCCESS;
    if (created_) {
        // A value and a subkey, so that the deletion has to take a whole tree.
        const wchar_t name[] = L"Lumenox";
        ::RegSetValueExW(key.get(), L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof(name));
        base::unique_hkey sub;
        ::RegCreateKeyExW(key.get(), L"sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, sub.put(), nullptr);
    }
}

ScopedMachineKey::~ScopedMachineKey() { removal::DeleteRegistryTree(HKEY_LOCAL_MACHINE, path_, kInstallerView); }

bool ScopedMachineKey::Exists(const std::wstring& path) {
    base::unique_hkey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | kInstallerView, key.put()) ==
           ERROR_SUCCESS;
}

std::wstring UniqueUninstallKeyPath() { return kUninstallListPath + (L"qlumtest_" + UniqueSuffix()); }

bool PrepareSdkDirectory(const std::wstring& dir, const std::vector<std::pair<std::wstring, std::wstring>>& values) {
    std::wstring text;
    for (const auto& [key, value] : values) text += key + L"=" + value + L"\r\n";
    return CopyInto(L"qsdxbase.dll", dir) && WriteUtf8(dir + L"qsdxbase_values.txt", text);
}

}  // namespace testing_support
