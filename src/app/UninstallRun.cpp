#include "app/UninstallRun.h"

#include <shellapi.h>

#include <algorithm>
#include <ctime>

#include "app/DetectorMainDlg.h"
#include "app/LockAbi.h"
#include "app/Options.h"
#include "base/com_ptr.h"
#include "base/platform.h"
#include "base/unique_any.h"
#include "manifest/ExpandTask.h"
#include "manifest/FileConfig.h"
#include "manifest/InstalledItems.h"
#include "manifest/Settings.h"
#include "removal/FileRemoval.h"
#include "removal/Launch.h"
#include "removal/ProcessControl.h"
#include "removal/ProtectedFolders.h"
#include "removal/Registry.h"
#include "removal/SelfRemovalScript.h"
#include "report/Report.h"

namespace app {

namespace {

constexpr wchar_t kDocKitSection[] = L"common";
constexpr wchar_t kDocKitInstallDirKey[] = L"install_dir";
constexpr int32_t kLockAskArg = 1;
constexpr int32_t kLockKindFirst = 1;
constexpr int32_t kLockKindSecond = 2;
constexpr int kStepsDone = 18;

// Any value of four bytes counts, whatever its type.
bool ReadDword(HKEY root, const wchar_t* subkey, const wchar_t* name, uint32_t& value, REGSAM view = 0) {
    base::unique_hkey key;
    if (::RegOpenKeyExW(root, subkey, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return false;
    return base::ReadRegistryDword(key.get(), name, value, /*anyType=*/true);
}

void AskThenAct(lockkit::ILockObject* lock, const std::vector<const wchar_t*>& params, uint32_t tid1, uint32_t tid2,
                int32_t kind) {
    lock->SetParams(params.data(), static_cast<uint32_t>(params.size()));
    if (lock->Query(kLockAskArg, tid1, tid2, kind) != 0) lock->Act(kLockAskArg, tid1, tid2, kind);
}

// Step boundaries for a debugger or a trace of the run (never a log file).
void MarkStep(int step) {
    char text[32];
    ::wsprintfA(text, "uninst: step %d\n", step);
    ::OutputDebugStringA(text);
}

void DeleteIfPresent(const std::wstring& path) {
    if (base::FileIsPresent(path)) removal::DeleteFileOrDefer(path);
}

}  // namespace

uint32_t NextProgressPercent(uint32_t percent, bool workerEnded) {
    percent += kProgressStep;
    if (workerEnded) return kProgressDone;
    if (percent >= kProgressCeilingFrom) return kProgressCeiling;
    return percent;
}

uint32_t NextUninstallCount(uint32_t previousUserCount, uint32_t classRegistrationCount) {
    return std::max(previousUserCount, classRegistrationCount) + 1;
}

uint32_t ReadUserUninstallCount() {
    uint32_t value = 0;
    ReadDword(HKEY_CURRENT_USER, removal::kProductKeyPath, kUninstallCountValue, value);
    return value;
}

uint32_t ReadClassRegistrationCount() {
    uint32_t value = 0;
    ReadDword(HKEY_CLASSES_ROOT, kClassRegistrationKey, kUninstallCountValue, value, removal::kInstallerView);
    return value;
}

void RecordUninstallTimeAndCount(uint32_t previousUserCount, uint32_t nowSeconds) {
    base::unique_hkey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, removal::kProductKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS) {
        return;
    }
    const DWORD time = nowSeconds;
    ::RegSetValueExW(key.get(), kUninstallTimeValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&time), sizeof(time));
    const DWORD count = NextUninstallCount(previousUserCount, ReadClassRegistrationCount());
    ::RegSetValueExW(key.get(), kUninstallCountValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count),
                     sizeof(count));
}

std::vector<std::wstring> LockLibraryParams(uint32_t tid1, uint32_t tid2, uint32_t id, const std::wstring& uuid,
                                            int tryNo) {
    return {std::to_wstring(tid1), std::to_wstring(tid2), L"0", L"0", std::to_wstring(id), uuid,
            std::to_wstring(tryNo),  L"0",                L"0", L"0", L"0"};
}

