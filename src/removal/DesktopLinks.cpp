#include "removal/DesktopLinks.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include "base/com_ptr.h"
#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "removal/FileRemoval.h"
#include "removal/Paths.h"

namespace removal {
namespace {

std::wstring LinkTargetLongPath(const std::wstring& file) {
    base::com_ptr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()))) {
        return {};
    }
    base::com_ptr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void()))) return {};
    if (FAILED(persist->Load(file.c_str(), STGM_READ))) return {};

    wchar_t shortPath[base::kMaxPathChars] = {};
    if (FAILED(link->GetPath(shortPath, static_cast<int>(base::kMaxPathChars), nullptr, SLGP_SHORTPATH))) return {};
    // Yields nothing when the target is gone.
    wchar_t longPath[base::kMaxPathChars] = {};
    const DWORD length = ::GetLongPathNameW(shortPath, longPath, static_cast<DWORD>(base::kMaxPathChars));
    if (length == 0 || length >= base::kMaxPathChars) return {};
    return std::wstring(longPath, length);
}

}  // namespace

bool IsLinkIntoOwnDirectory(const std::wstring& file) {
    // Called on the removal worker: the thread's apartment lasts for this one
    // file. The shell link object lives in either apartment model; the
    // multithreaded one spares the process the first single-threaded
    // apartment's hidden window, which under Wine loads the display driver and
    // parses the theme (tens of milliseconds in a run without any window).
    base::com_apartment apartment(COINIT_MULTITHREADED);
    const std::wstring target = base::ToLowerInvariant(LinkTargetLongPath(file));
    const std::wstring ownDirectory = base::ToLowerInvariant(base::GetModuleDirectory());
    if (target.empty() || ownDirectory.empty()) return false;
    return target.find(ownDirectory) != std::wstring::npos;
}

void RemoveDesktopLinks(const std::wstring& folder) {
    if (folder.empty()) return;
    std::wstring dir = folder;
    base::EnsureTrailingSeparator(dir);
    WIN32_FIND_DATAW entry = {};
    base::unique_find find(::FindFirstFileW((dir + L"*").c_str(), &entry));
    if (!find) return;
    do {
        // A folder (".", "..", a link to one included) never loads as a shell
        // link: it is not inspected. Plain files fail to load as links and so
        // are never touched either.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring path = dir + entry.cFileName;
        if (IsLinkIntoOwnDirectory(path)) DeleteFileOrDefer(path);
    } while (::FindNextFileW(find.get(), &entry));
}

}  // namespace removal
