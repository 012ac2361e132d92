// Looking at services from the tests: state, waits, the stand-in's stop control.
#pragma once

#include <windows.h>
#include <winsvc.h>

#include <string>

#include "base/unique_any.h"

namespace testing_support {

// The stand-in service stops on this user control even when it ignores stops.
constexpr DWORD kServiceForceStopControl = 200;
constexpr DWORD kServiceStateWaitMs = 10000;

base::unique_sc_handle OpenServiceManager();
// The service's current state, 0 when it cannot be queried (then lastError says why).
DWORD QueryServiceState(const std::wstring& name, DWORD* lastError = nullptr, DWORD* processId = nullptr);
// A service marked for deletion disappears as it stops; that counts as stopped too.
bool WaitForServiceState(const std::wstring& name, DWORD state);
// True once the service control manager no longer knows the service.
bool WaitUntilServiceGone(const std::wstring& name, DWORD timeoutMs = kServiceStateWaitMs);

}  // namespace testing_support
