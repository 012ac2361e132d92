// One silent removal of a sample installation, watched from outside: the
// stand-ins log into a directory of the test's own (the removal takes the
// installation directory away), the uninstaller's temporary folder is a
// directory of the test's own (where its self-removal script lands), and at
// each of the uninstaller's step marks the logs are read, so that a test can
// tell in which step each stand-in was called.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/SampleInstallation.h"
#include "support/TestSupport.h"
#include "support/TracedRun.h"

namespace silent_run {

using testing_support::ReportRecord;
using testing_support::KeyExists;
using testing_support::NamesIn;

// The platform as the tests look at it.
std::wstring ShellFolder(int csidl);  // a shell folder, with a trailing backslash
// A value of the current user's product key; ~0u when absent.
uint32_t UserDword(const wchar_t* name);
// Each field of the installer's inventory has the value given.
void ExpectInventory(const testing_support::SampleInstallation& installation,
                     std::initializer_list<std::pair<const char*, const char*>> fields);
// Replaces the first `what` in the file by `with`; false when `what` is absent.
bool ReplaceInFile(const std::wstring& path, const std::string& what, const std::string& with);

// Generous: the script waits 2 s, then empties a tree while other tests load the machine.
constexpr DWORD kScriptWaitMs = 30000;

// Sentinel results of SilentRun::StepOf.
constexpr int kNeverSeen = -1;
constexpr int kBeforeTheSequence = 0;   // seen at the mark of step 1
constexpr int kAfterTheSequence = 99;   // only after the last mark

// Runs a self-removal script the way the shell does ("cmd /c") and waits for it.
bool RunScriptLikeTheShell(const std::wstring& script);
// Waits until no command processor holds a script in `tempDir` any more
// (the one the uninstaller handed to the shell) and deletes the scripts.
void WaitForScriptsToFinish(const std::wstring& tempDir);

class SilentRun {
public:
    // setupOptions: the installer's options, e.g. L"--tiny --no-service";
    // dirName: the installation directory below a fresh parent.
    explicit SilentRun(const std::wstring& setupOptions, const std::wstring& dirName = L"Lumenox");
    // Lets the self-removal script finish with the script file before the
    // installation is taken away.
    ~SilentRun();
    SilentRun(const SilentRun&) = delete;
    SilentRun& operator=(const SilentRun&) = delete;

    testing_support::SampleInstallation& installation() { return installation_; }
    const std::wstring& dir() const { return installation_.dir(); }
    const std::wstring& logs() const { return logs_.path(); }
    const std::wstring& temp() const { return temp_.path(); }

    // At the mark that starts step `step` the next run waits (a bounded time)
    // until the log `name` shows `needle`: a program it started without waiting
    // gets the time to show itself before the run may end it.
    void HoldAtStepUntilLogged(int step, const wchar_t* name, const std::string& needle);
    // Runs the installation's uninst.exe (or `program`) with `arguments` and waits for it.
    const testing_support::TracedRun& Run(const std::wstring& arguments, const std::wstring& program = {});
    const testing_support::TracedRun& run() const { return run_; }
    bool StepMarksSeen() const;  // "uninst: step 1" to "uninst: step 18" in order

    // Content of a file in the log directory now.
    std::string Log(const wchar_t* name) const;
    std::vector<ReportRecord> Reports() const;
    // The step during which `needle` first appeared in the log `name`:
    // kBeforeTheSequence, 1..17, kAfterTheSequence, or kNeverSeen.
    int StepOf(const wchar_t* name, const std::string& needle) const;

    // File names in the uninstaller's temporary folder ending in ".bat".
    std::vector<std::wstring> Scripts() const;
    // Waits until the installation directory is gone; false on time-out.
    bool WaitForDirectoryGone(DWORD timeoutMs = kScriptWaitMs) const;
    // Waits for the self-removal script, then asks the installer whether
    // everything listed went (failing the test with its account if not); the account.
    std::string ExpectRemoved(DWORD timeoutMs = kScriptWaitMs) const;

private:
    std::map<std::wstring, std::string> ReadLogs() const;

    testing_support::TempDir logs_{L"runlogs"};
    testing_support::TempDir temp_{L"runtemp"};
    testing_support::SampleInstallation installation_;
    testing_support::TracedRun run_;
    int holdStep_ = 0;
    std::wstring holdLog_;
    std::string holdNeedle_;
    // The log directory's content at each trace of the run.
    std::vector<std::pair<std::string, std::map<std::wstring, std::string>>> marks_;
};

// Options that keep a run small and quick: no service, viewer or helper process.
constexpr wchar_t kQuiet[] = L"--tiny --no-service --no-viewer --no-processes";

}  // namespace silent_run
