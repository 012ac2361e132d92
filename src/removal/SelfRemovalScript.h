// The batch script left in the temporary folder that deletes the uninstaller's
// directory once the uninstaller process has ended.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/unique_any.h"

namespace removal {

// The install manifest beside the uninstaller (the script deletes it first).
constexpr wchar_t kManifestFileName[] = L"installconfig.xml";

// How the script's last line treats the uninstaller's directory.
enum class DirectoryRemoval {
    kWithContents,  // "rd /s /q": the manifest was found and the directory names the product
    kIfEmpty,       // plain "rd": files the manifest did not list (the user's) stay
    kNever,         // a volume root, system or shell folder: no line at all
};
DirectoryRemoval ChooseDirectoryRemoval(const std::wstring& directory, bool manifestFound,
                                        const std::vector<std::wstring>& protectedFolders);

struct SelfRemovalTarget {
    std::wstring exeDirectory;     // ends in a backslash
    std::wstring exePath;
    std::wstring moduleDirectory;  // ends in a backslash; the directory the last line removes
    bool manifestFound = false;
};

// The script in `codePage` with CRLF line ends: each command, then an empty
// line. False, with `bytes` empty, when a path cannot be written into a
// command line of that code page exactly.
bool SelfRemovalScriptBytes(const SelfRemovalTarget& target, const std::vector<std::wstring>& protectedFolders,
                            UINT codePage, std::string& bytes);
// "<temp>\<tick as %x>.bat".
std::wstring SelfRemovalScriptPath(const std::wstring& tempFolder, DWORD tick);

// Writes the script for the running executable into %TEMP% in the thread's
// ANSI code page and leaves its path in `scriptPath`. The path stays empty when
// %TEMP% cannot be expanded or the script must not be written; a file that
// cannot be created leaves the path set and nothing written.
void WriteSelfRemovalScript(std::wstring& scriptPath, bool manifestFound);

// Starts the script at `scriptPath` as the system's own command processor
// runs a batch file, in a hidden console, and does not wait for it. False when
// there is no script there or it could not be started.
bool StartSelfRemovalScript(const std::wstring& scriptPath);

// The same start in two halves, so that the command processor's process is
// made while the run still works and the script only runs once the run is
// over: Prepare makes the process, suspended, on a thread of its own; Launch
// lets it run (or starts the script the plain way when nothing was prepared
// for that path). Until Launch the process belongs to a job that ends it with
// this object, or with this process should it die first: a prepared script
// never runs unless launched.
class PreparedScriptStart {
public:
    PreparedScriptStart() = default;
    PreparedScriptStart(const PreparedScriptStart&) = delete;
    PreparedScriptStart& operator=(const PreparedScriptStart&) = delete;
    ~PreparedScriptStart();

    void Prepare(const std::wstring& scriptPath);
    bool Launch(const std::wstring& scriptPath);

private:
    static DWORD WINAPI MakeProcess(void* self);
    void Join();

    std::wstring path_;
    base::unique_handle maker_;
    base::unique_handle job_;
    base::unique_handle process_;
    base::unique_handle thread_;
};

}  // namespace removal
