#include "app/RunningViewer.h"

namespace app {

bool CloseViewerWindows(DWORD deadlineMs) {
    const DWORD start = ::GetTickCount();
    HWND previous = nullptr;
    for (;;) {
        HWND viewer = ::FindWindowW(kViewerWindowClass, nullptr);
        if (viewer == nullptr) return true;
        if (::GetTickCount() - start >= deadlineMs) return false;
        if (viewer == previous) ::Sleep(kViewerRetryPauseMs);
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(viewer, kViewerCloseMessage, 0, 0, SMTO_NORMAL, kViewerSendTimeoutMs, &ignored);
        previous = viewer;
    }
}

int CheckRunningViewerSilently() {
    if (::FindWindowW(kViewerWindowClass, nullptr) == nullptr) return kNoViewerOpen;
    CloseViewerWindows();
    return kViewersToldToClose;
}

}  // namespace app
