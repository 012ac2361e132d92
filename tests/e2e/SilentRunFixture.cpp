#include "SilentRunFixture.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>

#include "SampleLayout.h"
#include "base/text.h"
#include "support/FileSystemSupport.h"

namespace silent_run {

namespace {

constexpr wchar_t kUninstaller[] = L"uninst.exe";
constexpr char kStepMark[] = "uninst: step ";
constexpr int kFirstStep = 1;
constexpr int kLastMark = 18;  // after step 17
constexpr DWORD kRunTimeoutMs = 60000;
constexpr DWORD kScriptDoneWaitMs = 10000;
constexpr DWORD kHoldWaitMs = 10000;
constexpr DWORD kPollMs = 50;

// The step whose run the trace mark ends: "uninst: step N" ends step N-1.
constexpr int kNotAStep = -1;
int StepEndedBy(const std::string& trace) {
    if (trace.rfind(kStepMark, 0) != 0) return kNotAStep;
    return std::atoi(trace.c_str() + sizeof(kStepMark) - 1) - 1;
}

}  // namespace

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_DEFAULT, path);
    return std::wstring(path) + L"\\";
}

uint32_t UserDword(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    return ::RegGetValueW(HKEY_CURRENT_USER, sample::kProductKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value,
                          &size) == ERROR_SUCCESS
               ? value
               : ~0u;
}

void ExpectInventory(const testing_support::SampleInstallation& installation,
                     std::initializer_list<std::pair<const char*, const char*>> fields) {
    auto inventory = installation.Inventory();
    for (const auto& [field, value] : fields) EXPECT_EQ(inventory[field], value) << field;
}

bool ReplaceInFile(const std::wstring& path, const std::string& what, const std::string& with) {
    std::string text = testing_support::ReadBytes(path);
    const size_t at = text.find(what);
    return at != std::string::npos && testing_support::WriteBytes(path, text.replace(at, what.size(), with));
}

bool RunScriptLikeTheShell(const std::wstring& script) {
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    return testing_support::RunProcess(std::wstring(system) + L"\\cmd.exe", L"/c \"" + script + L"\"").finished;
}

void WaitForScriptsToFinish(const std::wstring& tempDir) {
    // The script's command processor holds the script file open while it runs;
    // once the file can be deleted the script has finished (or never started).
    const DWORD start = ::GetTickCount();
    for (const std::wstring& script : NamesIn(tempDir, L"*.bat")) {
        const std::wstring path = tempDir + script;
        while (!::DeleteFileW(path.c_str()) && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
               ::GetTickCount() - start < kScriptDoneWaitMs) {
            ::Sleep(kPollMs);
        }
    }
}

SilentRun::SilentRun(const std::wstring& setupOptions, const std::wstring& dirName)
    : installation_(setupOptions + L" --log-dir \"" + logs_.path().substr(0, logs_.path().size() - 1) + L"\"", dirName) {}

SilentRun::~SilentRun() {
    WaitForScriptsToFinish(temp_.path());
    // The run registers what it could not delete for the next restart; the
    // prefix should not collect those entries from test to test.
    const std::wstring dir = installation_.dir();
    for (const std::wstring& entry : testing_support::PendingFileRenames()) {
        const size_t at = base::ToLowerInvariant(entry).find(base::ToLowerInvariant(dir));
        if (at != std::wstring::npos) testing_support::ForgetPendingDeletion(entry.substr(at));
    }
}

const testing_support::TracedRun& SilentRun::Run(const std::wstring& arguments, const std::wstring& program) {
    marks_.clear();
    run_ = testing_support::RunTraced(
        program.empty() ? installation_.dir() + kUninstaller : program, arguments, temp_.path(),
        [this](const std::string& trace) {
            if (holdStep_ != 0 && StepEndedBy(trace) + 1 == holdStep_) {
                testing_support::WaitUntil([&] { return Log(holdLog_.c_str()).find(holdNeedle_) != std::string::npos; },
                                           kHoldWaitMs);
            }
            marks_.emplace_back(trace, ReadLogs());
        },
        kRunTimeoutMs);
    return run_;
}

void SilentRun::HoldAtStepUntilLogged(int step, const wchar_t* name, const std::string& needle) {
    holdStep_ = step;
    holdLog_ = name;
    holdNeedle_ = needle;
}

bool SilentRun::StepMarksSeen() const {
    int expected = kFirstStep;
    for (const std::string& trace : run_.traces) {
        const int ended = StepEndedBy(trace);
        if (ended == kNotAStep) continue;
        if (ended + 1 != expected) return false;
        ++expected;
    }
    return expected == kLastMark + 1;
}

std::map<std::wstring, std::string> SilentRun::ReadLogs() const {
    std::map<std::wstring, std::string> logs;
    for (const std::wstring& name : NamesIn(logs_.path(), L"*")) {
        logs[name] = testing_support::ReadBytes(logs_.path() + name);
    }
    return logs;
}

std::string SilentRun::Log(const wchar_t* name) const { return testing_support::ReadBytes(logs_.path() + name); }

std::vector<ReportRecord> SilentRun::Reports() const {
    return testing_support::ParseReports(Log(L"qsdxbase_reports.jsonl"));
}

int SilentRun::StepOf(const wchar_t* name, const std::string& needle) const {
    for (const auto& [trace, logs] : marks_) {
        const int ended = StepEndedBy(trace);
        if (ended == kNotAStep) continue;
        const auto it = logs.find(name);
        if (it != logs.end() && it->second.find(needle) != std::string::npos) return ended;
    }
    return Log(name).find(needle) != std::string::npos ? kAfterTheSequence : kNeverSeen;
}

std::vector<std::wstring> SilentRun::Scripts() const { return NamesIn(temp_.path(), L"*.bat"); }

bool SilentRun::WaitForDirectoryGone(DWORD timeoutMs) const {
    return testing_support::WaitUntil([&] { return !testing_support::Exists(installation_.dir()); }, timeoutMs);
}

std::string SilentRun::ExpectRemoved(DWORD timeoutMs) const {
    EXPECT_TRUE(WaitForDirectoryGone(timeoutMs));
    const auto check = installation_.CheckRemoved();
    EXPECT_EQ(check.exitCode, 0u) << check.output;
    return check.output;
}

}  // namespace silent_run
