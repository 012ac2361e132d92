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

    manifest::ExpandTaskList::Instance().Load(removal::GetExeDirectoryWithSeparator() +
                                              manifest::kExpandTaskFileName);

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
