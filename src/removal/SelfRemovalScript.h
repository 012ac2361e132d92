// The batch script left in the temporary folder that deletes the uninstaller's
// directory once the uninstaller process has ended.
#pragma once

#include <windows.h>

#include <string>

namespace removal {

// The install manifest beside the uninstaller (the script deletes it first).
constexpr wchar_t kManifestFileName[] = L"installconfig.xml";

// The script text with CRLF line ends: each command, then an empty line.
// `exeDirectory` and `moduleDirectory` end in a backslash.
std::wstring SelfRemovalScriptText(const std::wstring& exeDirectory, const std::wstring& exePath,
                                   const std::wstring& moduleDirectory);
// The script as written to disk: the text in the thread's ANSI code page.
std::string SelfRemovalScriptBytes(const std::wstring& text);
// "<temp>\<tick as %x>.bat".
std::wstring SelfRemovalScriptPath(const std::wstring& tempFolder, DWORD tick);

// Writes the script for the running executable into %TEMP% and leaves its path
// in `scriptPath` (empty when %TEMP% cannot be expanded). A file that cannot be
// created leaves the path set and nothing written.
void WriteSelfRemovalScript(std::wstring& scriptPath);

}  // namespace removal
