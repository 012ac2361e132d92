#include <gtest/gtest.h>

#include <windows.h>
#include <winsvc.h>

#include <atomic>
#include <string>
#include <vector>

#include "base/unique_any.h"
#include "removal/Service.h"
#include "support/ServiceSupport.h"
#include "support/TestSupport.h"

using removal::QExecService;
using testing_support::kServiceForceStopControl;
using testing_support::kServiceStateWaitMs;

namespace {

std::wstring UniqueServiceName() {
    static std::atomic<unsigned> counter{0};
    return L"qlumtest_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount()) + L"_" +
           std::to_wstring(++counter);
}

// A service of the stand-in program, registered for one test and always taken
// down and deleted at the end, whatever the test did to it.
class TestService {
public:
    TestService() : name_(UniqueServiceName()) {
        base::unique_sc_handle manager = testing_support::OpenServiceManager();
        const std::wstring binary = L"\"" + testing_support::BinDir() + L"qlumservice.exe\"";
        base::unique_sc_handle service(::CreateServiceW(
            manager.get(), name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
            SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        created_ = static_cast<bool>(service);
    }
    ~TestService() {
        ForceStop();
        base::unique_sc_handle manager = testing_support::OpenServiceManager();
        base::unique_sc_handle service(::OpenServiceW(manager.get(), name_.c_str(), SERVICE_ALL_ACCESS));
        if (!service) return;
        SERVICE_STATUS status = {};
        if (::QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED) {
            ::ControlService(service.get(), kServiceForceStopControl, &status);
            testing_support::WaitForServiceState(name_, SERVICE_STOPPED);
        }
        ::DeleteService(service.get());
    }

    // Stops the service even in its ignore-stop mode, through the handle that
    // Start kept, and closes that handle.
    bool ForceStop() {
        SERVICE_STATUS status = {};
        const bool sent = control_ && ::ControlService(control_.get(), kServiceForceStopControl, &status);
        control_.reset();
        return sent;
    }

    bool created() const { return created_; }
    const std::wstring& name() const { return name_; }

    // Starts the service with optional parameters and waits until it runs.
    // keepControl keeps a handle for ForceStop, which also holds off the
    // removal of a deleted service until ForceStop closes it.
    bool Start(std::vector<std::wstring> parameters = {}, bool keepControl = false) {
        base::unique_sc_handle manager = testing_support::OpenServiceManager();
        base::unique_sc_handle service(::OpenServiceW(manager.get(), name_.c_str(), SERVICE_START));
        std::vector<const wchar_t*> arguments;
        for (const std::wstring& p : parameters) arguments.push_back(p.c_str());
        if (!service || !::StartServiceW(service.get(), static_cast<DWORD>(arguments.size()),
                                         arguments.empty() ? nullptr : arguments.data())) {
            return false;
        }
        // Kept open: a service marked for deletion can no longer be opened
        // (Wine refuses it), and one that ignores stops must still be stopped.
        if (keepControl) control_.reset(::OpenServiceW(manager.get(), name_.c_str(), SERVICE_USER_DEFINED_CONTROL));
        return testing_support::WaitForServiceState(name_, SERVICE_RUNNING);
    }

private:
    std::wstring name_;
    bool created_ = false;
    base::unique_sc_handle control_;
};

QExecService ControllerFor(const std::wstring& name, int32_t operation) {
    QExecService controller;
    controller.SetServiceName(name);
    controller.SetOperation(operation);
    return controller;
}

}  // namespace

TEST(QExecService, StopsARunningServiceAndDeletesIt) {
    TestService service;
    ASSERT_TRUE(service.created());
    ASSERT_TRUE(service.Start());

    QExecService controller = ControllerFor(service.name(), removal::kServiceOperationStop);
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(controller.RunOperation());
    EXPECT_LT(::GetTickCount() - start, 3000u);
    EXPECT_EQ(testing_support::QueryServiceState(service.name()), static_cast<DWORD>(SERVICE_STOPPED));

    controller.SetOperation(removal::kServiceOperationDelete);
    EXPECT_TRUE(controller.RunOperation());
    EXPECT_TRUE(testing_support::WaitUntilServiceGone(service.name()));
}

TEST(QExecService, AlreadyStoppedServiceIsNotActiveAndStillDeleted) {
    TestService service;
    ASSERT_TRUE(service.created());

    EXPECT_EQ(QExecService::StopService(service.name()), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    QExecService controller = ControllerFor(service.name(), removal::kServiceOperationStop);
    EXPECT_FALSE(controller.RunOperation());

    controller.SetOperation(removal::kServiceOperationDelete);
    EXPECT_TRUE(controller.RunOperation());
    EXPECT_TRUE(testing_support::WaitUntilServiceGone(service.name()));
}

TEST(QExecService, ServiceIgnoringStopCostsTheWaitAndIsMarkedForDeletion) {
    TestService service;
    ASSERT_TRUE(service.created());
    ASSERT_TRUE(service.Start({L"ignore-stop"}, true));

    const DWORD start = ::GetTickCount();
    EXPECT_EQ(QExecService::StopService(service.name()), static_cast<DWORD>(ERROR_SUCCESS));
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, 4500u);
    EXPECT_LT(elapsed, 8000u);
    EXPECT_EQ(testing_support::QueryServiceState(service.name()), static_cast<DWORD>(SERVICE_RUNNING));

    EXPECT_EQ(QExecService::RemoveService(service.name()), static_cast<DWORD>(ERROR_SUCCESS));
    // Still there while it runs, and a second deletion says it is already marked.
    EXPECT_EQ(testing_support::QueryServiceState(service.name()), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(QExecService::RemoveService(service.name()), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));

    // Once it does stop, the platform removes it. Windows passes the user
    // control on and the service stops itself; Wine refuses any control after
    // an accepted stop (ERROR_SERVICE_CANNOT_ACCEPT_CTRL) and ends the
    // service's process instead.
    service.ForceStop();
    EXPECT_TRUE(testing_support::WaitUntilServiceGone(service.name()));
}

TEST(QExecService, MissingServiceAnswersDoesNotExistFromBoth) {
    const std::wstring name = UniqueServiceName();
    EXPECT_EQ(QExecService::StopService(name), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(QExecService::RemoveService(name), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    QExecService controller = ControllerFor(name, removal::kServiceOperationStop);
    EXPECT_FALSE(controller.RunOperation());
    controller.SetOperation(removal::kServiceOperationDelete);
    EXPECT_FALSE(controller.RunOperation());
}

TEST(QExecService, EmptyNameOrUnknownCodeFailsWithoutTouchingTheManager) {
    // The manager calls would overwrite the thread's last error.
    constexpr DWORD kSentinel = 0x20001234;
    QExecService controller;
    EXPECT_EQ(controller.Operation(), removal::kServiceOperationNone);
    for (const int32_t code : {removal::kServiceOperationStop, removal::kServiceOperationDelete}) {
        controller.SetOperation(code);
        ::SetLastError(kSentinel);
        EXPECT_FALSE(controller.RunOperation());
        EXPECT_EQ(::GetLastError(), kSentinel);
    }
    controller.SetServiceName(UniqueServiceName());
    controller.SetOperation(removal::kServiceOperationNone);
    ::SetLastError(kSentinel);
    EXPECT_FALSE(controller.RunOperation());
    EXPECT_EQ(::GetLastError(), kSentinel);
}

TEST(QExecService, ServiceWhoseProcessDiedFailsToStopAtOnceAndIsDeleted) {
    TestService service;
    ASSERT_TRUE(service.created());
    ASSERT_TRUE(service.Start());
    DWORD processId = 0;
    ASSERT_EQ(testing_support::QueryServiceState(service.name(), nullptr, &processId), static_cast<DWORD>(SERVICE_RUNNING));
    ASSERT_NE(processId, 0u);
    {
        base::unique_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
        ASSERT_TRUE(process);
        ASSERT_TRUE(::TerminateProcess(process.get(), 1));
        ASSERT_EQ(::WaitForSingleObject(process.get(), kServiceStateWaitMs), WAIT_OBJECT_0);
    }
    // Windows marks the service stopped (then the stop answers not-active);
    // Wine keeps reading it as running and the stop control fails. Either way
    // the stop fails at once instead of waiting, and the deletion goes through.
    const DWORD start = ::GetTickCount();
    EXPECT_NE(QExecService::StopService(service.name()), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_LT(::GetTickCount() - start, 3000u);
    EXPECT_EQ(QExecService::RemoveService(service.name()), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(testing_support::WaitUntilServiceGone(service.name()));
}
