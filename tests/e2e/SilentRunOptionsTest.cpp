// How the manifest's packet flags, the command line, a missing SDK library, the
// count rule, a second instance and a manifest that cannot be read shape a
// silent run of a sample installation; and the lock library's preparation.
#include <gtest/gtest.h>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "app/UninstallRun.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "support/ProductKey.h"

namespace {

using namespace silent_run;
using namespace testing_support;

constexpr DWORD kSectionBytes = 4;
// About 150 KB of nested start tags: a recursive parse of it exhausts the stack.
constexpr size_t kDeepLevels = 50000;

TEST(SilentRunOptionsTest, SliceWithoutArgumentsRemovesLikeTheSilentSwitch) {
    SilentRun run(std::wstring(kQuiet) + L" --slice");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    const auto& result = run.Run(L"");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(run.StepMarksSeen());
    EXPECT_EQ(run.StepOf(L"ext_process.log", "/ext:0"), 3);
    EXPECT_EQ(run.StepOf(L"lumenox_db_after.dat", "[common]"), 17);  // the after-actions of a silent run
    ASSERT_EQ(run.Reports().size(), 1u);
    EXPECT_EQ(run.Reports()[0].value("uninstall"), "1");
    EXPECT_EQ(run.Scripts().size(), 1u);
    run.ExpectRemoved();
}

TEST(SilentRunOptionsTest, RegStateCallsTheFirstUtilityOperationUnlessUnchangeRegSaysNo) {
    struct Case {
        const wchar_t* arguments;
        int firstStep;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {L"/s", 8, {"A.Run 0", "A.Release", "unload", "B.Run", "B.Release", "unload"}},
        {L"/s /unchange_reg", kNeverSeen, {"B.Run", "B.Release", "unload"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(base::WideToUtf8(c.arguments));
        SilentRun run(std::wstring(kQuiet) + L" --reg-state");
        ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
        ASSERT_TRUE(run.Run(c.arguments).finished);
        EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "A.Run"), c.firstStep);
        EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "B.Run"), 9);
        EXPECT_EQ(ReadLines(run.logs() + L"qlumenoxutil.log"), c.log);
        EXPECT_EQ(run.Reports().size(), 1u);
    }
}

TEST(SilentRunOptionsTest, SkipWithoutArgumentsAndASecondInstanceChangeNothing) {
    struct Case {
        const wchar_t* setupOption;
        const wchar_t* arguments;
        bool firstInstance;  // the section of a first instance is held
    };
    for (const Case c : {Case{L" --skip", L"", false}, Case{L"", L"/s", true}}) {
        SCOPED_TRACE(base::WideToUtf8(c.setupOption) + " " + base::WideToUtf8(c.arguments));
        SilentRun run(kQuiet + std::wstring(c.setupOption));
        ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
        // Under the name the SDK answers for QUninstallToolName.
        base::unique_handle section(c.firstInstance ? ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr,
                                                                           PAGE_READWRITE, 0, kSectionBytes,
                                                                           sample::kSingleInstanceName)
                                                    : nullptr);
        ASSERT_EQ(section.valid(), c.firstInstance);
        const auto& result = run.Run(c.arguments);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0u);
        for (const std::string& trace : result.traces) EXPECT_EQ(trace.find("uninst: step"), std::string::npos);
        ExpectInventory(run.installation(), {{"files", "40/40"}, {"dirs", "8/8"}, {"identity-values", "5/5"},
                                             {"uninstall-count", "absent"}, {"product-key-hklm", "present"},
                                             {"verbs-view32", "276/276"}, {"user-shortcuts", "2/2"},
                                             {"startmenu-folder", "present"}});
        EXPECT_TRUE(run.Scripts().empty());
        EXPECT_FALSE(Exists(run.logs() + L"qsdxbase_reports.jsonl"));
        EXPECT_FALSE(Exists(run.logs() + L"ext_process.log"));
    }
}

TEST(SilentRunOptionsTest, WithoutTheSdkLibraryTheRemovalWorksAndNothingIsReported) {
    SilentRun run(std::wstring(kQuiet) + L" --no-sdk");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    const auto& result = run.Run(L"/s");
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(run.StepMarksSeen());
    EXPECT_FALSE(Exists(run.logs() + L"qsdxbase_reports.jsonl"));
    EXPECT_FALSE(Exists(run.logs() + L"qsdxbase_calls.log"));
    EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "B.Run"), 9);
    EXPECT_EQ(UserDword(sample::kUninstallCountValue), 3u);
    ASSERT_TRUE(run.WaitForDirectoryGone());
    const auto check = run.installation().CheckRemoved();
    EXPECT_EQ(check.exitCode, 0u) << check.output;
    // Only the SDK names the uninstall-information key; without it the key stays.
    EXPECT_NE(check.output.find("note: the uninstall-information key stays"), std::string::npos) << check.output;
}

TEST(SilentRunOptionsTest, SilentCountIsOneMoreThanTheClassRegistrationValue) {
    // A silent run never reads the user's count (and the key it lies in goes
    // before the count is written): only the class registration's value counts,
    // even when the user's is larger.
    SilentRun run(std::wstring(kQuiet) + L" --class-count 7");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    ASSERT_TRUE(testing_support::ProductKeyScope::SetDword(sample::kUninstallCountValue, 9));
    ASSERT_TRUE(run.Run(L"/s").finished);
    EXPECT_EQ(UserDword(sample::kUninstallCountValue), 8u);
}

TEST(SilentRunBadInputTest, DeeplyNestedManifestIsReadAsAbsent) {
    SilentRun run(kQuiet);
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    std::string xml = "<packet>";
    for (size_t i = 0; i < kDeepLevels; ++i) xml += "<a>";
    ASSERT_TRUE(testing_support::WriteBytes(run.dir() + sample::kManifestName, xml));
    const auto& result = run.Run(L"/s");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(run.StepMarksSeen());
    EXPECT_EQ(run.Reports().size(), 1u);
    // The manifest's entries never ran; the steps that need no manifest did.
    ExpectInventory(run.installation(), {{"startmenu-folder", "present"}, {"verbs-view32", "0/276"}});
    EXPECT_NE(UserDword(sample::kUninstallTimeValue), ~0u);
}

// The identity values and the local configuration's try number reach the lock library.
TEST(LockPreparationTest, IdentityAndTryNumberOfTheInstallationReachTheLockLibrary) {
    testing_support::SampleInstallation installation(kQuiet);
    ASSERT_TRUE(installation.installed()) << installation.installOutput();
    app::PrepareLockLibrary(installation.dir());
    const std::string tids = std::to_string(sample::kTid1) + " " + std::to_string(sample::kTid2);
    const std::string params = "SetParams 11 [" + std::to_string(sample::kTid1) + "|" +
                               std::to_string(sample::kTid2) + "|0|0|" + std::to_string(sample::kId) + "|" +
                               base::WideToUtf8(sample::kUuid) + "|" + std::to_string(sample::kTryNo) +
                               "|0|0|0|0]";
    EXPECT_EQ(ReadLines(installation.dir() + L"Pavrenkit.log"),
              (std::vector<std::string>{params, "Query 1 " + tids + " 1 -> 1", "Act 1 " + tids + " 1", params,
                                        "Query 1 " + tids + " 2 -> 1", "Act 1 " + tids + " 2", "release"}));
}

}  // namespace
