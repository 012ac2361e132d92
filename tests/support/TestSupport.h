// Helpers shared by the test programs: temporary directories, files, child
// processes and the installation directories that tests lay down.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// Directory of the test program, which also holds uninst.exe and the companions.
std::wstring BinDir();
// Directory of the 64-bit builds of the stand-ins whose processes the uninstaller
// meets: BinDir() in the x64 build, its x64\ folder in the i686 build.
std::wstring NativeBinDir();
// The machine field (IMAGE_FILE_MACHINE_*) of a program or library file; 0 when unreadable.
WORD ImageMachine(const std::wstring& path);

// A fresh directory under `parent` (default: the temporary folder), removed with
// its content on destruction. path() ends in a backslash.
class TempDir {
public:
    explicit TempDir(const std::wstring& hint = L"t", const std::wstring& parent = {});
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool WriteUtf8(const std::wstring& path, const std::wstring& text);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
bool CopyInto(const std::wstring& fromBinName, const std::wstring& toDir);

struct ProcessResult {
    bool started = false;
    bool finished = false;
    DWORD exitCode = 0;
    std::string output;  // standard output, carriage returns dropped
};
// Starts a program with arguments, its standard output captured, and waits up
// to timeoutMs; a process still running then is terminated (finished stays false).
ProcessResult RunProcess(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs = 30000);

// Lines of a UTF-8 text file, without line ends.
std::vector<std::string> ReadLines(const std::wstring& path);
// Names of the files (not directories) in `dir` matching `pattern`.
std::vector<std::wstring> NamesIn(const std::wstring& dir, const std::wstring& pattern = L"*");

// "program" quoted, then the arguments if any.
std::wstring CommandLine(const std::wstring& program, const std::wstring& arguments);

// Waits until `condition` holds, polling every few milliseconds; false on time-out.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = 10000) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(20);
    }
}

// Registry keys, in the given view (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY).
bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
// Creates the key with a string value (the default one unless named), so that
// a key with data is what a deletion meets.
bool CreateKey(HKEY root, const std::wstring& path, REGSAM view = 0, const wchar_t* name = nullptr,
               const std::wstring& value = L"x");

// Key trees a test lays down: deleted when tracked, and again on destruction
// whatever the test did.
class ScopedKeys {
public:
    ScopedKeys() = default;
    ~ScopedKeys();
    ScopedKeys(const ScopedKeys&) = delete;
    ScopedKeys& operator=(const ScopedKeys&) = delete;
    void Track(HKEY root, const std::wstring& path, REGSAM view = 0);
    bool Create(HKEY root, const std::wstring& path, REGSAM view = 0, const wchar_t* name = nullptr,
                const std::wstring& value = L"x") {
        Track(root, path, view);
        return CreateKey(root, path, view, name, value);
    }

private:
    struct Key {
        HKEY root;
        std::wstring path;
        REGSAM view;
    };
    static void Delete(const Key& key);
    std::vector<Key> keys_;
};

// One usage-report record as the SDK stand-in wrote it: table and fields in order.
struct ReportRecord {
    std::string table;
    std::vector<std::pair<std::string, std::string>> fields;  // name, value (numbers as decimal text)
    std::string value(const std::string& name) const;         // "" when absent
    std::vector<std::string> names() const;
};
// The stand-in's report log: one JSON object per line.
std::vector<ReportRecord> ParseReports(const std::string& jsonLines);

}  // namespace testing_support
