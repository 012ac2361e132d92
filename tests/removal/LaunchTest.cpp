#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "removal/Launch.h"
#include "removal/ProcessControl.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

using namespace removal;
using testing_support::BinDir;
using testing_support::TempDir;

namespace {

constexpr DWORD kQuickMs = 3000;

// Under Wine explorer.exe, whose token the session methods take, runs only while
// some process uses the desktop: each test of this program does.
[[maybe_unused]] const HWND g_desktop = ::GetDesktopWindow();

// A copy of the sleeper in its own directory, launched with a log of its command line.
struct LaunchTarget {
    TempDir dir{L"launch dir"};  // a blank in the path: the quoting must hold
    std::wstring program = dir / L"Quick Tool.exe";
    std::wstring log = dir / L"tool.log";

    LaunchTarget() { ::CopyFileW((BinDir() + L"sleeper.exe").c_str(), program.c_str(), FALSE); }
    ~LaunchTarget() { KillProcessesByPath(program); }  // never leave one behind
    std::wstring Params(DWORD ms) const { return L"--ms " + std::to_wstring(ms) + L" --log \"" + log + L"\""; }
    std::string ExpectedLine(DWORD ms) const {
        return base::WideToUtf8(BuildLaunchCommandLine(program, Params(ms)));
    }
};

// Moves a file aside for the test's life and puts it back.
class FileAside {
public:
    explicit FileAside(std::wstring path) : path_(std::move(path)), aside_(path_ + L".aside") {
        moved_ = ::MoveFileExW(path_.c_str(), aside_.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    }
    ~FileAside() {
        if (moved_) ::MoveFileExW(aside_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    bool moved() const { return moved_; }

private:
    std::wstring path_, aside_;
    bool moved_ = false;
};

}  // namespace

TEST(Launch, CommandLineQuotesPathAndKeepsBlank) {
    EXPECT_EQ(BuildLaunchCommandLine(L"C:\\a b\\x.exe", L"/ext:0"), L"\"C:\\a b\\x.exe\" /ext:0");
    EXPECT_EQ(BuildLaunchCommandLine(L"C:\\x.exe", L""), L"\"C:\\x.exe\" ");
    EXPECT_EQ(ExtensionProcessName(true), std::wstring(L"lumenox_ext_process64.exe"));
    EXPECT_EQ(ExtensionProcessName(false), std::wstring(L"lumenox_ext_process.exe"));
}

TEST(Launch, EachMethodStartsAndWaitsForAQuickProgram) {
    using Method = bool (*)(const std::wstring&, const std::wstring&, bool);
    const struct {
        const char* name;
        Method method;
    } methods[] = {{"elevated", &LaunchElevatedInSession}, {"session", &LaunchAsSessionUser}, {"plain", &LaunchPlain}};
    for (const auto& m : methods) {
        SCOPED_TRACE(m.name);
        LaunchTarget target;
        const DWORD start = ::GetTickCount();
        // Under Wine the session methods succeed as well: no session is listed as
        // active, but explorer.exe's token is available and accepted (see report).
        ASSERT_TRUE(m.method(target.program, target.Params(0), false));
        EXPECT_LT(::GetTickCount() - start, kQuickMs);
        // The launch returns only after the program ended: its line is there already.
        const auto lines = testing_support::ReadLines(target.log);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], target.ExpectedLine(0));
    }
}

TEST(Launch, MissingProgramFailsQuickly) {
    TempDir dir(L"nolaunch");
    const std::wstring missing = dir / L"absent.exe";
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(LaunchElevatedInSession(missing, L"", true));
    EXPECT_FALSE(LaunchAsSessionUser(missing, L"", true));
    EXPECT_FALSE(LaunchPlain(missing, L"", true));
    EXPECT_EQ(RunLaunchChain(missing, L"/ext:0", false, true), LaunchMethod::None);
    EXPECT_FALSE(LaunchWithChain(missing, L"", false));
    EXPECT_LT(::GetTickCount() - start, kQuickMs);
    EXPECT_FALSE(LaunchElevatedInSession(L"", L"", true));
    EXPECT_FALSE(LaunchAsSessionUser(L"", L"", true));
    EXPECT_FALSE(LaunchPlain(L"", L"", true));
}

TEST(Launch, ChainEndsALongRunningProgramAfterFiveSeconds) {
    LaunchTarget target;
    const DWORD start = ::GetTickCount();
    // The first method of the chain already succeeds under Wine.
    EXPECT_EQ(RunLaunchChain(target.program, target.Params(10000), false, true), LaunchMethod::ElevatedInSession);
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, kLaunchWaitMs - 100);
    EXPECT_LT(elapsed, kLaunchWaitMs + kQuickMs);
    ASSERT_EQ(testing_support::ReadLines(target.log).size(), 1u);
    // Terminated, not left running.
    EXPECT_EQ(KillProcessesByPath(target.program), kKillResultNoneTerminated);
    EXPECT_TRUE(::DeleteFileW(target.program.c_str()));
}

TEST(Launch, StopExtensionProcessStartsTheNativeArchitecturesProcess) {
    const std::wstring log = BinDir() + L"ext_process.log";
    ::DeleteFileW(log.c_str());
    // With the 32-bit stand-in gone, only the right choice can succeed.
    FileAside other(BinDir() + ExtensionProcessName(!IsNativeSystem64()));
    ASSERT_TRUE(other.moved());
    EXPECT_TRUE(StopExtensionProcess());
    const auto lines = testing_support::ReadLines(log);
    ASSERT_EQ(lines.size(), 1u);  // one method ran it, and only once
    EXPECT_EQ(lines[0], "/ext:0");
    ::DeleteFileW(log.c_str());
}

TEST(Launch, Tokens) {
    base::unique_handle token;
    EXPECT_EQ(GetExplorerToken(nullptr), kTokenFailure);
    EXPECT_EQ(GetInteractiveUserToken(nullptr), kTokenFailure);
    EXPECT_EQ(GetOwnTokenForActiveSession(nullptr), kTokenFailure);

    // The test runner starts explorer.exe, so its token is there.
    ASSERT_EQ(GetExplorerToken(&token), 0u);
    EXPECT_TRUE(token.valid());
    EXPECT_TRUE(IsAdministratorsMember(token.get()));  // Wine's user is an administrator

    // Wine lists no terminal-services session at all, so there is no active one
    // (Windows lists the console session as active) and every step that needs
    // the session id reports 1168; the interactive token comes from explorer.exe.
    DWORD session = 77;
    const DWORD sessionResult = GetActiveSessionId(&session);
    base::unique_handle sessionToken;
    const DWORD sessionTokenResult = GetActiveSessionUserToken(&sessionToken);
    if (sessionResult == ERROR_NOT_FOUND) {
        EXPECT_EQ(sessionTokenResult, static_cast<DWORD>(ERROR_NOT_FOUND));
        EXPECT_EQ(GetOwnTokenForActiveSession(&token), static_cast<DWORD>(ERROR_NOT_FOUND));
    } else {
        EXPECT_EQ(sessionResult, 0u);
        EXPECT_NE(session, 77u);
    }
    base::unique_handle interactive;
    EXPECT_EQ(GetInteractiveUserToken(&interactive), 0u);
    EXPECT_TRUE(interactive.valid());

    base::unique_handle own;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, own.put()));
    EXPECT_TRUE(IsAdministratorsMember(own.get()));
    EXPECT_FALSE(IsAdministratorsMember(nullptr));
}
