#include "removal/Service.h"

#include <winsvc.h>

#include "base/unique_any.h"

namespace removal {

namespace {

// Manager rights: generic write (0x40000000) for the stop, create (0x2) for the delete.
constexpr DWORD kStopManagerAccess = GENERIC_WRITE;
constexpr DWORD kDeleteManagerAccess = SC_MANAGER_CREATE_SERVICE;
// Service rights: stop and query status (0x24); the standard delete right (0x10000).
constexpr DWORD kStopServiceAccess = SERVICE_STOP | SERVICE_QUERY_STATUS;
constexpr DWORD kDeleteServiceAccess = DELETE;

constexpr DWORD kStopWaitMs = 5000;
constexpr DWORD kStopPollMs = 100;

}  // namespace

bool QExecService::RunOperation() {
    switch (operation_) {
    case kServiceOperationStop:
        return !serviceName_.empty() && StopService(serviceName_) == ERROR_SUCCESS;
    case kServiceOperationDelete:
        return !serviceName_.empty() && RemoveService(serviceName_) == ERROR_SUCCESS;
    default:
        return false;
    }
}

DWORD QExecService::StopService(const std::wstring& serviceName) {
    base::unique_sc_handle manager(::OpenSCManagerW(nullptr, nullptr, kStopManagerAccess));
    if (!manager) return ::GetLastError();
    base::unique_sc_handle service(::OpenServiceW(manager.get(), serviceName.c_str(), kStopServiceAccess));
    if (!service) return ::GetLastError();
    SERVICE_STATUS status = {};
    if (!::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return ::GetLastError();
    DWORD result = ERROR_SUCCESS;
    // A service that ignores the stop costs the whole wait and still counts as
    // success: the deletion that follows takes effect once it does stop.
    for (DWORD elapsed = 0; elapsed < kStopWaitMs; elapsed += kStopPollMs) {
        if (!::QueryServiceStatus(service.get(), &status)) {
            result = ::GetLastError();
            break;
        }
        if (status.dwCurrentState == SERVICE_STOPPED) break;
        ::Sleep(kStopPollMs);
    }
    return result;
}

DWORD QExecService::RemoveService(const std::wstring& serviceName) {
    base::unique_sc_handle manager(::OpenSCManagerW(nullptr, nullptr, kDeleteManagerAccess));
    if (!manager) return ::GetLastError();
    base::unique_sc_handle service(::OpenServiceW(manager.get(), serviceName.c_str(), kDeleteServiceAccess));
    if (!service) return ::GetLastError();
    if (!::DeleteService(service.get())) return ::GetLastError();
    return ERROR_SUCCESS;
}

}  // namespace removal
