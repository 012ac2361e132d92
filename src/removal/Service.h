// Control of the viewer's background service through the local service
// control manager: stopping it and deleting it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace removal {

// Operation codes of QExecService.
constexpr int32_t kServiceOperationNone = 1;    // a new object's code
constexpr int32_t kServiceOperationDelete = 2;  // RemoveService
constexpr int32_t kServiceOperationStop = 4;    // StopService

// One controller per service entry of the install manifest.
class QExecService {
public:
    QExecService() = default;

    void SetOperation(int32_t code) { operation_ = code; }
    int32_t Operation() const { return operation_; }

    void SetExecutablePath(const std::wstring& path) { executablePath_ = path; }
    void SetParameters(const std::wstring& parameters) { parameters_ = parameters; }
    void SetServiceName(const std::wstring& name) { serviceName_ = name; }
    void SetDisplayName(const std::wstring& name) { displayName_ = name; }
    void SetDescription(const std::wstring& description) { description_ = description; }
    void SetLoadOrderGroup(const std::wstring& group) { loadOrderGroup_ = group; }

    const std::wstring& ExecutablePath() const { return executablePath_; }
    const std::wstring& Parameters() const { return parameters_; }
    const std::wstring& ServiceName() const { return serviceName_; }
    const std::wstring& DisplayName() const { return displayName_; }
    const std::wstring& Description() const { return description_; }
    const std::wstring& LoadOrderGroup() const { return loadOrderGroup_; }

    // Performs the operation named by the code on the service name. False at
    // once for an empty name or a code it does not know; otherwise true exactly
    // when the operation answered 0.
    bool RunOperation();

    // Sends the stop control and waits up to about five seconds for the
    // stopped state. 0 when it stopped or the wait ran out; otherwise the
    // platform's error (ERROR_SERVICE_NOT_ACTIVE for a service not running,
    // ERROR_SERVICE_DOES_NOT_EXIST for a missing one).
    static DWORD StopService(const std::wstring& serviceName);
    // Marks the service for deletion; the platform removes it once it has
    // stopped and every handle is closed. 0 on success, else the platform's error.
    static DWORD RemoveService(const std::wstring& serviceName);

private:
    int32_t operation_ = kServiceOperationNone;
    std::wstring executablePath_;
    std::wstring parameters_;
    std::wstring serviceName_;
    std::wstring displayName_;
    std::wstring description_;
    std::wstring loadOrderGroup_;
};

}  // namespace removal
