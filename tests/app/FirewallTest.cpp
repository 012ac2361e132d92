#include <gtest/gtest.h>

#include "app/Firewall.h"

// Wine's firewall objects can all be created and accept the calls, but its
// authorised-application collection keeps nothing: Add succeeds and a later
// lookup does not find the entry. On Windows the entry is listed and enabled
// between Add and Remove.
TEST(FirewallException, AddAndRemoveSucceedThroughThePlatformObjects) {
    const std::wstring path = L"C:\\Program Files\\Viewer\\uninst.exe";
    EXPECT_EQ(app::AddFirewallException(path), app::kFwOk);
    bool enabled = false;
    EXPECT_EQ(app::QueryFirewallException(path, enabled), app::kFwOk);
    EXPECT_EQ(app::RemoveFirewallException(path), app::kFwOk);
    EXPECT_EQ(app::QueryFirewallException(path, enabled), app::kFwOk);
    EXPECT_FALSE(enabled);
}

TEST(FirewallException, EmptyPathIsRefused) {
    EXPECT_EQ(app::AddFirewallException(L""), app::kFwEmptyPath);
    EXPECT_EQ(app::RemoveFirewallException(L""), app::kFwEmptyPath);
}
