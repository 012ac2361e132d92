#include "support/ServiceSupport.h"

#include "support/FileSystemSupport.h"

namespace testing_support {

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

bool WaitUntilServiceGone(const std::wstring& name, DWORD timeoutMs) {
    return WaitUntil(
        [&] {
            DWORD error = 0;
            return QueryServiceState(name, &error) == 0 && error == ERROR_SERVICE_DOES_NOT_EXIST;
        },
        timeoutMs);
}

}  // namespace testing_support
