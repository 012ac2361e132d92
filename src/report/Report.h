// The usage report: one record per decisive moment, handed to the SDK
// library's report sender when the library is present and reporting is on.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/SdkAbi.h"
#include "base/SdkLibrary.h"
#include "base/com_ptr.h"

namespace report {

constexpr wchar_t kReportTableDecl[] =
    L"metrcdorva_orbix_uninstall:102 product_id:int uninstall:bit reason:byte days:int process:string ver:byte";
constexpr wchar_t kProductIdText[] = L"130";
constexpr int32_t kRecordVersion = 1;
constexpr int64_t kSecondsPerDay = 86400;
constexpr uint32_t kReportSwitchAllOnes = 0xFFFFFFFFu;

// Reasons the callers pass with the uninstall flag.
constexpr int kReasonRemoved = 0;     // with uninstall 1
constexpr int kReasonCancelled = 1;   // cancel button or viewer left running
constexpr int kReasonClosed = 3;      // wizard closed

// Whole days between the install time and now, truncated toward zero and cut
// to 32 bits; negative when the install time lies in the future.
int32_t DaysSinceInstall(int64_t nowSeconds, uint32_t installTime);
// The sender's switch as an unsigned decimal number (null reads as 0).
uint32_t ParseReportSwitch(const wchar_t* text);
// "0" and the all-ones value mean: report nothing.
bool ReportSwitchAllowsRecords(const wchar_t* text);
// The "installtime" value written as text: its leading decimal digits.
uint32_t ParseInstallTimeText(const std::wstring& text);

// The report library, loaded on the first use and kept loaded; the sender
// object is held while the use count is positive.
class ReportSdkHolder {
public:
    // Directories searched in order for qsdxbase.dll; the first holding the file wins.
    explicit ReportSdkHolder(std::vector<std::wstring> candidateDirectories);
    ~ReportSdkHolder();
    ReportSdkHolder(const ReportSdkHolder&) = delete;
    ReportSdkHolder& operator=(const ReportSdkHolder&) = delete;

    // The process's holder: the executable module's directory, then the
    // process executable's directory, unless tests pointed it elsewhere.
    static ReportSdkHolder& Instance();
    // Replaces the search directories of Instance(); only before its first use.
    static void SetDirectoryForTesting(const std::wstring& directory);

    bool Acquire();
    void Release();
    sdk::IReportSender* sender() const noexcept { return sender_.get(); }
    uint32_t use_count() const noexcept { return use_count_; }

private:
    void LoadLibraryAndSender();

    std::mutex lock_;
    std::vector<std::wstring> candidates_;
    std::unique_ptr<base::SdkLibrary> library_;
    base::com_ptr<sdk::IReportSender> sender_;
    uint32_t use_count_ = 0;
};

bool AcquireReportSdk();
void ReleaseReportSdk();

class CSingletonReport {
public:
    // The process's report object, created on the first call (on the main thread).
    static CSingletonReport& Instance();

    // Reads the install time and takes one use of the holder for its whole life.
    explicit CSingletonReport(ReportSdkHolder& holder);
    virtual ~CSingletonReport();
    CSingletonReport(const CSingletonReport&) = delete;
    CSingletonReport& operator=(const CSingletonReport&) = delete;

    // Builds and sends one record; the third argument is part of the
    // interface and not used.
    void SendUninstallReport(int uninstall, int reason, int unused = 0);
    uint32_t install_time() const noexcept { return install_time_; }

private:
    ReportSdkHolder& holder_;
    uint32_t install_time_ = 0;
};

// Makes the extra actions that report their results bring the process's
// report object into being (see manifest::SetTagReportHook).
void ConnectTagReports();

// Reads "installtime" of the product key as a double word, else as text (an
// expandable value as it is stored, unexpanded).
uint32_t ReadInstallTime();

}  // namespace report
