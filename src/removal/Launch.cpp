#include "removal/Launch.h"

#include <tlhelp32.h>
#include <userenv.h>
#include <wtsapi32.h>

#include <vector>

#include "base/platform.h"
#include "base/text.h"
#include "removal/Paths.h"
#include "removal/ProcessControl.h"

namespace removal {

namespace {

constexpr wchar_t kExplorerName[] = L"explorer.exe";

constexpr DWORD kNoActiveSession = ERROR_NOT_FOUND;  // 1168
constexpr DWORD kFallbackSessionId = 0;
constexpr DWORD kExplorerProcessAccess = PROCESS_QUERY_INFORMATION;  // 0x400
constexpr DWORD kExplorerTokenAccess = TOKEN_ALL_ACCESS;              // 0xF01FF
constexpr DWORD kOwnTokenAccess = TOKEN_DUPLICATE | TOKEN_QUERY;     // 0xA
constexpr DWORD kSessionCreationFlags = CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS;  // 0x30
constexpr UINT kTerminatedExitCode = 0;
constexpr DWORD kVistaFamilyMajor = 6;
constexpr DWORD kWin2000Major = 5;
constexpr DWORD kWin2000Minor = 0;
constexpr WORD kSessionShow = SW_SHOW;         // 5
constexpr WORD kPlainShow = SW_SHOWDEFAULT;     // 10

bool ReadBasicVersion(OSVERSIONINFOW& info) {
    info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return ::GetVersionExW(&info) != FALSE;
#pragma GCC diagnostic pop
}

// The first active session; false when the sessions cannot be listed.
bool FirstActiveSession(bool& found, DWORD& sessionId) {
    WTS_SESSION_INFOW* sessions = nullptr;
    DWORD count = 0;
    if (!::WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count)) return false;
    found = false;
    for (DWORD i = 0; i < count; ++i) {
        if (sessions[i].State == WTSActive) {
            sessionId = sessions[i].SessionId;
            found = true;
            break;
        }
    }
    ::WTSFreeMemory(sessions);
    return true;
}

// Releases an environment block through the library that built it.
class EnvironmentBlock {
public:
    explicit EnvironmentBlock(HANDLE token) {
        // Only the user's own environment, not the uninstaller's.
        if (!::CreateEnvironmentBlock(&block_, token, FALSE)) block_ = nullptr;
    }
    ~EnvironmentBlock() {
        if (block_ != nullptr) ::DestroyEnvironmentBlock(block_);
    }
    EnvironmentBlock(const EnvironmentBlock&) = delete;
    EnvironmentBlock& operator=(const EnvironmentBlock&) = delete;
    void* get() const { return block_; }

private:
    void* block_ = nullptr;
};

// Creates the process as the token's user on the interactive desktop and waits for it.
bool CreateAsUserAndWait(HANDLE token, const std::wstring& path, const std::wstring& params, bool show) {
    std::wstring desktop = kInteractiveDesktop;
    EnvironmentBlock environment(token);
    base::ProcessStart how;
    how.userToken = token;
    how.creationFlags = kSessionCreationFlags | (environment.get() ? CREATE_UNICODE_ENVIRONMENT : 0);
    how.environment = environment.get();
    how.desktop = desktop.data();
    how.show = show ? kSessionShow : SW_HIDE;
    base::unique_handle process = base::StartProcess(BuildLaunchCommandLine(path, params), how);
    if (!process) return false;
    WaitOrTerminate(process.get());
    return true;
}

}  // namespace

// ---- Tokens -------------------------------------------------------------------

DWORD GetExplorerToken(base::unique_handle* token) {
    if (token == nullptr) return kTokenFailure;
    DWORD explorerId = 0;
    {
        base::unique_hfile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot) return ::GetLastError();
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
             more = ::Process32NextW(snapshot.get(), &entry)) {
            if (base::EqualsNoCase(entry.szExeFile, kExplorerName)) {
                explorerId = entry.th32ProcessID;
                break;
            }
        }
    }
    // With no explorer the id stays 0 and the open fails.
    base::unique_handle explorer(::OpenProcess(kExplorerProcessAccess, FALSE, explorerId));
    if (!explorer) return ::GetLastError();
    if (!::OpenProcessToken(explorer.get(), kExplorerTokenAccess, token->put())) return ::GetLastError();
    return ERROR_SUCCESS;
}

DWORD GetActiveSessionUserToken(base::unique_handle* token) {
    if (token == nullptr) return kTokenFailure;
    DWORD sessionId = kFallbackSessionId;
    bool found = false;
    if (FirstActiveSession(found, sessionId) && !found) return kNoActiveSession;
    if (!::WTSQueryUserToken(sessionId, token->put())) return ::GetLastError();
    return ERROR_SUCCESS;
}

DWORD GetInteractiveUserToken(base::unique_handle* token) {
    if (token == nullptr) return kTokenFailure;
    OSVERSIONINFOW version;
    if (ReadBasicVersion(version) && version.dwMajorVersion == kWin2000Major &&
        version.dwMinorVersion == kWin2000Minor) {
        return GetExplorerToken(token);
    }
    if (GetActiveSessionUserToken(token) == ERROR_SUCCESS) return ERROR_SUCCESS;
    return GetExplorerToken(token);
}

