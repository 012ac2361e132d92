#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <sstream>

#include "SampleLayout.h"
#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "removal/Paths.h"

namespace testing_support {

namespace {
constexpr DWORD kReadChunk = 4096;
constexpr DWORD kPollMs = 10;
constexpr DWORD kTerminateWaitMs = 5000;

// The JSON string starting at text[pos] (a quote); pos ends after it.
std::string JsonString(const std::string& text, size_t& pos) {
    std::string out;
    for (++pos; pos < text.size() && text[pos] != '"'; ++pos) {
        if (text[pos] == '\\' && pos + 1 < text.size()) ++pos;
        out += text[pos];
    }
    ++pos;
    return out;
}
}  // namespace

std::wstring BinDir() { return base::GetExeDirectoryWithSeparator(); }

std::wstring NativeBinDir() { return sizeof(void*) == 8 ? BinDir() : BinDir() + sample::kNativeStandInsDir; }

WORD ImageMachine(const std::wstring& path) {
    const std::string bytes = ReadBytes(path);
    IMAGE_DOS_HEADER dos = {};
    if (bytes.size() < sizeof(dos)) return 0;
    std::memcpy(&dos, bytes.data(), sizeof(dos));
    const size_t machineAt = static_cast<size_t>(dos.e_lfanew) + sizeof(DWORD);  // after "PE\0\0"
    WORD machine = 0;
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 || bytes.size() < machineAt + sizeof(machine)) return 0;
    std::memcpy(&machine, bytes.data() + machineAt, sizeof(machine));
    return machine;
}

TempDir::TempDir(const std::wstring& hint, const std::wstring& parent) {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH] = {};
    if (parent.empty()) ::GetTempPathW(MAX_PATH, temp);
    do {
        path_ = (parent.empty() ? std::wstring(temp) : parent) + L"uninst_" + hint + L"_" +
                std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++counter) + L"\\";
    } while (!::CreateDirectoryW(path_.c_str(), nullptr) && ::GetLastError() == ERROR_ALREADY_EXISTS);
}

TempDir::~TempDir() { base::RemoveTree(path_); }

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    base::unique_hfile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return bytes.empty() ||
           (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size());
}

bool WriteUtf8(const std::wstring& path, const std::wstring& text) { return WriteBytes(path, base::WideToUtf8(text)); }

std::string ReadBytes(const std::wstring& path) {
    base::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string out;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) out.append(buffer, read);
    return out;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::wstring& path) {
    const DWORD attrs = ::GetFileAttributesW(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool CopyInto(const std::wstring& fromBinName, const std::wstring& toDir) {
    std::wstring dir = toDir;
    base::EnsureTrailingSeparator(dir);
    return ::CopyFileW((BinDir() + fromBinName).c_str(), (dir + fromBinName).c_str(), FALSE) != FALSE;
}

ProcessResult RunProcess(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    base::unique_handle reader(readEnd);
    base::unique_handle writer(writeEnd);
    ::SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);
    base::unique_hfile nul(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &inherit, OPEN_EXISTING, 0, nullptr));
    std::wstring line = CommandLine(program, arguments);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdError = nul.get();
    si.hStdOutput = writer.get();
    PROCESS_INFORMATION pi = {};
    const DWORD start = ::GetTickCount();
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        return result;
    }
    base::unique_handle process(pi.hProcess);
    base::unique_handle thread(pi.hThread);
    result.started = true;
    writer.reset();
    // Read only while the child runs: under Wine a helper that the child starts
    // (the desktop process, say) keeps the inherited write end open after it.
    const auto drain = [&] {
        char buffer[kReadChunk];
        DWORD available = 0;
        DWORD read = 0;
        while (::PeekNamedPipe(reader.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
               ::ReadFile(reader.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
            result.output.append(buffer, read);
        }
    };
    for (;;) {
        drain();
        if (::WaitForSingleObject(process.get(), kPollMs) == WAIT_OBJECT_0) {
            drain();
            result.finished = true;
            ::GetExitCodeProcess(process.get(), &result.exitCode);
            break;
        }
        if (::GetTickCount() - start > timeoutMs) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), kTerminateWaitMs);
            break;
        }
    }
    result.output.erase(std::remove(result.output.begin(), result.output.end(), '\r'), result.output.end());
    return result;
}

std::vector<std::string> ReadLines(const std::wstring& path) {
    std::vector<std::string> lines;
    std::istringstream text(ReadBytes(path));
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::wstring> NamesIn(const std::wstring& dir, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data = {};
    base::unique_find find(::FindFirstFileW((dir + pattern).c_str(), &data));
    if (!find) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (::FindNextFileW(find.get(), &data));
    return names;
}

std::wstring CommandLine(const std::wstring& program, const std::wstring& arguments) {
    return L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
    base::unique_hkey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

bool CreateKey(HKEY root, const std::wstring& path, REGSAM view, const wchar_t* name, const std::wstring& value) {
    base::unique_hkey key;
    return ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr) ==
               ERROR_SUCCESS &&
           ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

ScopedKeys::~ScopedKeys() {
    for (auto it = keys_.rbegin(); it != keys_.rend(); ++it) Delete(*it);
}

void ScopedKeys::Track(HKEY root, const std::wstring& path, REGSAM view) {
    keys_.push_back({root, path, view});
    Delete(keys_.back());
}

void ScopedKeys::Delete(const Key& key) {
    base::unique_hkey opened;
    if (::RegOpenKeyExW(key.root, key.path.c_str(), 0, KEY_ALL_ACCESS | key.view, opened.put()) == ERROR_SUCCESS) {
        ::RegDeleteTreeW(opened.get(), nullptr);
    }
    ::RegDeleteKeyExW(key.root, key.path.c_str(), key.view, 0);
}

std::string ReportRecord::value(const std::string& name) const {
    for (const auto& field : fields) {
        if (field.first == name) return field.second;
    }
    return {};
}

std::vector<std::string> ReportRecord::names() const {
    std::vector<std::string> out;
    for (const auto& field : fields) out.push_back(field.first);
    return out;
}

// {"table":"...","fields":[{"name":"...","int":N},{"name":"...","text":"..."}]} per line.
std::vector<ReportRecord> ParseReports(const std::string& jsonLines) {
    constexpr char kTable[] = "{\"table\":";
    constexpr char kName[] = "{\"name\":";
    std::vector<ReportRecord> records;
    for (size_t pos = jsonLines.find(kTable); pos != std::string::npos; pos = jsonLines.find(kTable, pos)) {
        const size_t lineEnd = std::min(jsonLines.find('\n', pos), jsonLines.size());
        ReportRecord record;
        pos += sizeof(kTable) - 1;
        record.table = JsonString(jsonLines, pos);
        while ((pos = jsonLines.find(kName, pos)) < lineEnd) {
            pos += sizeof(kName) - 1;
            const std::string name = JsonString(jsonLines, pos);
            pos = jsonLines.find(':', pos) + 1;  // after "int" or "text"
            const std::string value = jsonLines[pos] == '"' ? JsonString(jsonLines, pos)
                                                            : jsonLines.substr(pos, jsonLines.find('}', pos) - pos);
            record.fields.emplace_back(name, value);
        }
        records.push_back(record);
        pos = lineEnd;
    }
    return records;
}

}  // namespace testing_support
