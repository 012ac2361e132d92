#include "support/FileSystemSupport.h"

#include <objidl.h>
#include <shlobj.h>

#include "base/com_ptr.h"
#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "support/TestSupport.h"

namespace testing_support {
namespace {

constexpr wchar_t kSessionManagerKey[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingRenamesValue[] = L"PendingFileRenameOperations";
constexpr DWORD kHostCommandWaitMs = 10000;

std::wstring TrimSeparator(std::wstring path) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

bool HasReparseAttribute(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Host path of a Wine path, through Wine's own export; empty on Windows.
std::wstring UnixPathOf(const std::wstring& path) {
    using UnixNameFn = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr) return {};
    char* name = unixName(path.c_str());
    if (name == nullptr) return {};
    std::wstring result = base::Utf8ToWide(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return result;
}

// Wine starts a host program named by its host path on the command line. Its
// exit code cannot be read through the handle, so callers wait for the effect.
bool StartHostCommand(std::wstring commandLine) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return false;
    }
    base::unique_handle process(pi.hProcess);
    base::unique_handle thread(pi.hThread);
    return true;
}

std::vector<std::wstring> SplitMultiString(const std::vector<wchar_t>& data) {
    std::vector<std::wstring> strings;
    size_t start = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] != L'\0') continue;
        strings.emplace_back(data.data() + start, i - start);
        start = i + 1;
    }
    // The list ends with an empty string; drop the terminating ones.
    while (!strings.empty() && strings.back().empty() && strings.size() % 2 == 1) strings.pop_back();
    return strings;
}

// The platform registers "\??\<path>" followed by an empty destination.
bool NamesPath(const std::wstring& entry, const std::wstring& path) {
    const std::wstring prefix = L"\\??\\";
    return base::EqualsNoCase(entry, path) || base::EqualsNoCase(entry, prefix + path);
}

}  // namespace

bool RunningUnderWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

bool MakeShellLink(const std::wstring& linkPath, const std::wstring& target) {
    base::com_apartment apartment(COINIT_APARTMENTTHREADED);
    base::com_ptr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()))) {
        return false;
    }
    if (FAILED(link->SetPath(target.c_str()))) return false;
    base::com_ptr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void()))) return false;
    return SUCCEEDED(persist->Save(linkPath.c_str(), TRUE));
}

bool ScopedLinks::Make(const std::wstring& link, const std::wstring& target) {
    const std::wstring linkPath = TrimSeparator(link);
    const std::wstring targetPath = TrimSeparator(target);
    links_.push_back(linkPath);
    constexpr DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    // Wine's CreateSymbolicLinkW answers TRUE without creating anything: check the result.
    if (::CreateSymbolicLinkW(linkPath.c_str(), targetPath.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | kUnprivileged) &&
        HasReparseAttribute(linkPath)) {
        return true;
    }
    const std::wstring unixLink = UnixPathOf(linkPath);
    const std::wstring unixTarget = UnixPathOf(targetPath);
    return !unixLink.empty() && !unixTarget.empty() &&
           StartHostCommand(L"/bin/ln -s \"" + unixTarget + L"\" \"" + unixLink + L"\"") &&
           WaitUntil([&] { return HasReparseAttribute(linkPath); }, kHostCommandWaitMs);
}

void ScopedLinks::RemoveAll() {
    for (const std::wstring& link : links_) {
        if (!Exists(link) || ::RemoveDirectoryW(link.c_str()) || ::DeleteFileW(link.c_str())) continue;
        // Wine cannot remove a host link to a directory; the host can.
        const std::wstring unixLink = UnixPathOf(link);
        if (!unixLink.empty() && StartHostCommand(L"/bin/rm -f \"" + unixLink + L"\"")) {
            WaitUntil([&] { return !Exists(link); }, kHostCommandWaitMs);
        }
    }
    links_.clear();
}

std::vector<std::wstring> PendingFileRenames() {
    base::unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return {};
    }
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key.get(), kPendingRenamesValue, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ) {
        return {};
    }
    std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key.get(), kPendingRenamesValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                           &bytes) != ERROR_SUCCESS) {
        return {};
    }
    data.resize(bytes / sizeof(wchar_t));
    return SplitMultiString(data);
}

bool IsPendingDeletion(const std::wstring& path) {
    const std::vector<std::wstring> entries = PendingFileRenames();
    // Pairs of source and destination; an empty destination means deletion.
    for (size_t i = 0; i + 1 < entries.size(); i += 2) {
        if (NamesPath(entries[i], path) && entries[i + 1].empty()) return true;
    }
    return false;
}

void ForgetPendingDeletion(const std::wstring& path) {
    const std::vector<std::wstring> entries = PendingFileRenames();
    std::vector<wchar_t> kept;
    bool changed = false;
    for (size_t i = 0; i + 1 < entries.size(); i += 2) {
        if (NamesPath(entries[i], path)) {
            changed = true;
            continue;
        }
        for (size_t k = i; k < i + 2; ++k) {
            kept.insert(kept.end(), entries[k].begin(), entries[k].end());
            kept.push_back(L'\0');
        }
    }
    if (!changed) return;
    base::unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    if (kept.empty()) {
        ::RegDeleteValueW(key.get(), kPendingRenamesValue);
        return;
    }
    kept.push_back(L'\0');
    ::RegSetValueExW(key.get(), kPendingRenamesValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                     static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
}

}  // namespace testing_support
