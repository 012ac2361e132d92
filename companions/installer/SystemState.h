// The platform operations of the sample installer: files, registry, shell
// links, the service, processes and windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
// MD5 of a file's content as 32 lower-case hexadecimal digits; empty on failure.
std::wstring FileMd5(const std::wstring& path);
// Directory of the running executable, with a trailing backslash.
std::wstring OwnDirectory();

// view: 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY
bool SetRegDword(HKEY root, const std::wstring& path, const wchar_t* name, uint32_t value, REGSAM view = 0);
bool SetRegString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value,
                  REGSAM view = 0);
bool RegKeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
bool GetRegDword(HKEY root, const std::wstring& path, const wchar_t* name, uint32_t& value, REGSAM view = 0);
// Names of the values of a key; empty when the key is missing.
std::vector<std::wstring> RegValueNames(HKEY root, const std::wstring& path, REGSAM view = 0);
void DeleteRegTree(HKEY root, const std::wstring& path, REGSAM view = 0);

enum class Folder { UserDesktop, CommonDesktop, CommonPrograms };
// With a trailing backslash; empty when the platform does not know it.
std::wstring FolderPath(Folder folder);
bool MakeShortcut(const std::wstring& linkPath, const std::wstring& target);

// Service "state" words used by the inventory: running, stopped, start-pending, ...
std::wstring ServiceStateName(const wchar_t* name);  // "absent" when not registered
bool InstallAndStartService(const wchar_t* name, const wchar_t* displayName, const std::wstring& binary);
// Stops (also one that ignores the ordinary stop) and deletes the service.
void RemoveServiceForcibly(const wchar_t* name);

// Processes whose image lies in the directory (or below it): ids.
std::vector<DWORD> ProcessesUnder(const std::wstring& dir);
void TerminateProcessesUnder(const std::wstring& dir);
// Starts a program without any of our handles or the console attached.
bool StartDetached(const std::wstring& program, const std::wstring& arguments);

size_t CountWindowsOfClass(const wchar_t* className);

// Polls a condition until it holds; false on time-out.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(20);
    }
}

}  // namespace sample
