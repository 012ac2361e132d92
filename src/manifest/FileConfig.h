// The file configuration list: the model built from the install manifest's
// file list. Loading it is the removal itself: every configuration entry of a
// file item (service, shortcut, start-menu folder, the main program's registry
// data) is carried out the moment it is read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "manifest/InstallInfo.h"
#include "manifest/Shortcut.h"

namespace base {
class ProductValueLookup;
class XmlConfigDocument;
}

namespace manifest {


// Element path of the manifest's file items.
constexpr char kFileItemsPath[] = "packet\\installfile\\filelist\\item";
// The only value of a flag attribute that counts.
constexpr char kFlagOn[] = "1";

// What the entries reach beyond the manifest: the shell's folders and the
// product value lookup that names the uninstall-information key.
struct ManifestEnvironment {
    ShellEnvironment shell = ShellEnvironment::Platform();
    // nullptr: the process-wide lookup.
    const base::ProductValueLookup* lookup = nullptr;
};

// A new entry of the kind the mode names (compared exactly), or nullptr for any
// other mode ("reg" included, which only the main-program item handles).
std::unique_ptr<CInstallInfo> CreateInstallInfo(const std::wstring& mode, const std::wstring& fullPath,
                                                const ShellEnvironment& shell = ShellEnvironment::Platform());

// A file item: its path and the entries that were created (and executed) from it.
class CFileConfigAbstract {
public:
    CFileConfigAbstract() = default;
    virtual ~CFileConfigAbstract() = default;
    CFileConfigAbstract(CFileConfigAbstract&&) = default;
    CFileConfigAbstract& operator=(CFileConfigAbstract&&) = default;

    // The path becomes the installation directory (one trailing backslash
    // dropped), a backslash and the decoded item path.
    virtual void MakeFullPath(const std::wstring& installDir);

    // The item's "path" as read; after MakeFullPath the full path.
    const std::wstring& path() const { return path_; }
    // The item's path relative to the installation directory, decoded.
    const std::wstring& relativePath() const { return relative_; }
    const std::vector<std::unique_ptr<CInstallInfo>>& entries() const { return entries_; }

protected:
    // Reads "path" from the element under the cursor and makes it full.
    void ReadPath(const base::XmlConfigDocument& document, const std::wstring& installDir);
    // Creates, stores and executes the entry of the element under the cursor.
    void ExecuteEntry(const base::XmlConfigDocument& document, const std::wstring& mode, const ShellEnvironment& shell);

    std::string rawPath_;
    std::wstring relative_;
    std::wstring path_;
    std::vector<std::unique_ptr<CInstallInfo>> entries_;
};

// An ordinary file item.
class CCommonFileConfig : public CFileConfigAbstract {
public:
    // Cursor on the item; the cursor is back on the item afterwards. An item
    // marked "mainprogram" is left empty.
    void LoadItem(base::XmlConfigDocument& document, const std::wstring& installDir, const ManifestEnvironment& env);
};

// The viewer's main program, filled by the items marked "mainprogram" = "1".
class CMainProgramCorrelation : public CFileConfigAbstract {
public:
    // Cursor on the item; the cursor is back on the item afterwards.
    // 0: not a main-program item (or one without entries), to be loaded as an
    // ordinary item; 1: consumed (including items whose flag is not "1").
    virtual int32_t LoadMainProgram(base::XmlConfigDocument& document, const std::wstring& installDir,
                                    const ManifestEnvironment& env);

    // Runs the main program once with "/setdefault:0", then deletes the
    // uninstall-information key and the product's keys.
    void RemoveUninstallInfoKey(const std::wstring& installDir, const ManifestEnvironment& env) const;
};

class FileConfigList {
public:
    // The installation directory; with or without its trailing backslash the
    // full paths come out the same.
    void SetDirectory(const std::wstring& installDir) { directory_ = installDir; }
    const std::wstring& directory() const { return directory_; }
    void SetEnvironment(ManifestEnvironment env) { env_ = std::move(env); }

    // Reads the manifest's file items and carries out their entries as they
    // are read. A manifest that cannot be loaded loads and executes nothing.
    void LoadFileConfigList(const std::wstring& manifestPath);

    const std::vector<CCommonFileConfig>& files() const { return files_; }
    const CMainProgramCorrelation& mainProgram() const { return mainProgram_; }

private:
    std::wstring directory_;
    ManifestEnvironment env_;
    std::vector<CCommonFileConfig> files_;
    CMainProgramCorrelation mainProgram_;
};

}  // namespace manifest
