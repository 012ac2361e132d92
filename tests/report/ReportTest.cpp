#include <gtest/gtest.h>

#include <ctime>

#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "removal/Paths.h"
#include "report/Report.h"
#include "support/ProductKey.h"
#include "support/TestSupport.h"

using namespace report;
using testing_support::ProductKeyScope;
using testing_support::ReadLines;
using testing_support::ReportRecord;
using testing_support::TempDir;

namespace {

constexpr char kDecl[] =
    "metrcdorva_orbix_uninstall:102 product_id:int uninstall:bit reason:byte days:int process:string ver:byte";
const std::vector<std::string> kFieldNames = {"product_id", "uninstall", "reason", "days", "process", "ver"};

// A directory holding the companion library and, optionally, its switch.
struct LibraryDir {
    TempDir dir;  // destroyed after the holders of a test, which free the library
    explicit LibraryDir(const char* reportSwitch = nullptr, bool withLibrary = true) {
        if (withLibrary) {
            EXPECT_TRUE(testing_support::CopyInto(L"qsdxbase.dll", dir.path()));
        }
        if (reportSwitch) {
            EXPECT_TRUE(testing_support::WriteBytes(dir / L"qsdxbase_values.txt",
                                                    std::string("!report_switch=") + reportSwitch + "\n"));
        }
    }
    std::vector<std::string> Calls() const { return ReadLines(dir / L"qsdxbase_calls.log"); }
    std::vector<ReportRecord> Records() const {
        return testing_support::ParseReports(testing_support::ReadBytes(dir / L"qsdxbase_reports.jsonl"));
    }
    const std::wstring& path() const { return dir.path(); }
};

int64_t Now() { return static_cast<int64_t>(_time64(nullptr)); }

constexpr wchar_t kChildDirVariable[] = L"UNINST_REPORT_CHILD_DIR";

}  // namespace

TEST(ReportArithmetic, DaysAreSigned64BitTruncatedTowardZero) {
    EXPECT_EQ(DaysSinceInstall(10 * 86400, 0), 10);
    EXPECT_EQ(DaysSinceInstall(1700000000, 1700000000 - 86399), 0);
    EXPECT_EQ(DaysSinceInstall(1700000000, 1700000000 + 86399), 0);  // toward zero, not down
    EXPECT_EQ(DaysSinceInstall(1700000000, 1700000000 + 86400 * 3 + 5), -3);
    // The install time is unsigned: the all-ones value lies far in the future.
    EXPECT_EQ(DaysSinceInstall(1700000000, 0xFFFFFFFFu), static_cast<int32_t>((1700000000LL - 4294967295LL) / 86400));
    // The quotient is cut to 32 bits.
    EXPECT_EQ(DaysSinceInstall(86400LL * 0x100000005LL, 0), 5);
}

TEST(ReportArithmetic, SwitchAndInstallTimeText) {
    EXPECT_EQ(ParseReportSwitch(L"1"), 1u);
    EXPECT_EQ(ParseReportSwitch(L"4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseReportSwitch(nullptr), 0u);
    EXPECT_EQ(ParseReportSwitch(L"on"), 0u);
    EXPECT_FALSE(ReportSwitchAllowsRecords(L""));  // "0" and all ones: ReportSwitch
    EXPECT_TRUE(ReportSwitchAllowsRecords(L"2"));
    EXPECT_EQ(ParseInstallTimeText(L"17abc"), 17u);
    EXPECT_EQ(ParseInstallTimeText(L"abc"), 0u);
}

TEST(ReportRecord, RemovalRecordFields) {
    ProductKeyScope key;
    const int64_t install = Now() - 5 * 86400 - 3600;
    ASSERT_TRUE(ProductKeyScope::SetDword(L"installtime", static_cast<uint32_t>(install)));
    LibraryDir lib;
    {
        ReportSdkHolder holder({lib.path()});
        CSingletonReport report(holder);
        EXPECT_EQ(report.install_time(), static_cast<uint32_t>(install));
        // Read once, at creation: later changes do not count.
        ASSERT_TRUE(ProductKeyScope::SetDword(L"installtime", 0));
        report.SendUninstallReport(1, kReasonRemoved, 12345);
    }
    const auto records = lib.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].table, kDecl);
    // Besides the process (left out when the parent cannot be named); the order: ProcessFieldIsParentImagePath.
    const std::pair<const char*, const char*> fields[] = {
        {"product_id", "130"}, {"uninstall", "1"}, {"reason", "0"}, {"days", "5"}, {"ver", "1"}};
    for (const auto& [name, value] : fields) EXPECT_EQ(records[0].value(name), value) << name;
    EXPECT_EQ(lib.Calls(), (std::vector<std::string>{"init", "switch", "create", "send", "shutdown"}));
}

TEST(ReportRecord, CancelAndCloseRecordsShareOneLibraryUse) {
    ProductKeyScope key;
    LibraryDir lib;
    {
        ReportSdkHolder holder({lib.path()});
        CSingletonReport report(holder);
        report.SendUninstallReport(0, kReasonCancelled);
        report.SendUninstallReport(0, kReasonClosed);
        EXPECT_EQ(holder.use_count(), 1u);
        EXPECT_EQ(lib.Calls(), (std::vector<std::string>{"init", "switch", "create", "send", "switch", "create",
                                                         "send"}));
    }
    const auto records = lib.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].value("uninstall"), "0");
    EXPECT_EQ(records[0].value("reason"), "1");
    EXPECT_EQ(records[1].value("reason"), "3");
    EXPECT_EQ(lib.Calls().back(), "shutdown");
}

