#include <gtest/gtest.h>

#include <windows.h>
#include <winsvc.h>

#include "base/unique_any.h"
#include "removal/Service.h"
#include "support/ManifestSupport.h"

using namespace testing_support;
using removal::QExecService;

namespace {

constexpr DWORD kQuickMs = 3000;

bool Operate(const std::wstring& name, int32_t operation) {
    QExecService controller;
    controller.SetServiceName(name);
    controller.SetOperation(operation);
    return controller.RunOperation();
}

}  // namespace

TEST(QExecService, StopsARunningServiceThenFindsItNotActiveAndDeletesIt) {
    ScopedTestService service;
    ASSERT_TRUE(service.created());
    ASSERT_TRUE(service.Start());
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(Operate(service.name(), removal::kServiceOperationStop));
    EXPECT_LT(::GetTickCount() - start, kQuickMs);
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(QExecService::StopService(service.name()), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_FALSE(Operate(service.name(), removal::kServiceOperationStop));
    EXPECT_TRUE(Operate(service.name(), removal::kServiceOperationDelete));
    EXPECT_TRUE(service.WaitUntilGone());
}

TEST(QExecService, ServiceIgnoringStopCostsTheWaitAndIsMarkedForDeletion) {
    ScopedTestService service;
    ASSERT_TRUE(service.created());
    // A handle kept for the stand-in's forced stop: a service marked for
    // deletion can no longer be opened (Wine refuses it).
    struct ForcedStop {
        base::unique_sc_handle control;
        void Send() {
            SERVICE_STATUS status = {};
            if (control) ::ControlService(control.get(), kServiceForceStopControl, &status);
            control.reset();  // the open handle holds off the removal
        }
        ~ForcedStop() { Send(); }
    } forced;
    {
        base::unique_sc_handle manager = OpenServiceManager();
        base::unique_sc_handle handle(::OpenServiceW(manager.get(), service.name().c_str(), SERVICE_START));
        const wchar_t* arguments[] = {L"ignore-stop"};
        ASSERT_TRUE(handle && ::StartServiceW(handle.get(), 1, arguments));
        forced.control.reset(::OpenServiceW(manager.get(), service.name().c_str(), SERVICE_USER_DEFINED_CONTROL));
        ASSERT_TRUE(WaitForServiceState(service.name(), SERVICE_RUNNING));
    }
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(QExecService::StopService(service.name()), static_cast<DWORD>(ERROR_SUCCESS));
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, 4500u);
    EXPECT_LT(elapsed, 8000u);
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(QExecService::RemoveService(service.name()), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(QExecService::RemoveService(service.name()), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    // Once it does stop, the platform removes it. Windows passes the user
    // control on; Wine refuses it after an accepted stop and ends the process.
    forced.Send();
    EXPECT_TRUE(service.WaitUntilGone());
}

TEST(QExecService, MissingServiceEmptyNameOrUnknownCodeFail) {
    const std::wstring missing = L"qlumtest_never_installed_" + std::to_wstring(::GetCurrentProcessId());
    EXPECT_EQ(QExecService::StopService(missing), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(QExecService::RemoveService(missing), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(QExecService().Operation(), removal::kServiceOperationNone);
    const std::pair<std::wstring, int32_t> cases[] = {{missing, removal::kServiceOperationStop},
                                                      {missing, removal::kServiceOperationDelete},
                                                      {L"", removal::kServiceOperationStop},
                                                      {L"", removal::kServiceOperationDelete},
                                                      {missing, removal::kServiceOperationNone}};
    for (const auto& [name, code] : cases) EXPECT_FALSE(Operate(name, code)) << code;
}

TEST(QExecService, ServiceWhoseProcessDiedFailsToStopAtOnceAndIsDeleted) {
    ScopedTestService service;
    ASSERT_TRUE(service.created());
    ASSERT_TRUE(service.Start());
    DWORD processId = 0;
    ASSERT_EQ(QueryServiceState(service.name(), nullptr, &processId), static_cast<DWORD>(SERVICE_RUNNING));
    {
        base::unique_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
        ASSERT_TRUE(process && ::TerminateProcess(process.get(), 1));
        ASSERT_EQ(::WaitForSingleObject(process.get(), kServiceStateWaitMs), WAIT_OBJECT_0);
    }
    // Windows marks the service stopped (the stop answers not-active); Wine
    // keeps it running and the control fails. Either way without the wait.
    const DWORD start = ::GetTickCount();
    EXPECT_NE(QExecService::StopService(service.name()), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_LT(::GetTickCount() - start, kQuickMs);
    EXPECT_EQ(QExecService::RemoveService(service.name()), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(service.WaitUntilGone());
}
