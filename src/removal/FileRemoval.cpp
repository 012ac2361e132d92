#include "removal/FileRemoval.h"

#include <algorithm>

#include <aclapi.h>
#include <shlobj.h>


#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "removal/DesktopLinks.h"
#include "removal/PathContainment.h"
#include "removal/Paths.h"
#include "removal/ProcessControl.h"
#include "removal/ProtectedFolders.h"
#include "removal/SelfRemovalScript.h"

namespace removal {
namespace {

// Lets a terminated process release its image file before the deletion.
constexpr DWORD kAfterKillPauseMs = 100;
// Attribute value that clears read-only, hidden and system at once.
constexpr DWORD kNoAttributes = 0;

bool IsLink(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// "C:\a\b\" -> "C:\a\b"; a drive root keeps its separator.
std::wstring WithoutTrailingSeparator(std::wstring path) {
    constexpr size_t kDriveRootChars = 3;  // "C:\"
    while (path.size() > kDriveRootChars && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

// Removes a link itself, never what it points to: a directory link with
// RemoveDirectory, a file link with DeleteFile.
void RemoveLink(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        ::RemoveDirectoryW(path.c_str());
    } else {
        DeleteFileOrDefer(path);
    }
}

// A path in one spelling (full, long names), so that two spellings of one file
// compare equal when case is ignored. What cannot be resolved stays as it is.
std::wstring FullLongPath(const std::wstring& path) {
    const std::wstring full = base::FilledBufferText(
        [&path](wchar_t* buffer, DWORD capacity) { return ::GetFullPathNameW(path.c_str(), capacity, buffer, nullptr); });
    if (full.empty()) return path;
    const std::wstring longPath = base::FilledBufferText(
        [&full](wchar_t* buffer, DWORD capacity) { return ::GetLongPathNameW(full.c_str(), buffer, capacity); });
    return longPath.empty() ? full : longPath;
}

}  // namespace

std::wstring DeferredDeleteName(const std::wstring& path, DWORD tick) {
    // The tick is shown as a signed number: above 2^31 it turns negative.
    return path + L"_" + std::to_wstring(static_cast<int32_t>(tick)) + L"_del";
}

bool DeleteFileOrDefer(const std::wstring& path) {
    if (::DeleteFileW(path.c_str())) return true;
    // A read-only file refuses deletion now and at the restart alike, so the
    // flag goes and the deletion is tried again. The attributes are read only
    // after a refusal: most files go at the first attempt. A link's attributes
    // are left alone, they would reach its target.
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) && !IsLink(attributes) &&
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) && ::DeleteFileW(path.c_str())) {
        return true;
    }
    const std::wstring aside = DeferredDeleteName(path, ::GetTickCount());
    if (!::MoveFileExW(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    return ::MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool DeleteDirectoryTree(const std::wstring& directory) {
    std::wstring dir = directory;
    base::EnsureTrailingSeparator(dir);
    if (dir.empty()) return true;

    // A link handed in as the tree is removed as a link; its target stays untouched.
    const DWORD ownAttributes = ::GetFileAttributesW(WithoutTrailingSeparator(dir).c_str());
    // Nothing there (a listed directory already taken with its parent): no
    // listing and no removal to try.
    if (ownAttributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
    }
    if (IsLink(ownAttributes)) {
        RemoveLink(WithoutTrailingSeparator(dir), ownAttributes);
        return true;
    }

    bool result = true;
    {
        WIN32_FIND_DATAW entry = {};
        base::unique_find find(::FindFirstFileW((dir + L"*").c_str(), &entry));
        if (find) {
            do {
                const std::wstring name = entry.cFileName;
                const std::wstring path = dir + name;
                if (IsLink(entry.dwFileAttributes)) {
                    // Never descend into a junction or symbolic link, and leave the
                    // attributes alone: setting them would reach the target.
                    RemoveLink(path, entry.dwFileAttributes);
                } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    if (name == L"." || name == L"..") continue;
                    if (!DeleteDirectoryTree(path + L"\\")) {
                        result = false;
                        break;
                    }
                } else {
                    ::SetFileAttributesW(path.c_str(), kNoAttributes);
                    DeleteFileOrDefer(path);
                }
            } while (::FindNextFileW(find.get(), &entry));
        }
    }
    // Files moved aside keep the directory until the restart.
    ::RemoveDirectoryW(dir.c_str());
    return result;
}

bool ResetDirectoryAcl(const std::wstring& directory) {
    if (directory.empty()) return true;
    const DWORD attributes = ::GetFileAttributesW(directory.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;

    PACL dacl = nullptr;
    base::unique_local descriptor;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (::GetNamedSecurityInfoW(directory.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                &dacl, nullptr, &raw) != ERROR_SUCCESS) {
        return false;
    }
    descriptor.reset(raw);
    return ::SetNamedSecurityInfoW(const_cast<wchar_t*>(directory.c_str()), SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                   nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

bool RemoveListedItems(const std::wstring& installDir, const std::vector<std::wstring>& items, bool directoryList) {
    if (items.empty()) return false;

    const std::wstring self = FullLongPath(base::GetModulePath());
    const auto isSelf = [&self](const std::wstring& item) { return base::EqualsNoCase(FullLongPath(item), self); };
    // A system or shell folder listed as a directory (the manifest beside an
    // uninstaller in a user's profile, say) still belongs to the user.
    const std::vector<std::wstring> keep = directoryList ? SystemAndShellFolders() : std::vector<std::wstring>();
    // Reading every process's image path costs milliseconds under load, far
    // more than deleting a file; asking once per list instead of once per item
    // keeps a large installation's removal fast. Only items that run now are
    // handed to the kill.
    const std::vector<std::wstring> running = directoryList ? std::vector<std::wstring>() : RunningImagePaths();
    // Case is folded character by character, so only paths of one length can
    // be equal: the length test spares most of the comparisons per item.
    const auto isRunning = [&running](const std::wstring& item) {
        return std::any_of(running.begin(), running.end(), [&item](const std::wstring& image) {
            return image.size() == item.size() && base::EqualsNoCase(image, item);
        });
    };
    PlainDirectories plain;
    bool lastResult = false;
    for (const std::wstring& relative : items) {
        std::wstring item;
        // The uninstaller runs elevated: an item that would leave the
        // installation directory, or reach outside it through a link, is skipped.
        if (!JoinInsideDirectoryWithoutLinks(installDir, relative, item, &plain)) {
            if (!directoryList) lastResult = false;
            continue;
        }
        if (directoryList) {
            if (!IsProtectedFolder(item, keep)) DeleteDirectoryTree(item);
            continue;
        }
        // The running uninstaller is listed too, in any spelling; it is moved aside rather than terminated.
        if (isRunning(item) && !isSelf(item) && KillProcessesByPath(item) == S_OK) ::Sleep(kAfterKillPauseMs);
        lastResult = DeleteFileOrDefer(item);
    }
    return directoryList ? false : lastResult;
}

bool HasProductWord(const std::wstring& path) {
    const std::wstring lower = base::ToLowerInvariant(path);
    for (const wchar_t* word : kProductWords) {
        if (lower.find(word) != std::wstring::npos) return true;
    }
    return false;
}

bool RemoveProductDirectory(const std::wstring& installDir) {
    const DWORD attributes = ::GetFileAttributesW(installDir.c_str());
    const bool isDirectory = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (isDirectory && HasProductWord(installDir) && !IsProtectedFolder(installDir)) DeleteDirectoryTree(installDir);
    return true;
}

DesktopFolders QueryDesktopFolders() {
    return DesktopFolders{base::ShellFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY), base::ShellFolderPath(CSIDL_DESKTOPDIRECTORY)};
}

void RemoveInstalledFiles(const std::wstring& installDir, std::wstring& recordedDir, const InstalledItems& listed,
                          DesktopFolderQuery desktops) {
    recordedDir = installDir;
    const DesktopFolders folders = desktops ? desktops() : DesktopFolders{};
    RemoveDesktopLinks(folders.allUsers);
    RemoveDesktopLinks(folders.currentUser);
    RemoveListedItems(installDir, listed.files, false);
    RemoveListedItems(installDir, listed.directories, true);
    DeleteFileOrDefer(installDir + kManifestFileName);
    RemoveProductDirectory(installDir);
}

}  // namespace removal
