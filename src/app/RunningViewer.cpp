#include "app/RunningViewer.h"

#include "app/LiteMsgbox.h"

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

std::wstring ViewerQuestion(const std::wstring& productName) {
    return L"您已打开" + productName + L"，继续卸载会关闭\n正打开的图片，您确定吗？";
}

int CheckRunningViewer(bool silent, const std::wstring& productName) {
    if (::FindWindowW(kViewerWindowClass, nullptr) == nullptr) return kNoViewerOpen;
    if (!silent) {
        // The defaults: warning icon, "确定" and "取消".
        QLiteMsgbox box(ViewerQuestion(productName));
        if (!(box.ShowModal() & kBoxResultFirst)) return kUserDeclined;
    }
    CloseViewerWindows();
    return kViewersToldToClose;
}

}  // namespace app
