#include "removal/SelfRemovalScript.h"

#include <cwchar>

#include "base/platform.h"
#include "base/unique_any.h"
#include "removal/FileRemoval.h"
#include "removal/Paths.h"
#include "removal/ProtectedFolders.h"

namespace removal {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr wchar_t kTempReference[] = L"%TEMP%";
constexpr wchar_t kCommandProcessor[] = L"\\cmd.exe";
// What ResumeThread answers when it failed.
constexpr DWORD kResumeFailed = static_cast<DWORD>(-1);

void AppendCommand(std::string& text, const std::string& command) {
    // Every command is followed by an empty line.
    text += command;
    text += kLineEnd;
    text += kLineEnd;
}

// `text` in `codePage` without best-fit stand-ins; false when a character has
// no exact counterpart there.
bool ToCodePageExactly(const std::wstring& text, UINT codePage, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    const int size = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    BOOL* usedDefaultOut = &usedDefault;
    int needed = ::WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, usedDefaultOut);
    if (needed <= 0) {
        // UTF-8 takes neither that flag nor a default character.
        flags = WC_ERR_INVALID_CHARS;
        usedDefaultOut = nullptr;
        needed = ::WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    }
    if (needed <= 0 || usedDefault) return false;
    out.assign(static_cast<size_t>(needed), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), size, out.data(), needed, nullptr, usedDefaultOut);
    // The way back must give the very same characters.
    const int back = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, out.data(), needed, nullptr, 0);
    std::wstring again(static_cast<size_t>(back > 0 ? back : 0), L'\0');
    if (back > 0) ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, out.data(), needed, again.data(), back);
    return !usedDefault && again == text;
}

// A path as it goes between the quotes of a command: in `codePage`, with "%"
// doubled so that the command processor reads no variable reference into it.
// False for an empty path, a character without an exact counterpart (a
// best-fit '"' for a fullwidth quote, a '?') and a quote in the result: each
// would send the command to another path.
bool QuotedPathBytes(const std::wstring& path, UINT codePage, std::string& out) {
    std::wstring escaped;
    for (const wchar_t c : path) {
        escaped += c;
        if (c == L'%') escaped += c;
    }
    if (escaped.empty() || !ToCodePageExactly(escaped, codePage, out) || out.find('"') != std::string::npos) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace

DirectoryRemoval ChooseDirectoryRemoval(const std::wstring& directory, bool manifestFound,
                                        const std::vector<std::wstring>& protectedFolders) {
    if (IsProtectedFolder(directory, protectedFolders)) return DirectoryRemoval::kNever;
    // Without the product's manifest, or outside a directory that names the
    // product, the directory may hold files of the user's own.
    if (manifestFound && HasProductWord(directory)) return DirectoryRemoval::kWithContents;
    return DirectoryRemoval::kIfEmpty;
}

bool SelfRemovalScriptBytes(const SelfRemovalTarget& target, const std::vector<std::wstring>& protectedFolders,
                            UINT codePage, std::string& bytes) {
    bytes.clear();
    std::string manifest;
    std::string exe;
    std::string dir;
    if (!QuotedPathBytes(target.exeDirectory + kManifestFileName, codePage, manifest) ||
        !QuotedPathBytes(target.exePath, codePage, exe) || !QuotedPathBytes(target.moduleDirectory, codePage, dir)) {
        return false;
    }
    // Gives the uninstaller about two seconds to exit before the deletions start.
    AppendCommand(bytes, "ping -n 3 127.0>nul");
    // The blank before each line end is part of the established script format.
    AppendCommand(bytes, "del \"" + manifest + "\" /f /q ");
    AppendCommand(bytes, "del \"" + exe + "\" /f /q ");
    switch (ChooseDirectoryRemoval(target.moduleDirectory, target.manifestFound, protectedFolders)) {
        case DirectoryRemoval::kWithContents: AppendCommand(bytes, "rd \"" + dir + "\" /s /q "); break;
        case DirectoryRemoval::kIfEmpty: AppendCommand(bytes, "rd \"" + dir + "\" "); break;
        case DirectoryRemoval::kNever: break;
    }
    return true;
}

std::wstring SelfRemovalScriptPath(const std::wstring& tempFolder, DWORD tick) {
    wchar_t name[16] = {};
    std::swprintf(name, sizeof(name) / sizeof(name[0]), L"%lx", static_cast<unsigned long>(tick));
    return tempFolder + L"\\" + name + L".bat";
}

void WriteSelfRemovalScript(std::wstring& scriptPath, bool manifestFound) {
    scriptPath.clear();
    std::wstring temp;
    // An undefined variable comes back as its own reference: no folder either.
    if (!ExpandEnvVar(kTempReference, temp) || temp == kTempReference) return;

    const SelfRemovalTarget target{base::GetExeDirectoryWithSeparator(), base::GetModulePath(), base::GetModuleDirectory(),
                                   manifestFound};
    std::string bytes;
    // A path the script cannot name exactly gets no script: the directory and
    // what is left in it stay for the user to delete.
    if (!SelfRemovalScriptBytes(target, SystemAndShellFolders(), CP_THREAD_ACP, bytes)) return;
    scriptPath = SelfRemovalScriptPath(temp, ::GetTickCount());
    base::unique_hfile file(::CreateFileW(scriptPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

namespace {

// `"<system>\cmd.exe" /s /c ""<script>""`: the outer quotes go, the inner pair
// keeps blanks and "&" of the path inside one name.
bool ScriptCommandLine(const std::wstring& scriptPath, std::wstring& commandLine) {
    if (scriptPath.empty() || !base::FileIsPresent(scriptPath)) return false;
    wchar_t system[base::kMaxPathChars] = {};
    const UINT length = ::GetSystemDirectoryW(system, static_cast<UINT>(base::kMaxPathChars));
    if (length == 0 || length >= base::kMaxPathChars) return false;
    commandLine = L"\"" + std::wstring(system, length) + kCommandProcessor + L"\" /s /c \"\"" + scriptPath + L"\"\"";
    return true;
}

bool CreateScriptProcess(std::wstring commandLine, DWORD flags, base::unique_handle& process,
                         base::unique_handle& thread) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE | flags, nullptr,
                          nullptr, &startup, &started)) {
        return false;
    }
    process.reset(started.hProcess);
    thread.reset(started.hThread);
    return true;
}

bool SetKillOnClose(HANDLE job, bool on) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = on ? JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE : 0;
    return ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) != FALSE;
}

}  // namespace

