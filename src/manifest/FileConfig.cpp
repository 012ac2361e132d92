#include "manifest/FileConfig.h"

#include "base/SdkLibrary.h"
#include "base/XmlConfigDocument.h"
#include "manifest/InstallLoader.h"
#include "removal/PathContainment.h"
#include "removal/Registry.h"

namespace manifest {
namespace {

constexpr char kConfigElement[] = "config";

const base::ProductValueLookup& LookupOf(const ManifestEnvironment& env) {
    return env.lookup ? *env.lookup : base::ProductValueLookup::Instance();
}

// Visits the item's first "config" child and every element after it, whatever
// its name, with the cursor on each; children before the first "config" are
// not visited. The cursor is back on the item afterwards. False when the item
// has no "config" child.
template <typename Visit>
bool ForEachConfigEntry(base::XmlConfigDocument& document, Visit visit) {
    if (!document.EnterChild(kConfigElement)) return false;
    do {
        std::wstring mode;
        if (document.GetWideAttribute("mode", mode)) visit(mode);
    } while (document.NextSibling(nullptr));
    document.LeaveToParent();
    return true;
}

}  // namespace

std::unique_ptr<CInstallInfo> CreateInstallInfo(const std::wstring& mode, const std::wstring& fullPath,
                                                const ShellEnvironment& shell) {
    if (mode == kShortcutMode) return std::make_unique<CShortcut>(fullPath, shell);
    if (mode == kStartMenuMode) return std::make_unique<CStartMenu>(fullPath, shell);
    if (mode == kServiceMode) return std::make_unique<CServiceinfo>(fullPath);
    return nullptr;
}

void CFileConfigAbstract::MakeFullPath(const std::wstring& installDir) {
    std::wstring directory = installDir;
    if (!directory.empty() && directory.back() == L'\\') directory.pop_back();
    relative_ = DecodeUtf8Bmp(rawPath_);
    path_ = directory + L"\\" + relative_;
}

void CFileConfigAbstract::ReadPath(const base::XmlConfigDocument& document, const std::wstring& installDir) {
    document.GetRawAttribute("path", rawPath_);
    MakeFullPath(installDir);
}

void CFileConfigAbstract::ExecuteEntry(const base::XmlConfigDocument& document, const std::wstring& mode,
                                       const ShellEnvironment& shell) {
    std::unique_ptr<CInstallInfo> entry = CreateInstallInfo(mode, path_, shell);
    if (!entry) return;
    entries_.push_back(std::move(entry));
    entries_.back()->Execute(document);
}

void CCommonFileConfig::LoadItem(base::XmlConfigDocument& document, const std::wstring& installDir,
                                 const ManifestEnvironment& env) {
    std::string flag;
    if (document.GetRawAttribute("mainprogram", flag)) return;
    ReadPath(document, installDir);
    ForEachConfigEntry(document, [&](const std::wstring& mode) { ExecuteEntry(document, mode, env.shell); });
}

int32_t CMainProgramCorrelation::LoadMainProgram(base::XmlConfigDocument& document, const std::wstring& installDir,
                                                 const ManifestEnvironment& env) {
    std::string flag;
    if (!document.GetRawAttribute("mainprogram", flag)) return 0;
    if (flag != kFlagOn) return 1;
    ReadPath(document, installDir);
    const bool hasConfig = ForEachConfigEntry(document, [&](const std::wstring& mode) {
        if (mode == kRegMode) {
            RemoveUninstallInfoKey(installDir, env);
        } else {
            ExecuteEntry(document, mode, env.shell);
        }
    });
    return hasConfig ? 1 : 0;
}

void CMainProgramCorrelation::RemoveUninstallInfoKey(const std::wstring& installDir,
                                                     const ManifestEnvironment& env) const {
    // The uninstaller runs elevated: a main program that the manifest places
    // outside the installation directory, by its text or through a link on
    // the way, is not started.
    std::wstring inside;
    if (removal::JoinInsideDirectoryWithoutLinks(installDir, relative_, inside)) {
        QInstallLoader loader;
        loader.Init(kInstallLoaderKindExe, path_);
        loader.Run();
    }
    const base::ProductValueLookup& lookup = LookupOf(env);
    removal::DeleteRegistryTree(HKEY_LOCAL_MACHINE, lookup.Lookup(removal::kUninstallInfoValueKey),
                                removal::kInstallerView);
    removal::CCommonRegister::Instance();
    removal::RemoveUninstallInfo(lookup);
}

void FileConfigList::LoadFileConfigList(const std::wstring& manifestPath) {
    base::XmlConfigDocument document;
    if (!document.LoadFile(manifestPath)) return;
    if (!document.SelectPath(kFileItemsPath)) return;
    do {
        if (mainProgram_.LoadMainProgram(document, directory_, env_) == 0) {
            CCommonFileConfig item;
            item.LoadItem(document, directory_, env_);
            files_.push_back(std::move(item));
        }
    } while (document.NextSibling(nullptr));
}

}  // namespace manifest