DWORD GetActiveSessionId(DWORD* sessionId) {
    if (sessionId == nullptr) return kTokenFailure;
    bool found = false;
    DWORD id = kFallbackSessionId;
    if (FirstActiveSession(found, id)) {
        if (!found) return kNoActiveSession;
        *sessionId = id;
        return ERROR_SUCCESS;
    }
    const DWORD error = ::GetLastError();
    OSVERSIONINFOW version;
    if (ReadBasicVersion(version) && version.dwMajorVersion == kVistaFamilyMajor) return error;
    *sessionId = kFallbackSessionId;
    return ERROR_SUCCESS;
}

DWORD GetOwnTokenForActiveSession(base::unique_handle* token) {
    if (token == nullptr) return kTokenFailure;
    DWORD sessionId = 0;
    if (const DWORD error = GetActiveSessionId(&sessionId); error != ERROR_SUCCESS) return error;
    base::unique_handle own;
    if (!::OpenProcessToken(::GetCurrentProcess(), kOwnTokenAccess, own.put())) return kTokenFailure;
    base::unique_handle duplicate;
    if (!::DuplicateTokenEx(own.get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification, TokenPrimary,
                            duplicate.put())) {
        return kTokenFailure;
    }
    if (!::SetTokenInformation(duplicate.get(), TokenSessionId, &sessionId, sizeof(sessionId))) {
        return kTokenFailure;
    }
    *token = std::move(duplicate);
    return ERROR_SUCCESS;
}

bool IsAdministratorsMember(HANDLE token) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                    0, 0, 0, &administrators)) {
        return false;
    }
    bool member = false;
    DWORD size = 0;
    if (::GetTokenInformation(token, TokenGroups, nullptr, 0, &size) ||
        ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        std::vector<BYTE> buffer(size);
        if (size >= sizeof(TOKEN_GROUPS) &&
            ::GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) {
            const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
            // Deny-only membership counts too: the attributes are not looked at.
            for (DWORD i = 0; i < groups->GroupCount && !member; ++i) {
                member = ::EqualSid(groups->Groups[i].Sid, administrators) != FALSE;
            }
        }
    }
    ::FreeSid(administrators);
    return member;
}

// ---- Launching ---------------------------------------------------------------------

std::wstring BuildLaunchCommandLine(const std::wstring& path, const std::wstring& params) {
    return L"\"" + path + L"\" " + params;
}

bool WaitOrTerminate(HANDLE process, DWORD limitMs) {
    if (::WaitForSingleObject(process, limitMs) != WAIT_TIMEOUT) return true;
    ::TerminateProcess(process, kTerminatedExitCode);
    return false;
}

bool LaunchElevatedInSession(const std::wstring& path, const std::wstring& params, bool show) {
    if (path.empty()) return false;
    base::unique_handle token;
    OSVERSIONINFOW version;
    if (ReadBasicVersion(version) && version.dwMajorVersion == kVistaFamilyMajor) {
        if (GetActiveSessionUserToken(&token) != ERROR_SUCCESS && GetExplorerToken(&token) != ERROR_SUCCESS) {
            return false;
        }
        // The user's full token when theirs is the filtered half of a split token.
        TOKEN_LINKED_TOKEN linked = {};
        DWORD size = 0;
        if (::GetTokenInformation(token.get(), TokenLinkedToken, &linked, sizeof(linked), &size)) {
            token.reset(linked.LinkedToken);
        }
    } else if (GetInteractiveUserToken(&token) != ERROR_SUCCESS) {
        return false;
    }
    if (!IsAdministratorsMember(token.get())) {
        token.reset();
        GetOwnTokenForActiveSession(&token);
        // Without a token there is nothing to start the program as.
        if (!token) return false;
    }
    return CreateAsUserAndWait(token.get(), path, params, show);
}

bool LaunchAsSessionUser(const std::wstring& path, const std::wstring& params, bool show) {
    if (path.empty()) return false;
    base::unique_handle token;
    if (GetInteractiveUserToken(&token) != ERROR_SUCCESS) return false;
    return CreateAsUserAndWait(token.get(), path, params, show);
}

bool LaunchPlain(const std::wstring& path, const std::wstring& params, bool show) {
    if (path.empty()) return false;
    base::ProcessStart how;
    how.show = show ? kPlainShow : SW_HIDE;
    base::unique_handle process = base::StartProcess(BuildLaunchCommandLine(path, params), how);
    if (!process) return false;
    WaitOrTerminate(process.get());
    return true;
}

LaunchMethod RunLaunchChain(const std::wstring& path, const std::wstring& params, bool sessionShow,
                            bool plainShow) {
    if (LaunchElevatedInSession(path, params, sessionShow)) return LaunchMethod::ElevatedInSession;
    if (LaunchAsSessionUser(path, params, sessionShow)) return LaunchMethod::SessionUser;
    if (LaunchPlain(path, params, plainShow)) return LaunchMethod::Plain;
    return LaunchMethod::None;
}

bool LaunchWithChain(const std::wstring& path, const std::wstring& params, bool show) {
    return RunLaunchChain(path, params, show, show) != LaunchMethod::None;
}

const wchar_t* ExtensionProcessName(bool nativeSystem64) {
    return nativeSystem64 ? kExtensionProcessName64 : kExtensionProcessName;
}

bool StopExtensionProcess() {
    // The file's existence is not tested: a missing one just fails every method.
    const std::wstring path = base::GetExeDirectoryWithSeparator() + ExtensionProcessName(IsNativeSystem64());
    // Hidden in the user's session; in the own context with the program's default show state.
    return RunLaunchChain(path, kExtensionOffParameter, false, true) != LaunchMethod::None;
}

}  // namespace removal
