// Stand-in for the viewer's main program: appends its arguments (the command
// line after the program name, e.g. "/setdefault:0") as one UTF-8 line to
// "lumenox_main.log" (see CompanionLog.h: in its own directory or in the
// redirected log directory) and exits 0.
//
// When "lumenox_main_probe.txt" lies beside it, holding a key path below
// HKEY_LOCAL_MACHINE (UTF-8, first line), a second line follows: "probe:present"
// or "probe:absent", whether that key exists at the moment the program runs.
#include <windows.h>

#include <fstream>
#include <string>

#include "../common/CompanionLog.h"
#include "base/unique_any.h"

namespace {

constexpr wchar_t kLogName[] = L"lumenox_main.log";
constexpr wchar_t kProbeName[] = L"lumenox_main_probe.txt";

// "probe:present"/"probe:absent" for the key named in the probe file; empty without one.
std::string ProbeLine(const std::wstring& dir) {
    std::ifstream in((dir + kProbeName).c_str(), std::ios::binary);
    std::string key;
    if (!in || !std::getline(in, key)) return {};
    while (!key.empty() && (key.back() == '\r' || key.back() == '\n')) key.pop_back();
    base::unique_hkey opened;
    // The viewer is a 32-bit program: it sees the machine's keys in the 32-bit view.
    const bool present = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, companion::FromUtf8(key).c_str(), 0,
                                         KEY_READ | KEY_WOW64_32KEY, opened.put()) == ERROR_SUCCESS;
    return present ? "probe:present\r\n" : "probe:absent\r\n";
}

}  // namespace

int wmain() {
    const std::string text = companion::ToUtf8(companion::ArgumentsOf(::GetCommandLineW())) + "\r\n" +
                             ProbeLine(companion::ModuleDirectory(nullptr));
    companion::AppendLogBytes(nullptr, kLogName, text);
    return 0;
}
