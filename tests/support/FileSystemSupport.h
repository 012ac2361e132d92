// Test helpers for file removal: shell links, symbolic links, the pending
// restart operations of the platform, and directories beside the test program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testing_support {

// True when the tests run under Wine rather than Windows.
bool RunningUnderWine();

// Writes a .lnk file pointing at `target` through IShellLinkW/IPersistFile.
bool MakeShellLink(const std::wstring& linkPath, const std::wstring& target);

// Creates a symbolic link `link` to the directory or file `target`. Wine 8
// cannot create reparse points itself, so there a host symbolic link to a
// directory is made, which Wine reports as a reparse point; links to files
// cannot be made there. True when the link exists afterwards.
bool MakeSymbolicLink(const std::wstring& link, const std::wstring& target, bool directory);

// Removes a link made by MakeSymbolicLink without touching its target.
void RemoveSymbolicLink(const std::wstring& link);

// The strings of HKLM\...\Session Manager\PendingFileRenameOperations.
std::vector<std::wstring> PendingFileRenames();
// True when `path` is registered for deletion at the next restart.
bool IsPendingDeletion(const std::wstring& path);
// Drops the registration of `path` again, so that the prefix does not collect entries.
void ForgetPendingDeletion(const std::wstring& path);

// A fresh directory beside the test program (inside the running executable's
// directory), removed with its content on destruction.
class BinSubDir : public TempDir {
public:
    explicit BinSubDir(const std::wstring& hint) : TempDir(hint, BinDir()) {}
};

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

}  // namespace testing_support
