#include "manifest/Shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "base/XmlConfigDocument.h"
#include "base/com_ptr.h"
#include "base/platform.h"
#include "removal/FileRemoval.h"
#include "removal/PathContainment.h"
#include "removal/Paths.h"

namespace manifest {
namespace {

constexpr wchar_t kPinnedFlag[] = L"1";

std::wstring RawDecoded(const base::XmlConfigDocument& element, const char* name) {
    std::string raw;
    element.GetRawAttribute(name, raw);
    return DecodeUtf8Bmp(raw);
}

}  // namespace

ShellEnvironment ShellEnvironment::Platform() {
    return ShellEnvironment{&QueryUserDesktopFolder, &QueryCommonProgramsFolder, &RequestShellVerb};
}

std::wstring QueryUserDesktopFolder() { return base::ShellFolderPath(CSIDL_DESKTOPDIRECTORY, SHGFP_TYPE_CURRENT); }

std::wstring QueryCommonProgramsFolder() { return base::ShellFolderPath(CSIDL_COMMON_PROGRAMS, SHGFP_TYPE_DEFAULT); }

void RequestShellVerb(const std::wstring& file, const wchar_t* verb) {
    // Verbs may be served by shell extensions, which need COM on this thread;
    // a thread already in another apartment keeps it.
    base::com_apartment apartment(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    // No dialog for an unknown or refused verb, and no return before the
    // request is complete: the file is deleted right afterwards.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.nShow = SW_SHOW;
    ::ShellExecuteExW(&info);
}

CShortcut::CShortcut(std::wstring path, ShellEnvironment shell)
    : CInstallInfo(std::move(path)), shell_(std::move(shell)) {}

int CShortcut::Execute(const base::XmlConfigDocument& element) {
    // "cmdline" records what the shortcut started; the removal does not need it.
    std::wstring pinned;
    element.GetWideAttribute("quicklaunchbar", pinned);
    const std::wstring name = RawDecoded(element, "name");

    const std::wstring desktop = shell_.desktopFolder ? shell_.desktopFolder() : std::wstring();
    if (desktop.empty()) return 0;
    std::wstring link;
    // The uninstaller runs elevated: a name must not reach beyond the desktop,
    // by its text or through a link on the way.
    if (!removal::JoinInsideDirectoryWithoutLinks(desktop, name, link)) return 0;

    // Unpinning needs the link file, so it comes before the deletion.
    if (pinned == kPinnedFlag && shell_.requestVerb) shell_.requestVerb(link, kTaskbarUnpinVerb);
    return ::DeleteFileW(link.c_str()) ? 1 : 0;
}

CStartMenu::CStartMenu(std::wstring path, ShellEnvironment shell)
    : CInstallInfo(std::move(path)), shell_(std::move(shell)) {}

int CStartMenu::Execute(const base::XmlConfigDocument& element) {
    // "name" is the folder's caption in the menu; the removal does not need it.
    const std::wstring dir = RawDecoded(element, "dir");

    const std::wstring programs = shell_.commonProgramsFolder ? shell_.commonProgramsFolder() : std::wstring();
    if (programs.empty()) return 0;
    std::wstring folder;
    // An empty "dir" would name the programs folder itself, and one that
    // climbs out, by its text or through a link on the way, would reach
    // anything on the machine: both remove nothing.
    if (!removal::JoinInsideDirectoryWithoutLinks(programs, dir, folder)) return 0;
    return removal::DeleteDirectoryTree(folder) ? 1 : 0;
}

}  // namespace manifest