TEST(ReportRecord, InstallTimeTextIsReadAsStored) {
    {
        ProductKeyScope scope;
        EXPECT_EQ(ReadInstallTime(), 0u);
        // Reading the install time creates the product key when it is missing.
        EXPECT_TRUE(ProductKeyScope::KeyExists());
    }
    ::SetEnvironmentVariableW(L"UNINST_TEST_TIME", L"1700000000");
    const struct { DWORD type; std::wstring text; bool terminated; uint32_t expected; } cases[] = {
        {REG_SZ, L"1700000000", true, 1700000000u},
        {REG_EXPAND_SZ, L"1700000000", false, 1700000000u},  // no terminator stored
        {REG_EXPAND_SZ, L"%UNINST_TEST_TIME%", true, 0u},    // not expanded
        {REG_SZ, std::wstring(300, L'7'), true, 0u},         // no time is that long
        {REG_BINARY, L"1700000000", true, 0u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        ProductKeyScope scope;
        ASSERT_TRUE(ProductKeyScope::SetString(L"installtime", L""));
        base::unique_hkey key;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\qlumenox_varko", 0, KEY_SET_VALUE, key.put()),
                  ERROR_SUCCESS);
        const DWORD bytes = static_cast<DWORD>((c.text.size() + (c.terminated ? 1 : 0)) * sizeof(wchar_t));
        ASSERT_EQ(::RegSetValueExW(key.get(), L"installtime", 0, c.type, reinterpret_cast<const BYTE*>(c.text.c_str()),
                                   bytes),
                  ERROR_SUCCESS);
        EXPECT_EQ(ReadInstallTime(), c.expected);
    }
}

TEST(ReportSwitch, ZeroAndAllOnesSendNothingOnEveryCall) {
    ProductKeyScope key;
    for (const char* value : {"0", "4294967295"}) {
        SCOPED_TRACE(value);
        LibraryDir lib(value);
        {
            ReportSdkHolder holder({lib.path()});
            CSingletonReport report(holder);
            for (int i = 0; i < 3; ++i) report.SendUninstallReport(0, kReasonClosed);
            report.SendUninstallReport(1, kReasonRemoved);
        }
        EXPECT_TRUE(lib.Records().empty());
        EXPECT_EQ(lib.Calls(),
                  (std::vector<std::string>{"init", "switch", "switch", "switch", "switch", "shutdown"}));
    }
}

TEST(ReportLibrary, HolderCountsUsesAndFallsBackToSecondDirectory) {
    LibraryDir missing(nullptr, false);
    {
        ReportSdkHolder holder({missing.path(), L""});
        EXPECT_FALSE(holder.Acquire());
        holder.Release();
        CSingletonReport(holder).SendUninstallReport(1, 0);  // no library: nothing to send through
    }
    LibraryDir lib;
    {
        ReportSdkHolder holder({missing.path(), lib.path()});
        EXPECT_TRUE(holder.Acquire());
        EXPECT_TRUE(holder.Acquire());
        holder.Release();
        EXPECT_NE(holder.sender(), nullptr);
        holder.Release();
        EXPECT_EQ(holder.sender(), nullptr);
        holder.Release();  // below zero is ignored
        EXPECT_EQ(holder.use_count(), 0u);
        EXPECT_TRUE(holder.Acquire());  // a new sender after the last release
        holder.Release();
    }
    EXPECT_EQ(lib.Calls(), (std::vector<std::string>{"init", "shutdown", "init", "shutdown"}));
}

// The "process" field names the program that started the uninstaller. The test
// starts itself as that child, directly and through the 64-bit command
// interpreter of the native system folder (a 64-bit parent of the i686 build);
// the child sends one record into the given directory.
TEST(ReportRecord, ProcessFieldIsParentImagePath) {
    wchar_t childDir[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(kChildDirVariable, childDir, MAX_PATH) > 0) {
        ReportSdkHolder holder({childDir});
        CSingletonReport(holder).SendUninstallReport(1, 0);
        return;
    }
    const std::wstring self = base::GetModulePath(nullptr);
    const std::wstring childArguments = L"--gtest_filter=ReportRecord.ProcessFieldIsParentImagePath";
    const struct { std::wstring program; std::wstring arguments; std::wstring parent; } cases[] = {
        {self, childArguments, self},
        {removal::GetNativeSystemFolder() + L"\\cmd.exe", L"/c \"\"" + self + L"\" " + childArguments + L"\"",
         removal::GetWindowsFolder() + L"\\system32\\cmd.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(base::WideToUtf8(c.program));
        ProductKeyScope key;
        LibraryDir lib;
        ASSERT_TRUE(::SetEnvironmentVariableW(kChildDirVariable, lib.path().c_str()));
        const auto run = testing_support::RunProcess(c.program, c.arguments);
        ::SetEnvironmentVariableW(kChildDirVariable, nullptr);
        ASSERT_TRUE(run.finished);
        ASSERT_EQ(run.exitCode, 0u);
        const auto records = lib.Records();
        ASSERT_EQ(records.size(), 1u);
        const std::string process = records[0].value("process");
        EXPECT_TRUE(base::EqualsNoCase(base::Utf8ToWide(process), c.parent)) << process;
        EXPECT_EQ(records[0].names(), kFieldNames);
    }
}
