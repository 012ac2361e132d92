#include "removal/ProtectedFolders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cwchar>

#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "removal/Paths.h"

namespace removal {
namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";
constexpr wchar_t kUncPrefix[] = L"\\\\";

struct task_string_traits {
    using type = PWSTR;
    static PWSTR empty() noexcept { return nullptr; }
    static void close(PWSTR text) noexcept { ::CoTaskMemFree(text); }
};
using unique_task_string = base::unique_any<task_string_traits>;

// Current-user and all-users folders with a classic identifier.
constexpr int kShellFolderIds[] = {
    CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_FONTS, CSIDL_RESOURCES,
    CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86,
    CSIDL_PROFILE, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA,
    CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS,
    CSIDL_MYPICTURES, CSIDL_COMMON_PICTURES, CSIDL_MYMUSIC, CSIDL_COMMON_MUSIC, CSIDL_MYVIDEO, CSIDL_COMMON_VIDEO,
    CSIDL_FAVORITES, CSIDL_COMMON_FAVORITES, CSIDL_TEMPLATES, CSIDL_COMMON_TEMPLATES,
    CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS, CSIDL_STARTUP,
    CSIDL_COMMON_STARTUP, CSIDL_ADMINTOOLS, CSIDL_COMMON_ADMINTOOLS,
    CSIDL_SENDTO, CSIDL_RECENT, CSIDL_NETHOOD, CSIDL_PRINTHOOD, CSIDL_INTERNET_CACHE, CSIDL_COOKIES, CSIDL_HISTORY,
    CSIDL_CDBURN_AREA,
};

// Folders that only have a known-folder identifier.
const KNOWNFOLDERID* const kKnownFolderIds[] = {
    &FOLDERID_Downloads, &FOLDERID_PublicDownloads, &FOLDERID_Public, &FOLDERID_UserProfiles,
    &FOLDERID_SavedGames, &FOLDERID_Links, &FOLDERID_Contacts, &FOLDERID_SavedSearches, &FOLDERID_SkyDrive,
    &FOLDERID_ProgramFilesX64, &FOLDERID_ProgramFilesCommonX64,
};

// The 64-bit programs folders, which a 32-bit process learns only from these.
constexpr const wchar_t* kFolderVariables[] = {L"ProgramW6432", L"CommonProgramW6432"};

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "\\?\C:\a\" -> "C:\a", "\\?\UNC\s\x" -> "\\s\x", "C:/a/" -> "C:\a".
std::wstring Canonical(const std::wstring& path) {
    std::wstring out = path;
    for (wchar_t& c : out) {
        if (c == L'/') c = L'\\';
    }
    if (base::StartsWithNoCase(out, kLongUncPrefix)) {
        out = kUncPrefix + out.substr(wcslen(kLongUncPrefix));
    } else if (out.compare(0, wcslen(kLongPrefix), kLongPrefix) == 0) {
        out.erase(0, wcslen(kLongPrefix));
    }
    while (!out.empty() && IsSeparator(out.back())) out.pop_back();
    return out;
}

void AddFolder(std::vector<std::wstring>& folders, const wchar_t* path) {
    if (path != nullptr && *path != L'\0') folders.emplace_back(path);
}

}  // namespace

bool IsVolumeRoot(const std::wstring& dir) {
    const std::wstring path = Canonical(dir);
    if (path.empty()) return true;
    constexpr size_t kDriveChars = 2;  // "C:"
    if (path.size() == kDriveChars && path[1] == L':') return true;
    if (path.compare(0, wcslen(kUncPrefix), kUncPrefix) != 0) return false;
    // "\\server" or "\\server\share": at most one separator after the prefix.
    const size_t share = path.find(L'\\', wcslen(kUncPrefix));
    return share == std::wstring::npos || path.find(L'\\', share + 1) == std::wstring::npos;
}

bool IsProtectedFolder(const std::wstring& dir, const std::vector<std::wstring>& folders) {
    if (IsVolumeRoot(dir)) return true;
    const std::wstring path = Canonical(dir);
    for (const std::wstring& folder : folders) {
        const std::wstring other = Canonical(folder);
        if (other.empty()) continue;
        if (base::EqualsNoCase(other, path) || base::StartsWithNoCase(other, path + L"\\")) return true;
    }
    return false;
}

std::vector<std::wstring> SystemAndShellFolders() {
    std::vector<std::wstring> folders;
    for (const int id : kShellFolderIds) {
        wchar_t path[base::kMaxPathChars] = {};
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path))) AddFolder(folders, path);
    }
    for (const KNOWNFOLDERID* id : kKnownFolderIds) {
        unique_task_string path;
        if (SUCCEEDED(::SHGetKnownFolderPath(*id, KF_FLAG_DONT_VERIFY, nullptr, path.put()))) {
            AddFolder(folders, path.get());
        }
    }
    for (const wchar_t* name : kFolderVariables) {
        wchar_t path[base::kMaxPathChars] = {};
        const DWORD length = ::GetEnvironmentVariableW(name, path, static_cast<DWORD>(base::kMaxPathChars));
        if (length > 0 && length < base::kMaxPathChars) AddFolder(folders, path);
    }
    wchar_t temp[base::kMaxPathChars + 1] = {};
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(base::kMaxPathChars + 1), temp);
    if (length > 0 && length <= base::kMaxPathChars) AddFolder(folders, temp);
    return folders;
}

bool IsProtectedFolder(const std::wstring& dir) { return IsProtectedFolder(dir, SystemAndShellFolders()); }

}  // namespace removal
