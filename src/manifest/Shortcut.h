// The manifest entries that take the viewer off the desktop and out of the
// start menu: one desktop shortcut of the current user (unpinned from the
// taskbar first when it was pinned) and one folder of the all-users programs menu.
#pragma once

#include <functional>
#include <string>

#include "manifest/InstallInfo.h"

namespace manifest {

// The shell verb that takes a pinned shortcut off the taskbar.
constexpr wchar_t kTaskbarUnpinVerb[] = L"taskbarunpin";

// Where the entries find their folders and how they ask the shell for a verb.
// The platform's by default; tests point the folders at temporary directories.
struct ShellEnvironment {
    // The current user's desktop folder; empty when it cannot be determined.
    std::function<std::wstring()> desktopFolder;
    // The all-users start-menu programs folder; empty when it cannot be determined.
    std::function<std::wstring()> commonProgramsFolder;
    // Asks the shell to perform a verb on a file; the outcome does not matter.
    std::function<void(const std::wstring& file, const wchar_t* verb)> requestVerb;

    static ShellEnvironment Platform();
};

// The current user's own desktop folder (not the common one), not created when missing.
std::wstring QueryUserDesktopFolder();
// The default location of the all-users programs folder, not a redirected one.
std::wstring QueryCommonProgramsFolder();
// Performs a verb on a file through the shell, without any error dialog: a
// refused verb must not stop an unattended removal.
void RequestShellVerb(const std::wstring& file, const wchar_t* verb);

// "shortcut": "name" is the shortcut's file name in the desktop folder,
// extension included; "quicklaunchbar" = "1" means it was pinned to the taskbar.
class CShortcut : public CInstallInfo {
public:
    CShortcut(std::wstring path, ShellEnvironment shell);

    // Non-zero when the shortcut file was deleted. A name that leaves the
    // desktop folder deletes nothing.
    int Execute(const base::XmlConfigDocument& element) override;
    const char* GetModeName() const override { return "shortcut"; }

private:
    ShellEnvironment shell_;
};

// "startmenu": "dir" is a folder path below the all-users programs folder,
// removed with everything in it. An empty "dir", or one that leaves the
// programs folder, removes nothing.
class CStartMenu : public CInstallInfo {
public:
    CStartMenu(std::wstring path, ShellEnvironment shell);

    // The tree removal's result (1), or 0 when nothing was to be removed.
    int Execute(const base::XmlConfigDocument& element) override;
    const char* GetModeName() const override { return "startmenu"; }

private:
    ShellEnvironment shell_;
};

}  // namespace manifest
