// Folders that hold far more than the product: volume roots, the system's own
// folders and the users' shell folders. The removal never takes them away and
// never ends the processes running from them, whatever a manifest or the
// uninstaller's own location says.
#pragma once

#include <string>
#include <vector>

namespace removal {

// True for a volume's root ("C:\", "C:", "\\server\share\", their "\\?\" forms)
// and for an empty path.
bool IsVolumeRoot(const std::wstring& dir);

// True when `dir` is a volume root, one of `folders`, or holds one of them
// (case ignored, "/" read as "\", trailing separators ignored).
bool IsProtectedFolder(const std::wstring& dir, const std::vector<std::wstring>& folders);

// The Windows, system and programs folders, the temporary folder and the shell
// folders of the current user and of all users, as the platform reports them
// now; folders it cannot report are left out. While a ShellFolderReading lives
// on the calling thread, the answer is that reading's.
std::vector<std::wstring> SystemAndShellFolders();

// One reading of the system and shell folders for the length of a removal run
// on this thread: the first question reads them, later ones get that answer.
// A reading costs hundreds of registry and file calls, and several steps of a
// run ask; the folders do not move while the run lasts. Readings nest: the
// innermost answers.
class ShellFolderReading {
public:
    ShellFolderReading();
    ~ShellFolderReading();
    ShellFolderReading(const ShellFolderReading&) = delete;
    ShellFolderReading& operator=(const ShellFolderReading&) = delete;

private:
    friend std::vector<std::wstring> SystemAndShellFolders();
    ShellFolderReading* outer_;
    bool read_ = false;
    std::vector<std::wstring> folders_;
};

// IsProtectedFolder over SystemAndShellFolders().
bool IsProtectedFolder(const std::wstring& dir);

}  // namespace removal
