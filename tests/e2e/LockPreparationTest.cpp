// The lock-library preparation of the uninstall button, on a sample
// installation: the identity values and the local configuration's try number
// reach the lock library.
#include <gtest/gtest.h>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "app/UninstallRun.h"
#include "base/text.h"

namespace {

TEST(LockPreparationTest, IdentityAndTryNumberOfTheInstallationReachTheLockLibrary) {
    testing_support::SampleInstallation installation(silent_run::kQuiet);
    ASSERT_TRUE(installation.installed()) << installation.installOutput();

    app::PrepareLockLibrary(installation.dir());

    const std::string tids = std::to_string(sample::kTid1) + " " + std::to_string(sample::kTid2);
    const std::string params = "SetParams 11 [" + std::to_string(sample::kTid1) + "|" +
                               std::to_string(sample::kTid2) + "|0|0|" + std::to_string(sample::kId) + "|" +
                               base::WideToUtf8(sample::kUuid) + "|" + std::to_string(sample::kTryNo) +
                               "|0|0|0|0]";
    EXPECT_EQ(testing_support::ReadLines(installation.dir() + L"Pavrenkit.log"),
              (std::vector<std::string>{params, "Query 1 " + tids + " 1 -> 1", "Act 1 " + tids + " 1", params,
                                        "Query 1 " + tids + " 2 -> 1", "Act 1 " + tids + " 2", "release"}));
}

}  // namespace
