// How the manifest's packet flags, the command line, a missing SDK library, the
// count rule and a second instance shape a silent run of a sample installation.
#include <gtest/gtest.h>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "support/ProductKey.h"

namespace {

using silent_run::kNeverSeen;
using silent_run::kQuiet;
using silent_run::SilentRun;
using testing_support::ReadLines;

constexpr DWORD kScriptWaitMs = 10000;
constexpr DWORD kSectionBytes = 4;

uint32_t UserCount() {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegGetValueW(HKEY_CURRENT_USER, sample::kProductKeyPath, sample::kUninstallCountValue, RRF_RT_REG_DWORD,
                       nullptr, &value, &size) != ERROR_SUCCESS) {
        return ~0u;
    }
    return value;
}

// Everything the quiet installation made is still there.
void ExpectUntouched(SilentRun& run) {
    auto inventory = run.installation().Inventory();
    EXPECT_EQ(inventory["files"], "40/40");
    EXPECT_EQ(inventory["dirs"], "8/8");
    EXPECT_EQ(inventory["identity-values"], "5/5");
    EXPECT_EQ(inventory["uninstall-count"], "absent");
    EXPECT_EQ(inventory["product-key-hklm"], "present");
    EXPECT_EQ(inventory["verbs-view32"], "276/276");
    EXPECT_EQ(inventory["user-shortcuts"], "2/2");
    EXPECT_EQ(inventory["startmenu-folder"], "present");
    EXPECT_TRUE(run.Scripts().empty());
    EXPECT_FALSE(testing_support::Exists(run.logs() + L"qsdxbase_reports.jsonl"));
    EXPECT_FALSE(testing_support::Exists(run.logs() + L"ext_process.log"));
}

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
    ASSERT_TRUE(run.WaitForDirectoryGone(kScriptWaitMs));
    const auto check = run.installation().CheckRemoved();
    EXPECT_EQ(check.exitCode, 0u) << check.output;
}

TEST(SilentRunOptionsTest, RegStateCallsBothUtilityOperationsInTheirSteps) {
    SilentRun run(std::wstring(kQuiet) + L" --reg-state");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    ASSERT_TRUE(run.Run(L"/s").finished);
    EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "A.Run 0"), 8);
    EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "B.Run"), 9);
    EXPECT_EQ(ReadLines(run.logs() + L"qlumenoxutil.log"),
              (std::vector<std::string>{"A.Run 0", "A.Release", "unload", "B.Run", "B.Release", "unload"}));
}

TEST(SilentRunOptionsTest, UnchangeRegOverridesRegStateButTheSecondOperationStillRuns) {
    SilentRun run(std::wstring(kQuiet) + L" --reg-state");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    ASSERT_TRUE(run.Run(L"/s /unchange_reg").finished);
    EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "A.Run"), kNeverSeen);
    EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "B.Run"), 9);
    EXPECT_EQ(run.Reports().size(), 1u);
}

TEST(SilentRunOptionsTest, SkipWithoutArgumentsDoesNothingAtAll) {
    SilentRun run(std::wstring(kQuiet) + L" --skip");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    const auto& result = run.Run(L"");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    for (const std::string& trace : result.traces) EXPECT_EQ(trace.find("uninst: step"), std::string::npos);
    ExpectUntouched(run);
}

TEST(SilentRunOptionsTest, WithoutTheSdkLibraryTheRemovalWorksAndNothingIsReported) {
    SilentRun run(std::wstring(kQuiet) + L" --no-sdk");
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    const auto& result = run.Run(L"/s");
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(run.StepMarksSeen());
    EXPECT_FALSE(testing_support::Exists(run.logs() + L"qsdxbase_reports.jsonl"));
    EXPECT_FALSE(testing_support::Exists(run.logs() + L"qsdxbase_calls.log"));
    EXPECT_EQ(run.StepOf(L"qlumenoxutil.log", "B.Run"), 9);
    EXPECT_EQ(UserCount(), 3u);
    ASSERT_TRUE(run.WaitForDirectoryGone(kScriptWaitMs));
    const auto check = run.installation().CheckRemoved();
    EXPECT_EQ(check.exitCode, 0u) << check.output;
    // Only the SDK names the uninstall-information key; without it the key stays.
    EXPECT_NE(check.output.find("note: the uninstall-information key stays"), std::string::npos) << check.output;
}

TEST(SilentRunOptionsTest, SilentCountIsOneMoreThanTheClassRegistrationValue) {
    struct Case {
        uint32_t classCount;
        uint32_t userCount;
    };
    // A silent run never reads the user's count (and the key it lies in goes
    // before the count is written): only the class registration's value counts,
    // whether it is the larger one or not.
    for (const Case c : {Case{7, 3}, Case{2, 9}}) {
        SCOPED_TRACE("class " + std::to_string(c.classCount) + ", user " + std::to_string(c.userCount));
        SilentRun run(std::wstring(kQuiet) + L" --class-count " + std::to_wstring(c.classCount));
        ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
        ASSERT_TRUE(testing_support::ProductKeyScope::SetDword(sample::kUninstallCountValue, c.userCount));
        ASSERT_TRUE(run.Run(L"/s").finished);
        EXPECT_EQ(UserCount(), c.classCount + 1);
    }
}

TEST(SilentRunOptionsTest, SecondInstanceChangesNothing) {
    SilentRun run(kQuiet);
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    // The section of a first instance, under the name the SDK answers for QUninstallToolName.
    base::unique_handle section(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSectionBytes,
                                                     sample::kSingleInstanceName));
    ASSERT_TRUE(section);
    const auto& result = run.Run(L"/s");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    for (const std::string& trace : result.traces) EXPECT_EQ(trace.find("uninst: step"), std::string::npos);
    ExpectUntouched(run);
}

}  // namespace
