// The uninstaller's own authorised-application entry in the platform firewall.
#pragma once

#include <string>

namespace app {

constexpr wchar_t kFirewallEntryName[] = L"QInstallTool";

enum FirewallStatus : int {
    kFwOk = 0,
    kFwNoProfile = 1,
    kFwManagerNotCreated = 2,
    kFwNoPolicy = 3,
    kFwNoProfileFromPolicy = 4,
    kFwComUnavailable = 5,  // COM could not be initialised: the step is skipped
    kFwEmptyPath = 7,
    kFwAppListUnavailable = 8,
    kFwEnabledUnreadable = 9,
    kFwAppNotCreated = 10,
    kFwStringAllocFailed = 11,
    kFwImageNameRejected = 12,
    kFwNameRejected = 13,
    kFwAddRefused = 14,
    kFwRemoveRefused = 15,
};

// Each call initialises COM (multithreaded apartment) for its own duration.
int AddFirewallException(const std::wstring& imagePath);
int RemoveFirewallException(const std::wstring& imagePath);
// Whether the path is an enabled authorised application; a status code on failure.
int QueryFirewallException(const std::wstring& imagePath, bool& enabled);

}  // namespace app