bool StartSelfRemovalScript(const std::wstring& scriptPath) {
    std::wstring commandLine;
    base::unique_handle process;
    base::unique_handle thread;
    return ScriptCommandLine(scriptPath, commandLine) && CreateScriptProcess(commandLine, 0, process, thread);
}

PreparedScriptStart::~PreparedScriptStart() {
    Join();
    // Never launched: ended here, and by the job's end should this be skipped.
    if (process_) ::TerminateProcess(process_.get(), 0);
}

void PreparedScriptStart::Prepare(const std::wstring& scriptPath) {
    if (maker_ || scriptPath.empty()) return;
    path_ = scriptPath;
    maker_.reset(::CreateThread(nullptr, 0, MakeProcess, this, 0, nullptr));
}

DWORD WINAPI PreparedScriptStart::MakeProcess(void* self) {
    auto* start = static_cast<PreparedScriptStart*>(self);
    std::wstring commandLine;
    if (!ScriptCommandLine(start->path_, commandLine)) return 0;
    start->job_.reset(::CreateJobObjectW(nullptr, nullptr));
    if (!start->job_ || !SetKillOnClose(start->job_.get(), true)) return 0;
    if (!CreateScriptProcess(commandLine, CREATE_SUSPENDED, start->process_, start->thread_)) return 0;
    // Outside the job the process could outlive a crash of this one, suspended.
    if (!::AssignProcessToJobObject(start->job_.get(), start->process_.get())) {
        ::TerminateProcess(start->process_.get(), 0);
        start->process_.reset();
        start->thread_.reset();
    }
    return 0;
}

void PreparedScriptStart::Join() {
    if (maker_) ::WaitForSingleObject(maker_.get(), INFINITE);
    maker_.reset();
}

bool PreparedScriptStart::Launch(const std::wstring& scriptPath) {
    Join();
    // The job must no longer end the process once it runs: the script outlives this one.
    if (process_ && scriptPath == path_ && base::FileIsPresent(scriptPath) && SetKillOnClose(job_.get(), false) &&
        ::ResumeThread(thread_.get()) != kResumeFailed) {
        process_.reset();
        thread_.reset();
        job_.reset();
        return true;
    }
    return StartSelfRemovalScript(scriptPath);
}

}  // namespace removal
