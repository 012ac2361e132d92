#include "app/DetectorMainDlg.h"

#include <shellapi.h>

#include "app/RunningViewer.h"
#include "app/UninstallRun.h"
#include "report/Report.h"

namespace app {

QDetectorMainDlg::QDetectorMainDlg(OptionSource options)
    : options_(std::move(options)), installDir_(options_.installDir) {}

QDetectorMainDlg::~QDetectorMainDlg() {
    // The self-removal script runs once this process is gone. Without a script
    // there is nothing to open: asking the shell to open an empty path would
    // show a folder window instead.
    if (!scriptPath_.empty()) {
        ::ShellExecuteW(nullptr, L"open", scriptPath_.c_str(), nullptr, nullptr, SW_HIDE);
    }
}

void QDetectorMainDlg::Run() {
    // Created first: it reads the install time before any step can delete it.
    report::CSingletonReport& report = report::CSingletonReport::Instance();
    if (IsSkipRun(options_)) return;
    silent_ = IsSilentRun(options_) ? 1 : 0;
    if (!silent_) return;  // the wizard and its question come with the window

    ::OutputDebugStringA("uninst: viewer check\n");
    const int viewers = CheckRunningViewerSilently();
    if (viewers == kUserDeclined) {
        report.SendUninstallReport(0, report::kReasonCancelled);
        return;
    }
    RunUninstallSequence(*this);
}

}  // namespace app
