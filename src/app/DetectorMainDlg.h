// The uninstaller's main window object: it carries one whole run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/Options.h"
#include "manifest/FileConfig.h"

namespace app {

class QDetectorMainDlg {
public:
    explicit QDetectorMainDlg(OptionSource options = OptionSource::Current());
    virtual ~QDetectorMainDlg();
    QDetectorMainDlg(const QDetectorMainDlg&) = delete;
    QDetectorMainDlg& operator=(const QDetectorMainDlg&) = delete;

    // Decides between doing nothing, a silent run and the wizard.
    void Run();

    const std::wstring& installDir() const { return installDir_; }
    const std::wstring& scriptPath() const { return scriptPath_; }
    const std::wstring& removalDir() const { return removalDir_; }
    int silent() const { return silent_; }
    HWND window() const { return window_; }

private:
    friend void RunUninstallSequence(QDetectorMainDlg& dialog);

    OptionSource options_;
    HWND window_ = nullptr;
    uint32_t progressPercent_ = 0;
    HANDLE worker_ = nullptr;  // never closed: the worker is left to end with the process
    std::wstring installDir_;
    std::wstring removalDir_;
    std::wstring scriptPath_;
    manifest::FileConfigList fileConfigList_;
    int silent_ = 0;
    uint32_t previousUninstallCount_ = 0;
};

}  // namespace app
