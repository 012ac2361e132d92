// The uninstaller's main window object: it carries one whole run. Started
// plainly it shows the three-page wizard of layout 11001 (confirmation,
// progress, farewell); silently it runs the removal without a window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/FrameMark.h"
#include "app/Options.h"
#include "base/unique_any.h"
#include "manifest/FileConfig.h"
#include "removal/SelfRemovalScript.h"
#include "ui/host/LxDialogView.h"

namespace app {

// Element ids of layout 11001.
constexpr int kWizardCloseId = 1;
constexpr int kWizardMinimiseId = 2;
constexpr int kWizardBannerId = 3;
constexpr int kConfirmPageId = 100;
constexpr int kUninstallButtonId = 101;
constexpr int kCancelButtonId = 104;
constexpr int kProgressPageId = 200;
constexpr int kProgressBarId = 206;
constexpr int kMissingPageId = 300;  // addressed when finishing, not in the layout
constexpr int kProgressTextId = 302;  // not in the layout
constexpr int kFarewellPageId = 400;
constexpr int kFarewellButtonId = 401;

constexpr int kWizardIconId = 1999;
constexpr char kFinishBannerSkin[] = "mainbg_banner_finish";

class QDetectorMainDlg : public ui::CLxDialogViewImplEx {
public:
    // Loads the skins, styles and strings of the program's resources.
    explicit QDetectorMainDlg(OptionSource options = OptionSource::Current());
    // Waits for a removal worker that is still running, then hands the
    // self-removal script to the shell.
    ~QDetectorMainDlg() override;

    // Decides between doing nothing, a silent run and the wizard.
    void Run();
    // Ends the wizard: its modal loop returns.
    void End();

    const std::wstring& installDir() const { return installDir_; }
    const std::wstring& scriptPath() const { return scriptPath_; }
    const std::wstring& removalDir() const { return removalDir_; }
    int silent() const { return silent_; }
    uint32_t progressPercent() const { return progressPercent_; }
    // Where the worker posts its completion; null in a silent run.
    HWND finishTarget() const { return finishTarget_; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // A translucent grey frame around the client area.
    void OnPaintHook(HDC dc, const RECT& client) override;

private:
    friend void RunUninstallSequence(QDetectorMainDlg& dialog);

    void ShowWizard();
    void OnInitDialog();
    void OnClick(int id);
    void OnClose();
    void StartUninstall();
    void OnProgressTick();
    void ShowFarewellPage();
    bool IsPageShown(int id) const;
    bool WorkerRunning() const;

    OptionSource options_;
    uint32_t progressPercent_ = 0;
    base::unique_handle worker_;
    HWND finishTarget_ = nullptr;  // set before the worker starts, never changed while it runs
    std::wstring installDir_;
    std::wstring removalDir_;
    std::wstring scriptPath_;
    removal::PreparedScriptStart scriptStart_;
    manifest::FileConfigList fileConfigList_;
    int silent_ = 0;
    uint32_t previousUninstallCount_ = 0;
    bool ended_ = false;
    int result_ = 0;
    base::unique_hicon bigIcon_;
    base::unique_hicon smallIcon_;
    FirstFrameMark frameMark_{"uninst: wizard first frame\n"};
};

}  // namespace app
