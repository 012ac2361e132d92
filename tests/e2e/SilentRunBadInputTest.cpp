// "uninst.exe /s" on an installation whose files were not written by the
// installer: the run still ends normally, treating what it cannot read as absent.
#include <gtest/gtest.h>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "manifest/ExpandTask.h"

namespace {

using namespace silent_run;
using testing_support::Exists;
using testing_support::WriteBytes;

// About 150 KB of nested start tags: a recursive parse of it exhausts the stack.
constexpr size_t kDeepLevels = 50000;

std::string DeeplyNested(const std::string& root) {
    std::string xml = "<" + root + ">";
    for (size_t i = 0; i < kDeepLevels; ++i) xml += "<a>";
    return xml;
}

TEST(SilentRunBadInputTest, DeeplyNestedManifestOrActionFileIsReadAsAbsent) {
    for (const bool inManifest : {true, false}) {
        SCOPED_TRACE(inManifest ? "manifest" : "action file");
        SilentRun run(kQuiet);
        ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
        ASSERT_TRUE(inManifest ? WriteBytes(run.dir() + sample::kManifestName, DeeplyNested("packet"))
                               : WriteBytes(run.dir() + sample::kExpandTaskName,
                                            manifest::ScrambleExpandTaskText(DeeplyNested("expandtask"))));
        const auto& result = run.Run(L"/s");
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0u);
        EXPECT_TRUE(run.StepMarksSeen());
        EXPECT_EQ(run.Reports().size(), 1u);
        if (inManifest) {
            // The manifest's entries never ran; the steps that need no manifest did.
            ExpectInventory(run.installation(), {{"startmenu-folder", "present"}, {"verbs-view32", "0/276"}});
            EXPECT_NE(UserDword(sample::kUninstallTimeValue), ~0u);
        } else {
            EXPECT_FALSE(Exists(run.logs() + L"lumenox_db_before.dat"));
            EXPECT_FALSE(Exists(run.logs() + L"lumenox_db_after.dat"));
            run.ExpectRemoved();
        }
    }
}

}  // namespace
