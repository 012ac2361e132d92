// Helpers of the manifest and removal tests: real services of the stand-in
// program, the shell folders redirected into temporary directories with a
// recorded verb request, a product value lookup over a private copy of the SDK
// stand-in, and actions parsed from XML snippets.
#pragma once

#include <windows.h>
#include <winsvc.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/unique_any.h"
#include "manifest/ExpandTask.h"
#include "manifest/Shortcut.h"
#include "support/TestSupport.h"

namespace testing_support {

// The stand-in service stops on this user control even when it ignores stops.
constexpr DWORD kServiceForceStopControl = 200;
constexpr DWORD kServiceStateWaitMs = 10000;

base::unique_sc_handle OpenServiceManager();
// The service's current state, 0 when it cannot be queried (then lastError says why).
DWORD QueryServiceState(const std::wstring& name, DWORD* lastError = nullptr, DWORD* processId = nullptr);
// A service marked for deletion disappears as it stops; that counts as stopped too.
bool WaitForServiceState(const std::wstring& name, DWORD state);

// A demand-start service of qlumservice.exe with a unique name, always stopped
// and deleted when the object goes.
class ScopedTestService {
public:
    ScopedTestService();
    ~ScopedTestService();
    ScopedTestService(const ScopedTestService&) = delete;
    ScopedTestService& operator=(const ScopedTestService&) = delete;

    bool created() const { return created_; }
    const std::wstring& name() const { return name_; }
    // Starts it and waits until it runs.
    bool Start();
    // SERVICE_RUNNING, SERVICE_STOPPED, ...; 0 when it cannot be queried.
    DWORD State() const;
    // True once the service control manager no longer knows the service.
    bool WaitUntilGone() const;

private:
    std::wstring name_;
    bool created_ = false;
};

// One verb request seen by RecordingShell.
struct VerbRequest {
    std::wstring file;
    std::wstring verb;
    bool fileExisted = false;  // whether the file was there when the shell was asked
};

// Desktop and programs folders in temporary directories; verb requests are
// recorded instead of reaching the shell.
class RecordingShell {
public:
    const std::wstring& desktop() const { return desktop_.path(); }
    const std::wstring& programs() const { return programs_.path(); }
    const std::vector<VerbRequest>& requests() const { return *requests_; }
    // The environment handed to the entries; it records into this object.
    manifest::ShellEnvironment environment() const;

private:
    TempDir desktop_{L"desktop"};
    TempDir programs_{L"programs"};
    std::shared_ptr<std::vector<VerbRequest>> requests_ = std::make_shared<std::vector<VerbRequest>>();
};

// A key path below the platform's uninstall list, unique to this process and call.
std::wstring UniqueUninstallKeyPath();

// Writes "key=value" lines for the SDK stand-in's product value lookup and
// copies the stand-in beside them.
bool PrepareSdkDirectory(const std::wstring& dir, const std::vector<std::pair<std::wstring, std::wstring>>& values);

// Creates the action the snippet's root element names and parses it; null for
// a name that creates nothing.
std::unique_ptr<manifest::ITag> ParseTag(const std::string& xml);

}  // namespace testing_support
