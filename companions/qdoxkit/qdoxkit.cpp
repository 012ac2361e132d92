// Stand-in for the companion document kit's program qdoxkit.exe: appends its
// arguments (the command line after the program name) as one line to
// "qdoxkit.log" and exits 0.
#include <windows.h>

#include "../common/CompanionLog.h"

int wmain() {
    companion::AppendLogLine(nullptr, L"qdoxkit.log", companion::ArgumentsOf(::GetCommandLineW()));
    return 0;
}
