#include "removal/SelfRemovalScript.h"

#include <cwchar>

#include "base/unique_any.h"
#include "removal/Paths.h"

namespace removal {
namespace {

constexpr wchar_t kLineEnd[] = L"\r\n";
constexpr wchar_t kTempReference[] = L"%TEMP%";

void AppendCommand(std::wstring& text, const std::wstring& command) {
    // Every command is followed by an empty line.
    text += command;
    text += kLineEnd;
    text += kLineEnd;
}

}  // namespace

std::wstring SelfRemovalScriptText(const std::wstring& exeDirectory, const std::wstring& exePath,
                                   const std::wstring& moduleDirectory) {
    std::wstring text;
    // Gives the uninstaller about two seconds to exit before the deletions start.
    AppendCommand(text, L"ping -n 3 127.0>nul");
    // The blank before each line end is part of the established script format.
    AppendCommand(text, L"del \"" + exeDirectory + kManifestFileName + L"\" /f /q ");
    AppendCommand(text, L"del \"" + exePath + L"\" /f /q ");
    AppendCommand(text, L"rd \"" + moduleDirectory + L"\" /s /q ");
    return text;
}

std::string SelfRemovalScriptBytes(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int needed = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string bytes(static_cast<size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), size, bytes.data(), needed, nullptr, nullptr);
    return bytes;
}

std::wstring SelfRemovalScriptPath(const std::wstring& tempFolder, DWORD tick) {
    wchar_t name[16] = {};
    std::swprintf(name, sizeof(name) / sizeof(name[0]), L"%lx", static_cast<unsigned long>(tick));
    return tempFolder + L"\\" + name + L".bat";
}

void WriteSelfRemovalScript(std::wstring& scriptPath) {
    scriptPath.clear();
    std::wstring temp;
    // An undefined variable comes back as its own reference: no folder either.
    if (!ExpandEnvVar(kTempReference, temp) || temp == kTempReference) return;
    scriptPath = SelfRemovalScriptPath(temp, ::GetTickCount());

    const std::string bytes = SelfRemovalScriptBytes(
        SelfRemovalScriptText(GetExeDirectoryWithSeparator(), GetModulePath(), GetModuleDirectory()));
    base::unique_hfile file(::CreateFileW(scriptPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace removal
