// Stand-in for the viewer's background service: an own-process service that
// runs until it is stopped. The service name is whatever the service control
// manager hands to ServiceMain.
//
// Start parameters (StartService arguments, or arguments in the binary path):
//   ignore-stop   answer the stop control but keep running
// The user control 200 stops the service in every mode, so that whoever
// installed it can always take it down. As a safety net the service stops on
// its own after two minutes.
#include <windows.h>

#include <string>

namespace {

constexpr DWORD kForceStopControl = 200;   // user-defined controls are 128..255
constexpr DWORD kLifetimeMs = 120 * 1000;
constexpr DWORD kStopWaitHintMs = 1000;
constexpr wchar_t kIgnoreStopArgument[] = L"ignore-stop";

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status = {};
HANDLE g_stopEvent = nullptr;
bool g_ignoreStop = false;

int g_commandLineCount = 0;
wchar_t** g_commandLine = nullptr;

void ReportState(DWORD state) {
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    g_status.dwWin32ExitCode = NO_ERROR;
    g_status.dwWaitHint = state == SERVICE_STOP_PENDING ? kStopWaitHintMs : 0;
    ::SetServiceStatus(g_statusHandle, &g_status);
}

void ScanArguments(DWORD count, wchar_t** arguments) {
    for (DWORD i = 0; i < count; ++i) {
        if (arguments[i] != nullptr && std::wstring(arguments[i]) == kIgnoreStopArgument) g_ignoreStop = true;
    }
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        if (g_ignoreStop) return NO_ERROR;  // accepted, and nothing happens
        [[fallthrough]];
    case kForceStopControl:
        ReportState(SERVICE_STOP_PENDING);
        ::SetEvent(g_stopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
    const wchar_t* name = argc > 0 ? argv[0] : L"";
    ScanArguments(argc, argv);
    ScanArguments(static_cast<DWORD>(g_commandLineCount), g_commandLine);
    g_statusHandle = ::RegisterServiceCtrlHandlerExW(name, Handler, nullptr);
    if (g_statusHandle == nullptr) return;
    g_stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ReportState(SERVICE_RUNNING);
    ::WaitForSingleObject(g_stopEvent, kLifetimeMs);
    ReportState(SERVICE_STOPPED);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    g_commandLineCount = argc;
    g_commandLine = argv;
    wchar_t emptyName[] = L"";  // ignored for own-process services
    SERVICE_TABLE_ENTRYW table[] = {{emptyName, ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
