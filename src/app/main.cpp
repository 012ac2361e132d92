// Entry routine of the uninstaller.
#include <windows.h>

#include <memory>

#include "app/DetectorMainDlg.h"
#include "app/Firewall.h"
#include "app/SingleInstance.h"
#include "app/StepBarrier.h"
#include "base/SdkLibrary.h"
#include "base/platform.h"
#include "manifest/ExpandTask.h"
#include "report/Report.h"
#include "ui/LxApp.h"

namespace {

// Every run ends with this code, whatever happened during it.
constexpr int kExitCode = 0;

void RunUninstaller(HINSTANCE instance) {
    // Every file and library of the run is found through the executable's own
    // directory. Without it, names alone would reach the current directory and
    // the library search path: then nothing is done at all.
    const std::wstring ownDirectory = base::GetExeDirectoryWithSeparator();
    if (ownDirectory.empty()) return;

    ui::RegisterListMessages();
    ui::DwmApi::Get();

    std::wstring sectionName = base::LookupProductValue(app::kSingleInstanceKey);
    // An SDK without a value for the name would leave the section unnamed and
    // the guard without effect.
    if (sectionName.empty()) sectionName = app::kSingleInstanceKey;
    app::SingleInstanceGuard guard(sectionName);
    ::OutputDebugStringA("uninst: single instance\n");
    if (guard.IsSecondInstance()) return;

    ui::LxAppModule::Init(instance);

    // The common controls are not initialised here: the UI library does it
    // right before its first window of those classes. Loading the library at
    // start costs every windowless run the display driver and theme set-up.

    report::ConnectTagReports();
    app::RunStep([&] { manifest::ExpandTaskList::Instance().Load(ownDirectory + manifest::kExpandTaskFileName); });

    const std::wstring selfPath = base::GetModulePath(nullptr);
    app::RunStep([&] { app::AddFirewallException(selfPath); });
    ::OutputDebugStringA("uninst: started\n");
    {
        auto dialog = std::make_unique<app::QDetectorMainDlg>();
        // A removal that failed part-way still takes the exception away again.
        app::RunStep([&] { dialog->Run(); });
        ::OutputDebugStringA("uninst: run ended\n");
        app::RunStep([&] { app::RemoveFirewallException(selfPath); });
        ui::LxAppModule::Term();
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The outer barrier: nothing that escapes the run may reach the runtime,
    // whose abort would end the process with an error (or hold it on a dialog
    // that an unattended removal never answers).
    ::OutputDebugStringA("uninst: start\n");  // start-up marks for a trace of the run, like the step marks
    app::RunStep([&] { RunUninstaller(instance); });
    ::OutputDebugStringA("uninst: end\n");
    return kExitCode;
}
