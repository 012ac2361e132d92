// Removal of the product's files and directories: single files (deferred to
// the next restart when locked), directory trees, the manifest's file and
// directory lists, and the installation directory itself.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace removal {

// The installation directory goes as a whole only when its lower-cased path holds one of these.
constexpr const wchar_t* kProductWords[] = {L"orbix", L"lumenox"};

// "<path>_<tick as signed decimal>_del": the name a locked file is moved to.
std::wstring DeferredDeleteName(const std::wstring& path, DWORD tick);

// Deletes a file now, or moves it aside and schedules the moved file for
// deletion at the next restart. True when it is gone or scheduled.
bool DeleteFileOrDefer(const std::wstring& path);

// Removes a directory and everything below it as far as possible (read-only
// files included). Links (junctions, symbolic links) are removed as links and
// never entered. Returns true.
bool DeleteDirectoryTree(const std::wstring& directory);

// Makes a directory inherit its parent's permissions again. True when the path
// is empty or not a directory, or when the unprotected list was written.
bool ResetDirectoryAcl(const std::wstring& directory);

// Deletes every file (directoryList false) or directory tree (true) of a list
// of paths relative to `installDir`, in order. Items whose path would leave
// the installation directory, and listed system or shell folders, are skipped.
// Files mode returns the result of the last file's deletion; directory mode
// and an empty list return false.
bool RemoveListedItems(const std::wstring& installDir, const std::vector<std::wstring>& items, bool directoryList);

// True when the lower-cased path holds one of the product words.
bool HasProductWord(const std::wstring& path);
// Removes the installation directory as a whole when it exists, names the
// product and is no volume root, system or shell folder. Returns true.
bool RemoveProductDirectory(const std::wstring& installDir);

// The two desktop folders swept for shortcuts into the installation directory.
struct DesktopFolders {
    std::wstring allUsers;
    std::wstring currentUser;
};
using DesktopFolderQuery = DesktopFolders (*)();
// The platform's folders; a folder that cannot be read is empty.
DesktopFolders QueryDesktopFolders();

// The manifest's two lists of installed items, relative to the installation directory.
struct InstalledItems {
    std::vector<std::wstring> files;
    std::vector<std::wstring> directories;
};

// The removal of an installation: records `installDir` into `recordedDir`,
// sweeps both desktops, removes the listed files and directories, the manifest
// and finally the installation directory when it names the product.
void RemoveInstalledFiles(const std::wstring& installDir, std::wstring& recordedDir, const InstalledItems& listed,
                          DesktopFolderQuery desktops = &QueryDesktopFolders);

}  // namespace removal
