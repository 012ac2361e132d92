// Starting the product's own programs, preferably in the interactive user's
// session, and the start of the shell-extension process that switches the
// extension off. Every launch waits at most five seconds for the program.
#pragma once

#include <windows.h>

#include <string>

#include "base/unique_any.h"

namespace removal {

constexpr DWORD kLaunchWaitMs = 5000;
constexpr DWORD kTokenFailure = 0xFFFFFFFF;
constexpr wchar_t kInteractiveDesktop[] = L"Winsta0\\Default";
constexpr wchar_t kExtensionProcessName[] = L"lumenox_ext_process.exe";
constexpr wchar_t kExtensionProcessName64[] = L"lumenox_ext_process64.exe";
constexpr wchar_t kExtensionOffParameter[] = L"/ext:0";

// ---- Tokens (0 on success, else a platform error code) -----------------------

// Token of the first explorer.exe in the process list.
DWORD GetExplorerToken(base::unique_handle* token);
// User token of the first active terminal-services session (session 0 when the
// sessions cannot be listed); ERROR_NOT_FOUND (1168) when none is active.
DWORD GetActiveSessionUserToken(base::unique_handle* token);
// The session user's token, else explorer's (explorer's alone on version 5.0).
DWORD GetInteractiveUserToken(base::unique_handle* token);
DWORD GetActiveSessionId(DWORD* sessionId);
// A primary copy of the own token moved into the active session.
DWORD GetOwnTokenForActiveSession(base::unique_handle* token);
// True when the token's groups include the local Administrators group.
bool IsAdministratorsMember(HANDLE token);

// ---- Launching ------------------------------------------------------------------

// "path" params: the path quoted, one blank, then the parameters (the blank stays
// when there are none).
std::wstring BuildLaunchCommandLine(const std::wstring& path, const std::wstring& params);

// Waits up to limitMs for a started process and ends it (exit code 0) when it is
// still running then. True when it ended on its own.
bool WaitOrTerminate(HANDLE process, DWORD limitMs = kLaunchWaitMs);

// Each returns true when the process was created.
// As the interactive user, with the user's full (linked) token where there is one.
bool LaunchElevatedInSession(const std::wstring& path, const std::wstring& params, bool show);
// As the interactive user.
bool LaunchAsSessionUser(const std::wstring& path, const std::wstring& params, bool show);
// As an ordinary child of this process.
bool LaunchPlain(const std::wstring& path, const std::wstring& params, bool show);

enum class LaunchMethod { None, ElevatedInSession, SessionUser, Plain };

// The three methods in order until one starts the program; the session methods
// get sessionShow, the plain one plainShow. Answers the method that succeeded.
LaunchMethod RunLaunchChain(const std::wstring& path, const std::wstring& params, bool sessionShow,
                            bool plainShow);
// The chain with one show flag for all three methods.
bool LaunchWithChain(const std::wstring& path, const std::wstring& params, bool show);

// The shell-extension process for the native architecture.
const wchar_t* ExtensionProcessName(bool nativeSystem64);
// Starts it from the executable's directory with "/ext:0"; true when a method succeeded.
bool StopExtensionProcess();

}  // namespace removal
