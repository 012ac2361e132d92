// Entry routine of the uninstaller.
#include <windows.h>
#include <commctrl.h>

#include "app/DetectorMainDlg.h"
#include "app/Firewall.h"
#include "app/SdkLibrary.h"
#include "app/SingleInstance.h"
#include "manifest/ExpandTask.h"
#include "removal/Paths.h"
#include "ui/LxApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
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
    if (guard.IsSecondInstance()) return 0;

    ui::LxAppModule::Init(instance);

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);

    manifest::ExpandTaskList::Instance().Load(ownDirectory + manifest::kExpandTaskFileName);

    const std::wstring selfPath = removal::GetModulePath(nullptr);
    app::AddFirewallException(selfPath);
    {
        auto* dialog = new app::QDetectorMainDlg();
        dialog->Run();
        app::RemoveFirewallException(selfPath);
        ui::LxAppModule::Term();
        delete dialog;
    }
    return 0;
}
