// "uninst.exe /s" on an installation whose files were not written by the
// installer: the run still ends normally, treating what it cannot read as absent.
#include <gtest/gtest.h>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "manifest/ExpandTask.h"

namespace {

using silent_run::kQuiet;
using silent_run::SilentRun;
using testing_support::Exists;

constexpr DWORD kScriptWaitMs = 10000;
// About 150 KB of nested start tags: a recursive parse of it exhausts the stack.
constexpr size_t kDeepLevels = 50000;

std::string DeeplyNested(const std::string& root) {
    std::string xml = "<" + root + ">";
    for (size_t i = 0; i < kDeepLevels; ++i) xml += "<a>";
    return xml;
}

TEST(SilentRunBadInputTest, DeeplyNestedManifestIsReadAsNoManifest) {
    SilentRun run(kQuiet);
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    ASSERT_TRUE(testing_support::WriteBytes(run.dir() + sample::kManifestName, DeeplyNested("packet")));
    const auto& result = run.Run(L"/s");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(run.StepMarksSeen());
    EXPECT_EQ(run.Reports().size(), 1u);
    auto inventory = run.installation().Inventory();
    // The manifest's entries never ran; the steps that need no manifest did.
    EXPECT_EQ(inventory["startmenu-folder"], "present");
    EXPECT_NE(inventory["uninstall-time"], "absent");
    EXPECT_EQ(inventory["verbs-view32"], "0/276");
}

TEST(SilentRunBadInputTest, DeeplyNestedActionFileIsReadAsNoActions) {
    SilentRun run(kQuiet);
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    ASSERT_TRUE(testing_support::WriteBytes(run.dir() + sample::kExpandTaskName,
                                            manifest::ScrambleExpandTaskText(DeeplyNested("expandtask"))));
    const auto& result = run.Run(L"/s");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(run.StepMarksSeen());
    EXPECT_FALSE(Exists(run.logs() + L"lumenox_db_before.dat"));
    EXPECT_FALSE(Exists(run.logs() + L"lumenox_db_after.dat"));
    ASSERT_TRUE(run.WaitForDirectoryGone(kScriptWaitMs));
    const auto check = run.installation().CheckRemoved();
    EXPECT_EQ(check.exitCode, 0u) << check.output;
}

}  // namespace
