// What of the sample installation is present: the inventory and the removal check.
#include <windows.h>

#include <algorithm>

#include "Setup.h"
#include "SystemState.h"
#include "base/platform.h"
#include "base/text.h"

namespace sample {

namespace {

constexpr size_t kListedPerKind = 20;  // the removal check names at most this many items of one kind
constexpr std::array<const wchar_t*, 2> kProductWords = {L"lumenox", L"orbix"};

struct Count {
    size_t present = 0;
    size_t total = 0;
    std::vector<std::wstring> presentItems;
    std::vector<std::wstring> missingItems;

    void Add(const std::wstring& item, bool isPresent) {
        ++total;
        if (isPresent) {
            ++present;
            presentItems.push_back(item);
        } else {
            missingItems.push_back(item);
        }
    }
    std::wstring Text() const { return std::to_wstring(present) + L"/" + std::to_wstring(total); }
};

// Wine may keep the 32-bit view of the classes root as a tree of its own; on
// Windows both views show the same SystemFileAssociations key.
bool ViewsAreSeparate() { return !ViewsShareKey(HKEY_CLASSES_ROOT, kVerbRootKeyPath); }

struct Observation {
    std::wstring dir;
    SetupOptions options;
    SampleLayout layout;
    bool dirPresent = false;
    Count files, readOnly, dirs, decoys, userLinks, commonLinks, verbs32, verbs64;
    bool manifest = false;
    bool uninstaller = false;
    bool userKey = false;
    Count identity;
    std::vector<std::wstring> otherUserValues;  // beyond uninstall_time and uninstall_count
    std::wstring uninstallTime = L"absent";
    std::wstring uninstallCount = L"absent";
    bool machineKey = false;
    bool uninstallInfo = false;
    std::wstring classCount = L"absent";
    bool foreignVerb = false;
    std::wstring service;
    bool foreignLink = false;
    bool startMenu = false;
    size_t processes = 0;
    size_t viewerWindows = 0;
};

std::wstring DwordText(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view = 0) {
    uint32_t value = 0;
    return GetRegDword(root, path, name, value, view) ? std::to_wstring(value) : L"absent";
}

Observation Observe(const std::wstring& installDir, const SetupOptions& options) {
    Observation o;
    o.dir = NormalizeDirectory(installDir);
    o.options = options;
    o.layout = BuildLayout(options);
    o.dirPresent = base::DirectoryIsPresent(o.dir);
    for (const SampleFile& f : o.layout.files) {
        const bool present = base::FileIsPresent(o.dir + f.path);
        o.files.Add(f.path, present);
        if (f.readOnly) o.readOnly.Add(f.path, present);
    }
    for (const std::wstring& d : o.layout.dirs) o.dirs.Add(d, base::DirectoryIsPresent(o.dir + d));
    for (const std::wstring& d : o.layout.decoyFiles) o.decoys.Add(d, base::FileIsPresent(o.dir + d));
    o.manifest = base::FileIsPresent(o.dir + kManifestName);
    o.uninstaller = base::FileIsPresent(o.dir + kUninstallerFile);

    o.userKey = RegKeyExists(HKEY_CURRENT_USER, kProductKeyPath);
    const auto names = RegValueNames(HKEY_CURRENT_USER, kProductKeyPath);
    auto has = [&](const std::wstring& name) {
        return std::any_of(names.begin(), names.end(), [&](const std::wstring& n) { return base::EqualsNoCase(n, name); });
    };
    for (const wchar_t* value : kIdentityValues) o.identity.Add(value, has(value));
    for (const std::wstring& n : names) {
        if (!base::EqualsNoCase(n, kUninstallTimeValue) && !base::EqualsNoCase(n, kUninstallCountValue)) {
            o.otherUserValues.push_back(n);
        }
    }
    o.uninstallTime = DwordText(HKEY_CURRENT_USER, kProductKeyPath, kUninstallTimeValue);
    o.uninstallCount = DwordText(HKEY_CURRENT_USER, kProductKeyPath, kUninstallCountValue);
    o.machineKey = RegKeyExists(HKEY_LOCAL_MACHINE, kProductKeyPath, kInstallerView);
    o.uninstallInfo = RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallInfoKeyPath, kInstallerView);
    o.classCount = DwordText(HKEY_CLASSES_ROOT, kClassCountKeyPath, kUninstallCountValue, kInstallerView);
    for (const wchar_t* extension : kVerbExtensions) {
        for (const wchar_t* verb : kVerbNames) {
            const std::wstring key = VerbKeyPath(extension, verb);
            o.verbs32.Add(key, RegKeyExists(HKEY_CLASSES_ROOT, key, KEY_WOW64_32KEY));
            o.verbs64.Add(key, RegKeyExists(HKEY_CLASSES_ROOT, key, KEY_WOW64_64KEY));
        }
    }
    o.foreignVerb = RegKeyExists(HKEY_CLASSES_ROOT, kForeignVerbKeyPath, KEY_WOW64_32KEY);
    o.service = ServiceStateName(kServiceName);

