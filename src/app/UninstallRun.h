// The removal sequence and the bookkeeping around it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace app {

class QDetectorMainDlg;

constexpr UINT kFinishMessage = 0x470;      // worker to wizard: show the farewell page
constexpr UINT_PTR kProgressTimerId = 1;
constexpr UINT kProgressTimerPeriodMs = 500;
constexpr uint32_t kProgressStep = 10;
constexpr uint32_t kProgressCeiling = 99;   // shown while the worker still runs
constexpr uint32_t kProgressCeilingFrom = 90;
constexpr uint32_t kProgressDone = 100;
constexpr DWORD kServiceKillSettleMs = 100;

constexpr wchar_t kServiceExeName[] = L"qlumservice.exe";
constexpr wchar_t kExtensionDllName[] = L"lumenox_ext64.dll";
constexpr wchar_t kUtilDllName[] = L"qlumenoxutil64.dll";
constexpr wchar_t kDocKitExeName[] = L"qdoxkit.exe";
constexpr wchar_t kDocKitDataName[] = L"qdoxkit.dat";

constexpr wchar_t kUninstallTimeValue[] = L"uninstall_time";
constexpr wchar_t kUninstallCountValue[] = L"uninstall_count";
constexpr wchar_t kClassRegistrationKey[] =
    L"CLSID\\{9B7A98EC-7EF9-468c-ACC8-37C793DBD7E0}\\Implemented Categories\\{A5F7140E-4311-4ef9-AABC-F55941B5EBE5}";

// One progress tick: 10 points more, 99 while the worker lives from 90 on,
// 100 once it has ended.
uint32_t NextProgressPercent(uint32_t percent, bool workerEnded);

// One more than the larger of the two counts.
uint32_t NextUninstallCount(uint32_t previousUserCount, uint32_t classRegistrationCount);
// "uninstall_count" of the user's product key; 0 when absent.
uint32_t ReadUserUninstallCount();
// "uninstall_count" of the class-registration key (in the installer's view); 0
// when absent or not four bytes.
uint32_t ReadClassRegistrationCount();
// Writes "uninstall_time" (now) and "uninstall_count" into the user's product key.
void RecordUninstallTimeAndCount(uint32_t previousUserCount, uint32_t nowSeconds);

// The eleven parameters handed to the lock library.
std::vector<std::wstring> LockLibraryParams(uint32_t tid1, uint32_t tid2, uint32_t id, const std::wstring& uuid,
                                            int tryNo);
// Preparation on the uninstall button: the lock library, then the document kit's own uninstaller.
void PrepareLockLibrary(const std::wstring& installDir);
void PrepareDocumentKit(const std::wstring& installDir);
// Arguments for the document kit's uninstaller.
std::wstring DocumentKitArguments(const std::wstring& kitInstallDir);

// The seventeen steps, on the calling thread. Each begins with its trace mark
// "uninst: step N" (1 to 17); "uninst: step 18" marks the end.
void RunUninstallSequence(QDetectorMainDlg& dialog);

}  // namespace app
