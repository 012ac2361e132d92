// Test helpers for file removal: shell links, symbolic links and the pending
// restart operations of the platform.
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

// Symbolic links to directories, removed (never their targets) on destruction.
// Wine 8 cannot create reparse points itself, so there a host symbolic link is
// made, which Wine reports as a reparse point; Wine shows a host link to a file
// as a plain file (deleting it deletes the target), so no links to files.
class ScopedLinks {
public:
    ScopedLinks() = default;
    ~ScopedLinks() { RemoveAll(); }
    ScopedLinks(const ScopedLinks&) = delete;
    ScopedLinks& operator=(const ScopedLinks&) = delete;
    // True when the link exists afterwards.
    bool Make(const std::wstring& link, const std::wstring& target);
    void RemoveAll();

private:
    std::vector<std::wstring> links_;
};

// The strings of HKLM\...\Session Manager\PendingFileRenameOperations.
std::vector<std::wstring> PendingFileRenames();
// True when `path` is registered for deletion at the next restart.
bool IsPendingDeletion(const std::wstring& path);
// Drops the registration of `path` again, so that the prefix does not collect entries.
void ForgetPendingDeletion(const std::wstring& path);

}  // namespace testing_support
