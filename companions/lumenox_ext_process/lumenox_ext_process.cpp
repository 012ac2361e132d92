// Stand-in for the shell-extension processes lumenox_ext_process.exe and
// lumenox_ext_process64.exe: appends its arguments (the command line after the
// program name, e.g. "/ext:0") as one UTF-8 line to "ext_process.log" (see
// CompanionLog.h: beside itself or in the redirected log directory) and exits 0.
#include <windows.h>

#include "../common/CompanionLog.h"

namespace {

constexpr wchar_t kLogName[] = L"ext_process.log";

}  // namespace

int wmain() {
    companion::AppendLogLine(nullptr, kLogName, companion::ArgumentsOf(::GetCommandLineW()));
    return 0;
}