void PrepareLockLibrary(const std::wstring& installDir) {
    base::unique_hmodule library(::LoadLibraryExW((installDir + lockkit::kLockLibraryName).c_str(), nullptr,
                                                  LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) return;
    auto get = reinterpret_cast<lockkit::GetClassObjectFn>(
        ::GetProcAddress(library.get(), lockkit::kGetClassObjectExport));
    if (get == nullptr) return;
    base::com_ptr<lockkit::ILockObject> lock;
    get(lockkit::kLockObjectId, lockkit::kLockObjectId, lock.put_void());
    if (!lock) return;

    const manifest::ViewerSettings& settings = manifest::ViewerSettings::Instance();
    // The installation directory is the executable's own: its local
    // configuration carries the try number (read once per process).
    manifest::LocalConfig& localConfig = manifest::LocalConfig::Instance();
    localConfig.LoadLocalConfig(installDir);
    const std::vector<std::wstring> params =
        LockLibraryParams(settings.tid1, settings.tid2, settings.id, settings.uuid, localConfig.GetTryNo());
    std::vector<const wchar_t*> items;
    for (const std::wstring& p : params) items.push_back(p.c_str());
    AskThenAct(lock.get(), items, settings.tid1, settings.tid2, kLockKindFirst);
    AskThenAct(lock.get(), items, settings.tid1, settings.tid2, kLockKindSecond);
    lock.reset();  // released before its library goes
}

std::wstring DocumentKitArguments(const std::wstring& kitInstallDir) {
    return L"/uninstall /install_dir:" + kitInstallDir;
}

void PrepareDocumentKit(const std::wstring& installDir) {
    const std::wstring exe = installDir + kDocKitExeName;
    const std::wstring data = installDir + kDocKitDataName;
    if (!base::FileIsPresent(exe) || !base::FileIsPresent(data)) return;
    wchar_t value[MAX_PATH] = {};
    ::GetPrivateProfileStringW(kDocKitSection, kDocKitInstallDirKey, L"", value, MAX_PATH, data.c_str());
    const std::wstring arguments = DocumentKitArguments(value);
    ::ShellExecuteW(nullptr, L"open", exe.c_str(), arguments.c_str(), nullptr, SW_SHOWNORMAL);
}

void RunUninstallSequence(QDetectorMainDlg& dialog) {
    const std::wstring& dir = dialog.installDir_;
    manifest::ExpandTaskList& tasks = manifest::ExpandTaskList::Instance();

    MarkStep(1);
    tasks.RunBefore();
    MarkStep(2);
    removal::ResetDirectoryAcl(dir);
    MarkStep(3);
    removal::StopExtensionProcess();
    MarkStep(4);
    // Steps 4, 12 and 13 ask for the system and shell folders; one reading
    // serves them all (it costs hundreds of registry and file calls). The
    // folders are the platform's and do not move while the run lasts.
    removal::ShellFolderReading shellFolders;
    // A volume root, a system folder or a user's shell folder runs far more than the product.
    if (!removal::IsProtectedFolder(dir)) removal::KillProcessesUnderDirectory(dir);
    MarkStep(5);
    if (base::FileIsPresent(dir + kServiceExeName)) {
        removal::KillProcessesByPath(dir + kServiceExeName);
        ::Sleep(kServiceKillSettleMs);
    }
    MarkStep(6);
    DeleteIfPresent(dir + kExtensionDllName);
    MarkStep(7);
    DeleteIfPresent(dir + kUtilDllName);
    MarkStep(8);
    if (IsRegistrationStateOn(dialog.options_)) {
        removal::CCommonRegister::Instance().InvokeUtilInterfaceA();
    }
    MarkStep(9);
    removal::CCommonRegister::Instance().InvokeUtilInterfaceB();
    MarkStep(10);
    report::CSingletonReport::Instance().SendUninstallReport(1, report::kReasonRemoved);

    MarkStep(11);
    dialog.fileConfigList_.SetDirectory(dir);
    dialog.fileConfigList_.LoadFileConfigList(dir + removal::kManifestFileName);

    MarkStep(12);
    const std::wstring manifestPath = dir + removal::kManifestFileName;
    const bool manifestOpens = base::FileIsPresent(manifestPath) && [&] {
        // Closed right after the test, so the manifest goes with the other files.
        base::unique_hfile probe(::CreateFileW(manifestPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return probe.valid();
    }();
    if (manifestOpens) {
        manifest::RemoveInstalledFiles(dir, dialog.removalDir_);
        if (dialog.finishTarget_ != nullptr) ::PostMessageW(dialog.finishTarget_, kFinishMessage, 0, 0);
    }

    MarkStep(13);
    removal::WriteSelfRemovalScript(dialog.scriptPath_, manifestOpens);
    // Starting a process costs about as much as a step; it is made now, beside
    // the registry steps, and only runs when the run is over.
    dialog.scriptStart_.Prepare(dialog.scriptPath_);
    MarkStep(14);
    removal::CCommonRegister::Instance();
    removal::RemoveUninstallInfo();
    MarkStep(15);
    removal::CCommonRegister::Instance();
    removal::RemoveShellVerbs();
    MarkStep(16);
    RecordUninstallTimeAndCount(dialog.previousUninstallCount_,
                                static_cast<uint32_t>(std::time(nullptr)));
    MarkStep(17);
    if (dialog.silent_) tasks.RunAfter();
    MarkStep(kStepsDone);
}

}  // namespace app
