// Entry routine of the uninstaller.
#include <windows.h>

#include "app/DetectorMainDlg.h"
#include "app/Firewall.h"
#include "app/SdkLibrary.h"
#include "app/SingleInstance.h"
#include "manifest/ExpandTask.h"
#include "removal/Paths.h"
#include "ui/LxApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    ::OutputDebugStringA("uninst: start\n");  // start-up marks for a trace of the run, like the step marks
    // Every file and library of the run is found through the executable's own
    // directory. Without it, names alone would reach the current directory and
    // the library search path: then nothing is done at all.
    const std::wstring ownDirectory = removal::GetExeDirectoryWithSeparator();
    if (ownDirectory.empty()) return 0;

    ui::RegisterListMessages();
    ui::DwmApi::Get();

    std::wstring sectionName = app::LookupProductValue(app::kSingleInstanceKey);
    // An SDK without a value for the name would leave the section unnamed and
    // the guard without effect.
    if (sectionName.empty()) sectionName = app::kSingleInstanceKey;
    app::SingleInstanceGuard guard(sectionName);
    ::OutputDebugStringA("uninst: single instance\n");
    if (guard.IsSecondInstance()) return 0;

    ui::LxAppModule::Init(instance);

    // The common controls are not initialised here: the UI library does it
    // right before its first window of those classes. Loading the library at
    // start costs every windowless run the display driver and theme set-up.

    manifest::ExpandTaskList::Instance().Load(ownDirectory + manifest::kExpandTaskFileName);

    const std::wstring selfPath = removal::GetModulePath(nullptr);
    app::AddFirewallException(selfPath);
    ::OutputDebugStringA("uninst: started\n");
    {
        auto* dialog = new app::QDetectorMainDlg();
        dialog->Run();
        ::OutputDebugStringA("uninst: run ended\n");
        app::RemoveFirewallException(selfPath);
        ui::LxAppModule::Term();
        delete dialog;
    }
    ::OutputDebugStringA("uninst: end\n");
    return 0;
}