    const std::wstring user = FolderPath(Folder::UserDesktop);
    const std::wstring common = FolderPath(Folder::CommonDesktop);
    const std::wstring programs = FolderPath(Folder::CommonPrograms);
    o.userLinks.Add(user + kUserShortcut, base::FileIsPresent(user + kUserShortcut));
    o.userLinks.Add(user + kUserToolsShortcut, base::FileIsPresent(user + kUserToolsShortcut));
    o.commonLinks.Add(common + kCommonShortcut, base::FileIsPresent(common + kCommonShortcut));
    o.foreignLink = base::FileIsPresent(user + kForeignShortcut);
    o.startMenu = base::DirectoryIsPresent(programs + kStartMenuFolder);
    o.processes = ProcessesUnder(o.dir).size();
    o.viewerWindows = CountWindowsOfClass(kViewerClassName);
    return o;
}

const wchar_t* Presence(bool present) { return present ? L"present" : L"absent"; }

void Field(const wchar_t* name, const std::wstring& value) { PrintLine(std::wstring(name) + L": " + value); }

bool LoadOrComplain(const std::wstring& installDir, SetupOptions& options) {
    if (LoadSetupRecord(installDir, options)) return true;
    PrintLine(L"error: no installation record at " + SetupRecordPath(installDir));
    return false;
}

bool ContainsProductWord(const std::wstring& dir) {
    const std::wstring lower = base::ToLowerInvariant(dir);
    return std::any_of(kProductWords.begin(), kProductWords.end(),
                       [&](const wchar_t* word) { return lower.find(word) != std::wstring::npos; });
}

class Findings {
public:
    void Remains(const std::wstring& what) { Add(L"remains: " + what); }
    void Lost(const std::wstring& what) { Add(L"lost: " + what); }
    void RemainsAll(const wchar_t* kind, const std::vector<std::wstring>& items) {
        for (size_t i = 0; i < items.size() && i < kListedPerKind; ++i) Remains(std::wstring(kind) + L" " + items[i]);
        if (items.size() > kListedPerKind) {
            Remains(std::wstring(kind) + L" ... and " + std::to_wstring(items.size() - kListedPerKind) + L" more");
        }
    }
    bool empty() const { return count_ == 0; }
    size_t count() const { return count_; }

private:
    void Add(const std::wstring& line) {
        PrintLine(line);
        ++count_;
    }
    size_t count_ = 0;
};

}  // namespace

