#include "report/Report.h"

#include <cstdlib>
#include <ctime>

#include "base/platform.h"
#include "base/unique_any.h"
#include "manifest/ExpandTask.h"
#include "removal/ProcessControl.h"
#include "removal/Registry.h"

namespace report {
namespace {

constexpr wchar_t kInstallTimeValue[] = L"installtime";
// The time as text is a few digits; a longer value is not a time and reads as 0.
constexpr DWORD kMaxInstallTimeTextBytes = 256 * sizeof(wchar_t);

std::wstring* g_testDirectory = nullptr;

// The module holding this code; the executable itself unless linked into a library.
HMODULE OwnModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}

}  // namespace

int32_t DaysSinceInstall(int64_t nowSeconds, uint32_t installTime) {
    return static_cast<int32_t>((nowSeconds - static_cast<int64_t>(installTime)) / kSecondsPerDay);
}

uint32_t ParseReportSwitch(const wchar_t* text) {
    if (text == nullptr) return 0;
    return static_cast<uint32_t>(std::wcstoul(text, nullptr, 10));
}

bool ReportSwitchAllowsRecords(const wchar_t* text) {
    const uint32_t value = ParseReportSwitch(text);
    return value != 0 && value != kReportSwitchAllOnes;
}

uint32_t ParseInstallTimeText(const std::wstring& text) {
    return static_cast<uint32_t>(_wcstoui64(text.c_str(), nullptr, 10));
}

uint32_t ReadInstallTime() {
    base::unique_hkey key;
    uint32_t value = 0;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, removal::kProductKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, key.put(), nullptr) == ERROR_SUCCESS &&
        base::ReadRegistryDword(key.get(), kInstallTimeValue, value)) {
        return value;
    }
    // The value as text, read as stored: the platform's typed read would
    // expand an expandable value.
    base::unique_hkey readable;
    std::wstring text;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, removal::kProductKeyPath, 0, KEY_QUERY_VALUE, readable.put()) !=
            ERROR_SUCCESS ||
        !base::ReadRegistryString(readable.get(), kInstallTimeValue, kMaxInstallTimeTextBytes, text)) {
        return 0;
    }
    return ParseInstallTimeText(text);
}

// ---- ReportSdkHolder --------------------------------------------------------

ReportSdkHolder::ReportSdkHolder(std::vector<std::wstring> candidateDirectories)
    : candidates_(std::move(candidateDirectories)) {}

ReportSdkHolder::~ReportSdkHolder() {
    // A sender still held is left alone, and so is the code behind it; without
    // one the library can go with the holder.
    if (sender_) {
        sender_.detach();
        library_.release();
    }
}

ReportSdkHolder& ReportSdkHolder::Instance() {
    static ReportSdkHolder holder(g_testDirectory
                                      ? std::vector<std::wstring>{*g_testDirectory}
                                      : std::vector<std::wstring>{base::GetModuleDirectory(OwnModule()),
                                                                  base::GetModuleDirectory(nullptr)});
    return holder;
}

void ReportSdkHolder::SetDirectoryForTesting(const std::wstring& directory) {
    static std::wstring stored;
    stored = directory;
    g_testDirectory = &stored;
}

void ReportSdkHolder::LoadLibraryAndSender() {
    if (!library_) {
        for (const std::wstring& directory : candidates_) {
            if (directory.empty()) continue;
            std::wstring path = directory;
            base::EnsureTrailingSeparator(path);
            if (!base::FileIsPresent(path + sdk::kSdkLibraryName)) continue;
            library_ = base::SdkLibrary::Load(directory);
            break;
        }
    }
    if (library_ && library_->CreateObject(sdk::kReportSenderId, sender_.put_void())) {
        sender_->Init();  // its status does not decide anything
    }
}

bool ReportSdkHolder::Acquire() {
    std::lock_guard<std::mutex> guard(lock_);
    if (++use_count_ == 1) LoadLibraryAndSender();
    return static_cast<bool>(sender_);
}

void ReportSdkHolder::Release() {
    std::lock_guard<std::mutex> guard(lock_);
    if (use_count_ == 0) return;
    if (--use_count_ == 0 && sender_) {
        sender_->Shutdown();
        sender_.reset();
    }
}

bool AcquireReportSdk() { return ReportSdkHolder::Instance().Acquire(); }
void ReleaseReportSdk() { ReportSdkHolder::Instance().Release(); }

// ---- CSingletonReport -------------------------------------------------------

void ConnectTagReports() {
    manifest::SetTagReportHook([] { CSingletonReport::Instance(); });
}

CSingletonReport& CSingletonReport::Instance() {
    // Destroyed at exit after everything created later, handing back its use of the library.
    static CSingletonReport report(ReportSdkHolder::Instance());
    return report;
}

CSingletonReport::CSingletonReport(ReportSdkHolder& holder) : holder_(holder), install_time_(ReadInstallTime()) {
    holder_.Acquire();
}

CSingletonReport::~CSingletonReport() { holder_.Release(); }

void CSingletonReport::SendUninstallReport(int uninstall, int reason, int /*unused*/) {
    sdk::IReportSender* sender = holder_.Acquire() ? holder_.sender() : nullptr;

    sdk::IReportRecord* record = nullptr;
    if (sender != nullptr && ReportSwitchAllowsRecords(sender->GetReportSwitch())) record = sender->CreateRecord();
    if (record != nullptr) record->SetTableDecl(kReportTableDecl);
    const bool filling = sender != nullptr && record != nullptr;

    if (filling) record->SetInt(L"product_id", _wtoi(kProductIdText));
    const int32_t days = DaysSinceInstall(static_cast<int64_t>(_time64(nullptr)), install_time_);
    if (filling) {
        record->SetInt(L"uninstall", uninstall);
        record->SetInt(L"reason", reason);
        record->SetInt(L"days", days);
    }

    std::wstring parentPath;
    const DWORD parent = removal::GetParentProcessId(::GetCurrentProcessId());
    if (parent != removal::kNoParentProcess) parentPath = removal::GetProcessPathById(parent);
    if (filling && !parentPath.empty()) record->SetText(L"process", parentPath.c_str());

    if (filling) {
        record->SetInt(L"ver", kRecordVersion);
        sender->Send(record);  // the record belongs to the sender; it is not released here
    }

    holder_.Release();
}

}  // namespace report
