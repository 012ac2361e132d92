#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "base/text.h"
#include "removal/Launch.h"
#include "removal/ProcessControl.h"
#include "support/TestSupport.h"

using namespace removal;
using namespace testing_support;

namespace {

constexpr DWORD kQuickMs = 3000;

// A copy of the sleeper in a directory with a blank, logging its command line.
struct LaunchTarget {
    TempDir dir{L"launch dir"};
    std::wstring program = dir / L"Quick Tool.exe";
    std::wstring log = dir / L"tool.log";
    LaunchTarget() { ::CopyFileW((BinDir() + L"sleeper.exe").c_str(), program.c_str(), FALSE); }
    ~LaunchTarget() { KillProcessesByPath(program); }
    std::wstring Params(DWORD ms) const { return L"--ms " + std::to_wstring(ms) + L" --log \"" + log + L"\""; }
};

// The session methods take explorer.exe's token. Wine starts explorer.exe with
// the first desktop window a process asks for, and ends it when it is idle.
bool ExplorerRunning() {
    ::GetDesktopWindow();
    return testing_support::WaitUntil([] {
        base::unique_hfile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
             more = ::Process32NextW(snapshot.get(), &entry)) {
            if (base::EqualsNoCase(entry.szExeFile, L"explorer.exe")) return true;
        }
        return false;
    });
}

}  // namespace

TEST(Launch, CommandLineAndExtensionProcessNames) {
    EXPECT_EQ(BuildLaunchCommandLine(L"C:\\a b\\x.exe", L"/ext:0"), L"\"C:\\a b\\x.exe\" /ext:0");
    EXPECT_EQ(BuildLaunchCommandLine(L"C:\\x.exe", L""), L"\"C:\\x.exe\" ");
    EXPECT_EQ(ExtensionProcessName(true), std::wstring(L"lumenox_ext_process64.exe"));
    EXPECT_EQ(ExtensionProcessName(false), std::wstring(L"lumenox_ext_process.exe"));
}

TEST(Launch, EachMethodStartsAndWaitsForAQuickProgram) {
    using Method = bool (*)(const std::wstring&, const std::wstring&, bool);
    const std::pair<const char*, Method> methods[] = {
        {"elevated", &LaunchElevatedInSession}, {"session", &LaunchAsSessionUser}, {"plain", &LaunchPlain}};
    ASSERT_TRUE(ExplorerRunning());
    for (const auto& [name, method] : methods) {
        SCOPED_TRACE(name);
        LaunchTarget target;
        const DWORD start = ::GetTickCount();
        // Under Wine the session methods succeed too, through explorer.exe's token.
        ASSERT_TRUE(method(target.program, target.Params(0), false));
        EXPECT_LT(::GetTickCount() - start, kQuickMs);
        // The launch returns only after the program ended: its line is there already.
        EXPECT_EQ(ReadLines(target.log),
                  std::vector<std::string>{base::WideToUtf8(BuildLaunchCommandLine(target.program, target.Params(0)))});
    }
}

TEST(Launch, MissingProgramFailsQuickly) {
    TempDir dir(L"nolaunch");
    const DWORD start = ::GetTickCount();
    for (const std::wstring& missing : {dir / L"absent.exe", std::wstring()}) {
        EXPECT_FALSE(LaunchElevatedInSession(missing, L"", true));
        EXPECT_FALSE(LaunchAsSessionUser(missing, L"", true));
        EXPECT_FALSE(LaunchPlain(missing, L"", true));
    }
    EXPECT_EQ(RunLaunchChain(dir / L"absent.exe", L"/ext:0", false, true), LaunchMethod::None);
    EXPECT_FALSE(LaunchWithChain(dir / L"absent.exe", L"", false));
    EXPECT_LT(::GetTickCount() - start, kQuickMs);
}

TEST(Launch, ChainEndsALongRunningProgramAfterFiveSeconds) {
    ASSERT_TRUE(ExplorerRunning());
    LaunchTarget target;
    const DWORD start = ::GetTickCount();
    // The first method of the chain already succeeds under Wine.
    EXPECT_EQ(RunLaunchChain(target.program, target.Params(10000), false, true), LaunchMethod::ElevatedInSession);
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, kLaunchWaitMs - 100);
    EXPECT_LT(elapsed, kLaunchWaitMs + kQuickMs);
    ASSERT_EQ(ReadLines(target.log).size(), 1u);
    EXPECT_EQ(KillProcessesByPath(target.program), kKillResultNoneTerminated);  // terminated, not left running
}

TEST(Launch, StopExtensionProcessStartsTheNativeArchitecturesProcess) {
    const std::wstring log = BinDir() + L"ext_process.log";
    ::DeleteFileW(log.c_str());
    // With the other architecture's stand-in moved aside, only the right choice can succeed.
    const std::wstring other = BinDir() + ExtensionProcessName(!IsNativeSystem64());
    ASSERT_TRUE(::MoveFileExW(other.c_str(), (other + L".aside").c_str(), MOVEFILE_REPLACE_EXISTING));
    const bool stopped = StopExtensionProcess();
    ::MoveFileExW((other + L".aside").c_str(), other.c_str(), MOVEFILE_REPLACE_EXISTING);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(ReadLines(log), std::vector<std::string>{"/ext:0"});  // one method ran it, once
    ::DeleteFileW(log.c_str());
}