int PrintInventory(const std::wstring& installDir) {
    SetupOptions options;
    if (!LoadOrComplain(installDir, options)) return kExitFailed;
    const Observation o = Observe(installDir, options);
    Field(L"install-dir", o.dir + (o.dirPresent ? L"" : L" (absent)"));
    Field(L"files", o.files.Text());
    Field(L"read-only-files", o.readOnly.Text());
    Field(L"dirs", o.dirs.Text());
    Field(L"manifest", Presence(o.manifest));
    Field(L"uninstaller", Presence(o.uninstaller));
    Field(L"product-key-hkcu", Presence(o.userKey));
    Field(L"identity-values", o.identity.Text());
    Field(L"uninstall-time", o.uninstallTime);
    Field(L"uninstall-count", o.uninstallCount);
    Field(L"product-key-hklm", Presence(o.machineKey));
    Field(L"uninstall-info-key", Presence(o.uninstallInfo));
    Field(L"class-uninstall-count", o.classCount);
    Field(L"verbs-view32", o.verbs32.Text());
    Field(L"verbs-view64", o.verbs64.Text());
    Field(L"foreign-verb", Presence(o.foreignVerb));
    Field(L"service", o.service);
    Field(L"user-shortcuts", o.userLinks.Text());
    Field(L"common-shortcuts", o.commonLinks.Text());
    Field(L"foreign-shortcut", Presence(o.foreignLink));
    Field(L"startmenu-folder", Presence(o.startMenu));
    Field(L"processes", std::to_wstring(o.processes));
    Field(L"viewer-windows", std::to_wstring(o.viewerWindows));
    Field(L"decoys", o.decoys.Text());
    return kExitOk;
}

int CheckRemoved(const std::wstring& installDir) {
    SetupOptions options;
    if (!LoadOrComplain(installDir, options)) return kExitFailed;
    const Observation o = Observe(installDir, options);
    Findings findings;
    findings.RemainsAll(L"file", o.files.presentItems);
    findings.RemainsAll(L"directory", o.dirs.presentItems);
    // The directory itself goes as a whole only when its path names the product.
    if (o.dirPresent && ContainsProductWord(o.dir)) findings.Remains(L"directory " + o.dir);
    // The removal re-creates the user's key for the uninstall time and count only.
    findings.RemainsAll(L"value HKCU\\Software\\qlumenox_varko\\", o.otherUserValues);
    if (o.machineKey) findings.Remains(L"key HKLM\\Software\\qlumenox_varko");
    if (o.uninstallInfo) {
        if (options.sdk) {
            findings.Remains(std::wstring(L"key HKLM\\") + kUninstallInfoKeyPath);
        } else {
            PrintLine(L"note: the uninstall-information key stays: without the SDK nothing names it");
        }
    }
    findings.RemainsAll(L"verb (32-bit view)", o.verbs32.presentItems);
    if (o.verbs64.present > 0) {
        if (ViewsAreSeparate()) {
            PrintLine(L"note: " + std::to_wstring(o.verbs64.present) +
                      L" verbs left in the 64-bit view, which only Wine keeps apart from the 32-bit view");
        } else {
            findings.RemainsAll(L"verb (64-bit view)", o.verbs64.presentItems);
        }
    }
    if (!o.foreignVerb) findings.Lost(std::wstring(L"foreign verb ") + kForeignVerbKeyPath);
    if (o.service != L"absent") findings.Remains(std::wstring(L"service ") + kServiceName + L" (" + o.service + L")");
    findings.RemainsAll(L"shortcut", o.userLinks.presentItems);
    findings.RemainsAll(L"shortcut", o.commonLinks.presentItems);
    if (!o.foreignLink) findings.Lost(std::wstring(L"foreign shortcut ") + kForeignShortcut);
    if (o.startMenu) findings.Remains(std::wstring(L"start-menu folder ") + kStartMenuFolder);
    if (o.processes > 0) findings.Remains(std::to_wstring(o.processes) + L" processes from " + o.dir);
    if (o.viewerWindows > 0) findings.Remains(std::to_wstring(o.viewerWindows) + L" viewer windows");
    for (const std::wstring& d : o.decoys.missingItems) findings.Lost(L"decoy " + o.dir + d);
    if (findings.empty()) {
        PrintLine(L"removed: everything the installation made is gone");
        return kExitOk;
    }
    PrintLine(L"not removed: " + std::to_wstring(findings.count()) + L" findings");
    return kExitRemains;
}

}  // namespace sample
