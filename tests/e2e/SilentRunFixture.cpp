#include "SilentRunFixture.h"

#include <cstdlib>

#include "base/text.h"
#include "base/unique_any.h"
#include "support/FileSystemSupport.h"

namespace silent_run {

namespace {

constexpr wchar_t kUninstaller[] = L"uninst.exe";
constexpr char kStepMark[] = "uninst: step ";
constexpr int kFirstStep = 1;
constexpr int kLastMark = 18;  // after step 17
constexpr DWORD kRunTimeoutMs = 60000;
// The script waits about two seconds before it deletes anything.
constexpr DWORD kScriptDoneWaitMs = 10000;
constexpr DWORD kPollMs = 50;

std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

// The JSON string starting at text[pos] (a quote); pos ends after it.
std::string JsonString(const std::string& text, size_t& pos) {
    std::string out;
    if (pos >= text.size() || text[pos] != '"') return out;
    for (++pos; pos < text.size() && text[pos] != '"'; ++pos) {
        if (text[pos] == '\\' && pos + 1 < text.size()) ++pos;
        out += text[pos];
    }
    ++pos;
    return out;
}

std::string AfterKey(const std::string& text, size_t& pos, const std::string& key) {
    const size_t at = text.find("\"" + key + "\":", pos);
    if (at == std::string::npos) {
        pos = std::string::npos;
        return {};
    }
    pos = at + key.size() + 3;
    if (pos < text.size() && text[pos] == '"') return JsonString(text, pos);
    const size_t end = text.find_first_of(",}", pos);
    std::string number = text.substr(pos, end - pos);
    pos = end;
    return number;
}

}  // namespace

std::vector<std::wstring> NamesIn(const std::wstring& dir, const wchar_t* pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data = {};
    base::unique_find find(::FindFirstFileW((dir + pattern).c_str(), &data));
    if (!find) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (::FindNextFileW(find.get(), &data));
    return names;
}

std::vector<std::string> ReportRecord::names() const {
    std::vector<std::string> out;
    for (const auto& field : fields) out.push_back(field.first);
    return out;
}

std::string ReportRecord::value(const std::string& name) const {
    for (const auto& field : fields) {
        if (field.first == name) return field.second;
    }
    return {};
}

std::vector<ReportRecord> ParseReports(const std::string& jsonLines) {
    std::vector<ReportRecord> records;
    size_t start = 0;
    while (start < jsonLines.size()) {
        size_t end = jsonLines.find('\n', start);
        if (end == std::string::npos) end = jsonLines.size();
        const std::string line = jsonLines.substr(start, end - start);
        start = end + 1;
        if (line.find("\"table\"") == std::string::npos) continue;
        ReportRecord record;
        size_t pos = 0;
        record.table = AfterKey(line, pos, "table");
        for (;;) {
            const std::string name = AfterKey(line, pos, "name");
            if (pos == std::string::npos) break;
            // Each field carries either "int" or "text" right after its name.
            const size_t intAt = line.find("\"int\":", pos);
            const size_t textAt = line.find("\"text\":", pos);
            const std::string value = AfterKey(line, pos, intAt < textAt ? "int" : "text");
            record.fields.emplace_back(name, value);
            if (pos == std::string::npos) break;
        }
        records.push_back(record);
    }
    return records;
}

int StepEndedBy(const std::string& trace) {
    if (trace.rfind(kStepMark, 0) != 0) return kNotAStep;
    return std::atoi(trace.c_str() + sizeof(kStepMark) - 1) - 1;
}

SilentRun::SilentRun(const std::wstring& setupOptions, const std::wstring& below)
    : installation_(setupOptions + L" --log-dir \"" + WithoutTrailingSeparator(logs_.path()) + L"\"", below) {}

SilentRun::~SilentRun() {
    // The script's command processor holds the script file open while it runs;
    // once the file can be deleted the script has finished (or never started).
    const DWORD start = ::GetTickCount();
    for (const std::wstring& script : Scripts()) {
        const std::wstring path = temp_.path() + script;
        while (!::DeleteFileW(path.c_str()) && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
               ::GetTickCount() - start < kScriptDoneWaitMs) {
            ::Sleep(kPollMs);
        }
    }
    // The run registers what it could not delete for the next restart; the
    // prefix should not collect those entries from test to test.
    const std::wstring dir = installation_.dir();
    for (const std::wstring& entry : testing_support::PendingFileRenames()) {
        const size_t at = base::ToLowerInvariant(entry).find(base::ToLowerInvariant(dir));
        if (at != std::wstring::npos) testing_support::ForgetPendingDeletion(entry.substr(at));
    }
}

const testing_support::TracedRun& SilentRun::Run(const std::wstring& arguments) {
    marks_.clear();
    run_ = testing_support::RunTraced(
        installation_.dir() + kUninstaller, arguments, temp_.path(),
        [this](const std::string& trace) { marks_.emplace_back(trace, ReadLogs()); }, kRunTimeoutMs);
    return run_;
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

std::vector<ReportRecord> SilentRun::Reports() const { return ParseReports(Log(L"qsdxbase_reports.jsonl")); }

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

}  // namespace silent_run
