// bench_floor.exe: the baseline of the silent-run benchmark. Removes what the
// sample installation leaves on the machine (its directory tree, the product
// keys, the uninstall-information key, the viewer's shell verbs, the desktop
// shortcuts and the start-menu folder) in straight-line code: no manifest, no
// processes, no waits. What the uninstaller spends beyond this is its own cost.
//
// Usage: bench_floor.exe <installation directory>
// Prints one line with what it removed:
//   floor: files F dirs D links L keys K
// and marks its parts for a trace (+debugstr): "floor: tree", "floor: keys",
// "floor: verbs", "floor: links", "floor: end".
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "SampleLayout.h"
#include "base/unique_any.h"
#include "removal/Registry.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
// The uninstaller removes the verbs from the view the 32-bit installer wrote.
constexpr REGSAM kVerbView = KEY_WOW64_32KEY;
constexpr wchar_t kShellKeyFormat[] = L"SystemFileAssociations\\%ls\\Shell";
constexpr size_t kKeyPathChars = 128;

struct Removed {
    unsigned files = 0;
    unsigned dirs = 0;
    unsigned links = 0;
    unsigned keys = 0;
};

// Depth first; read-only files are made writable before their deletion.
void RemoveTree(const std::wstring& dir, Removed& removed) {
    {
        WIN32_FIND_DATAW entry = {};
        base::unique_find find(::FindFirstFileW((dir + L"\\*").c_str(), &entry));
        if (find) {
            do {
                const std::wstring path = dir + L"\\" + entry.cFileName;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    if (entry.cFileName[0] == L'.' &&
                        (entry.cFileName[1] == 0 || (entry.cFileName[1] == L'.' && entry.cFileName[2] == 0))) {
                        continue;
                    }
                    RemoveTree(path, removed);
                    continue;
                }
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
                    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                }
                if (::DeleteFileW(path.c_str())) ++removed.files;
            } while (::FindNextFileW(find.get(), &entry));
        }
    }
    if (::RemoveDirectoryW(dir.c_str())) ++removed.dirs;
}

std::wstring KnownFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return std::wstring(path) + L"\\";
}

// In a registry view: the key's parent is opened in it, and the tree below.
void RemoveKey(HKEY root, const std::wstring& path, REGSAM view, Removed& removed) {
    const size_t cut = path.rfind(L'\\');
    base::unique_hkey parent;
    if (cut == std::wstring::npos ||
        ::RegOpenKeyExW(root, path.substr(0, cut).c_str(), 0, KEY_ALL_ACCESS | view, parent.put()) != ERROR_SUCCESS) {
        return;
    }
    // With a subkey named, the key itself goes too.
    if (::RegDeleteTreeW(parent.get(), path.substr(cut + 1).c_str()) == ERROR_SUCCESS) ++removed.keys;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputws(L"usage: bench_floor.exe <installation directory>\n", stderr);
        return kExitUsage;
    }
    std::wstring dir = argv[1];
    while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
    Removed removed;

    ::OutputDebugStringA("floor: tree\n");
    RemoveTree(dir, removed);

    ::OutputDebugStringA("floor: keys\n");
    RemoveKey(HKEY_CURRENT_USER, removal::kProductKeyPath, 0, removed);
    RemoveKey(HKEY_LOCAL_MACHINE, removal::kProductKeyPath, removal::kInstallerView, removed);
    RemoveKey(HKEY_LOCAL_MACHINE, sample::kUninstallInfoKeyPath, removal::kInstallerView, removed);

    ::OutputDebugStringA("floor: verbs\n");
    for (const wchar_t* extension : removal::kShellVerbExtensions) {
        wchar_t shellPath[kKeyPathChars];
        std::swprintf(shellPath, kKeyPathChars, kShellKeyFormat, extension);
        base::unique_hkey shell;
        if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, shellPath, 0, KEY_READ | KEY_WRITE | kVerbView, shell.put()) !=
            ERROR_SUCCESS) {
            continue;
        }
        for (const wchar_t* verb : removal::kShellVerbNames) {
            // Relative to a key opened in the 32-bit view, so the whole tree is in that view.
            if (::RegDeleteTreeW(shell.get(), verb) == ERROR_SUCCESS) ++removed.keys;
        }
    }

    ::OutputDebugStringA("floor: links\n");
    const std::wstring userDesktop = KnownFolder(CSIDL_DESKTOPDIRECTORY);
    const std::wstring commonDesktop = KnownFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    const std::wstring programs = KnownFolder(CSIDL_COMMON_PROGRAMS);
    for (const std::wstring& link : {userDesktop + sample::kUserShortcut, userDesktop + sample::kUserToolsShortcut,
                                     commonDesktop + sample::kCommonShortcut}) {
        if (::DeleteFileW(link.c_str())) ++removed.links;
    }
    const std::wstring menu = programs + sample::kStartMenuFolder;
    for (const wchar_t* link : sample::kStartMenuShortcuts) {
        if (::DeleteFileW((menu + L"\\" + link).c_str())) ++removed.links;
    }
    if (::RemoveDirectoryW(menu.c_str())) ++removed.dirs;

    ::OutputDebugStringA("floor: end\n");
    std::wprintf(L"floor: files %u dirs %u links %u keys %u\n", removed.files, removed.dirs, removed.links,
                 removed.keys);
    return kExitOk;
}
