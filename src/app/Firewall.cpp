#include "app/Firewall.h"

#include <windows.h>
#include <netfw.h>

#include "base/com_ptr.h"

namespace app {

namespace {

// {304CE942-6E39-40D8-943A-B913C40C9CD4}
constexpr CLSID kClsidFwMgr = {0x304CE942, 0x6E39, 0x40D8, {0x94, 0x3A, 0xB9, 0x13, 0xC4, 0x0C, 0x9C, 0xD4}};
// {F7898AF5-CAC4-4632-A2EC-DA06E5111AF2}
constexpr IID kIidFwMgr = {0xF7898AF5, 0xCAC4, 0x4632, {0xA2, 0xEC, 0xDA, 0x06, 0xE5, 0x11, 0x1A, 0xF2}};
// {EC9846B3-2762-4A6B-A214-6ACB603462D2}
constexpr CLSID kClsidFwApp = {0xEC9846B3, 0x2762, 0x4A6B, {0xA2, 0x14, 0x6A, 0xCB, 0x60, 0x34, 0x62, 0xD2}};
// {B5E64FFA-C2C5-444E-A301-FB5E00018050}
constexpr IID kIidFwApp = {0xB5E64FFA, 0xC2C5, 0x444E, {0xA3, 0x01, 0xFB, 0x5E, 0x00, 0x01, 0x80, 0x50}};

// COM apartment plus the current firewall profile, released in reverse order.
class FirewallSession {
public:
    FirewallSession() : com_(COINIT_MULTITHREADED) {
        if (!com_.ok()) {
            status_ = kFwComUnavailable;
            return;
        }
        base::com_ptr<INetFwMgr> manager;
        if (FAILED(::CoCreateInstance(kClsidFwMgr, nullptr, CLSCTX_INPROC_SERVER, kIidFwMgr, manager.put_void())) ||
            !manager) {
            status_ = kFwManagerNotCreated;
            return;
        }
        base::com_ptr<INetFwPolicy> policy;
        if (FAILED(manager->get_LocalPolicy(policy.put())) || !policy) {
            status_ = kFwNoPolicy;
            return;
        }
        if (FAILED(policy->get_CurrentProfile(profile_.put())) || !profile_) {
            status_ = kFwNoProfileFromPolicy;
            return;
        }
        status_ = kFwOk;
    }

    int status() const { return status_; }
    INetFwProfile* profile() const { return profile_.get(); }

private:
    base::com_apartment com_;  // declared first: uninitialised last
    base::com_ptr<INetFwProfile> profile_;
    int status_ = kFwNoProfile;
};

// Looks the path up among the authorised applications.
int IsAuthorizedAndEnabled(INetFwProfile* profile, const std::wstring& imagePath, bool& enabled) {
    enabled = false;
    if (profile == nullptr) return kFwNoProfile;
    if (imagePath.empty()) return kFwEmptyPath;
    base::com_ptr<INetFwAuthorizedApplications> apps;
    if (FAILED(profile->get_AuthorizedApplications(apps.put())) || !apps) return kFwAppListUnavailable;
    base::unique_bstr path(imagePath.c_str());
    if (!path) return kFwStringAllocFailed;
    base::com_ptr<INetFwAuthorizedApplication> app;
    if (FAILED(apps->Item(path.get(), app.put())) || !app) return kFwOk;  // not listed
    VARIANT_BOOL on = VARIANT_FALSE;
    if (FAILED(app->get_Enabled(&on))) return kFwEnabledUnreadable;
    enabled = (on != VARIANT_FALSE);
    return kFwOk;
}

}  // namespace

int QueryFirewallException(const std::wstring& imagePath, bool& enabled) {
    enabled = false;
    FirewallSession session;
    if (session.status() != kFwOk) return session.status();
    return IsAuthorizedAndEnabled(session.profile(), imagePath, enabled);
}

int AddFirewallException(const std::wstring& imagePath) {
    FirewallSession session;
    if (session.status() != kFwOk) return session.status();
    bool enabled = false;
    const int found = IsAuthorizedAndEnabled(session.profile(), imagePath, enabled);
    if (found != kFwOk) return found;
    if (enabled) return kFwOk;

    base::com_ptr<INetFwAuthorizedApplications> apps;
    if (FAILED(session.profile()->get_AuthorizedApplications(apps.put())) || !apps) return kFwAppListUnavailable;
    base::com_ptr<INetFwAuthorizedApplication> app;
    if (FAILED(::CoCreateInstance(kClsidFwApp, nullptr, CLSCTX_INPROC_SERVER, kIidFwApp, app.put_void())) || !app) {
        return kFwAppNotCreated;
    }
    base::unique_bstr path(imagePath.c_str());
    base::unique_bstr name(kFirewallEntryName);
    if (!path || !name) return kFwStringAllocFailed;
    if (FAILED(app->put_ProcessImageFileName(path.get()))) return kFwImageNameRejected;
    if (FAILED(app->put_Name(name.get()))) return kFwNameRejected;
    if (FAILED(apps->Add(app.get()))) return kFwAddRefused;
    return kFwOk;
}

int RemoveFirewallException(const std::wstring& imagePath) {
    FirewallSession session;
    if (session.status() != kFwOk) return session.status();
    bool enabled = false;
    const int found = IsAuthorizedAndEnabled(session.profile(), imagePath, enabled);
    if (found != kFwOk || !enabled) return found;
    base::com_ptr<INetFwAuthorizedApplications> apps;
    if (FAILED(session.profile()->get_AuthorizedApplications(apps.put())) || !apps) return kFwAppListUnavailable;
    base::unique_bstr path(imagePath.c_str());
    if (!path) return kFwStringAllocFailed;
    if (FAILED(apps->Remove(path.get()))) return kFwRemoveRefused;
    return kFwOk;
}

}  // namespace app
