// The running-viewer check: open viewer windows are told to close before the
// removal starts, so that open images do not keep files locked.
#pragma once

#include <windows.h>

#include <string>

namespace app {

constexpr wchar_t kViewerWindowClass[] = L"Lumenox_{CAC78C77-BC1C-456d-A26A-57E1B59B18CC}";
constexpr UINT kViewerCloseMessage = 0x472;

enum RunningViewerAnswer : int {
    kNoViewerOpen = 0,
    kUserDeclined = 1,
    kViewersToldToClose = 2,
};

// A viewer window that ignores the close message would keep the check
// sending for ever; after this long the run goes on regardless.
constexpr DWORD kViewerCloseDeadlineMs = 5000;
// One send waits at most this long for a viewer that does not answer.
constexpr UINT kViewerSendTimeoutMs = 2000;
// Pause between rounds while a window is still there.
constexpr DWORD kViewerRetryPauseMs = 20;

// Sends the close message to viewer windows until none is left or the
// deadline has passed; true when none is left.
bool CloseViewerWindows(DWORD deadlineMs = kViewerCloseDeadlineMs);

// The question, with the product name in it.
std::wstring ViewerQuestion(const std::wstring& productName);

// The whole check, before any wizard window exists: without a viewer window
// nothing happens; otherwise, unless the run is silent, the user is asked in
// the message box and a refusal answers kUserDeclined; then every viewer
// window is told to close.
int CheckRunningViewer(bool silent, const std::wstring& productName);

}  // namespace app
