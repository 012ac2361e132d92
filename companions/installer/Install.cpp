// Lays down the sample installation and takes it away again (--cleanup).
#include <windows.h>
#include <shlobj.h>

#include <ctime>

#include "Setup.h"
#include "SystemState.h"
#include "base/platform.h"
#include "base/text.h"
#include "manifest/Settings.h"

namespace sample {

namespace {

constexpr DWORD kHelperLifetimeMs = 120 * 1000;
constexpr DWORD kStartWaitMs = 10000;
constexpr wchar_t kVerbText[] = L"Open with Lumenox";
constexpr wchar_t kVersion[] = L"3.2.0.1024";
constexpr wchar_t kActionCopyBefore[] = L"lumenox_db_before.dat";
constexpr wchar_t kActionCopyAfter[] = L"lumenox_db_after.dat";
constexpr wchar_t kActionRunLog[] = L"expandtask_before.log";
constexpr uint32_t kAvoidedProductMask = 0x4;  // product 3 of lminfo.dat, which is not installed
constexpr wchar_t kUtf16Bom[] = L"\xFEFF";

std::string Attr(const char* name, const std::wstring& value) {
    return std::string(" ") + name + "=\"" + base::XmlEscape(value) + "\"";
}

std::string Scramble(std::string text) {
    for (char& c : text) c = static_cast<char>(static_cast<uint8_t>(c) ^ kExpandTaskXorKey);
    return text;
}

// Where the extra actions leave their traces: the log directory, else the
// temporary folder (the removal takes the installation directory away).
std::wstring ActionDirectory(const SetupOptions& options) {
    if (!options.logDir.empty()) return NormalizeDirectory(options.logDir);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return NormalizeDirectory(temp);
}

std::string ManifestText(const SetupOptions& options, const SampleLayout& layout) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<packet" + Attr("MsgTip", options.msgTip);
    if (options.slice) xml += " slice=\"1\"";
    if (options.skip) xml += " skip=\"1\"";
    if (options.regState) xml += " reg_state=\"1\"";
    xml += ">\r\n  <installfile>\r\n    <filelist>\r\n";
    for (const SampleFile& f : layout.files) {
        xml += "      <item" + Attr("path", f.path) + "/>\r\n";
        if (f.path == kUninstallerFile) {
            // The main program: its registry data, desktop shortcut and start-menu folder.
            xml += "      <item" + Attr("path", kMainProgramFile) + " mainprogram=\"1\">\r\n";
            xml += "        <config mode=\"reg\"/>\r\n";
            xml += "        <config mode=\"shortcut\"" + Attr("name", kUserShortcut) +
                   " quicklaunchbar=\"0\" cmdline=\"\"/>\r\n";
            xml += "        <config mode=\"startmenu\"" + Attr("dir", kStartMenuFolder) +
                   Attr("name", L"Lumenox Viewer") + "/>\r\n";
            xml += "      </item>\r\n";
        }
        if (f.path == kServiceFile) {
            xml.resize(xml.size() - 4);  // reopen the item for its service entry
            xml += ">\r\n        <config mode=\"service\"" + Attr("name", kServiceName) +
                   Attr("displayname", kServiceDisplayName) +
                   Attr("description", L"Keeps the Lumenox viewer up to date") +
                   " group=\"\" cmdline=\"\"/>\r\n      </item>\r\n";
        }
    }
    for (const std::wstring& path : layout.climbFiles) xml += "      <item" + Attr("path", path) + "/>\r\n";
    xml += "    </filelist>\r\n    <dirlist>\r\n";
    for (const std::wstring& path : layout.dirs) xml += "      <item" + Attr("path", path) + "/>\r\n";
    for (const std::wstring& path : layout.climbDirs) xml += "      <item" + Attr("path", path) + "/>\r\n";
    xml += "    </dirlist>\r\n  </installfile>\r\n</packet>\r\n";
    return xml;
}

std::string ExpandTaskText(const std::wstring& installDir, const SetupOptions& options) {
    const std::wstring actions = ActionDirectory(options);
    const std::wstring md5 = FileMd5(installDir + kTaskProgramFile);
    const std::wstring runParam = L"--ms 300 --log \"" + actions + kActionRunLog + L"\"";
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
    xml += "<expandtask needbeforecondition=\"0\" needreport=\"1\" src=\"7\" senceid=\"12\">\r\n  <before>\r\n";
    xml += "    <execute" + Attr("path", std::wstring(L"%CUR_DIR%\\") + kTaskProgramFile) + Attr("md5", md5) +
           Attr("param", runParam) + "/>\r\n";
    xml += "    <copyfile" + Attr("srcfile", L"%CUR_DIR%\\lumenox_data\\lumenox_db.dat") +
           Attr("destfile", actions + kActionCopyBefore) + "/>\r\n";
    xml += "    <avoidproduct aovid=\"" + std::to_string(kAvoidedProductMask) + "\"/>\r\n";
    xml += "  </before>\r\n  <after>\r\n";
    xml += "    <copyfile" + Attr("srcfile", actions + kActionCopyBefore) + Attr("destfile", actions + kActionCopyAfter) +
           "/>\r\n";
    xml += "  </after>\r\n</expandtask>\r\n";
    return xml;
}

std::string ProductSearchPayload() {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<products>\r\n"
           "  <product id=\"1\"><method1><file hkey=\"HKLM\" path=\"Software\\qlumenox_varko\" key=\"InstallPath\" "
           "exe=\"lumenox_viewer.exe\"/></method1></product>\r\n"
           "  <product id=\"3\"><method2><path hkey=\"HKLM\" "
           "path=\"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\"><item keyword=\"othertoolsuite\"/>"
           "</path></method2></product>\r\n</products>\r\n";
}

std::string FillerBytes(const SampleFile& f) {
    std::string bytes = base::WideToUtf8(L"Lumenox sample content of " + f.path + L"\r\n");
    while (bytes.size() < f.size) bytes += static_cast<char>('a' + bytes.size() % 26);
    bytes.resize(f.size);
    return bytes;
}

std::string Utf16Text(const std::wstring& text) {
    const std::wstring all = kUtf16Bom + text;
    return std::string(reinterpret_cast<const char*>(all.data()), all.size() * sizeof(wchar_t));
}

// Content of a file that is not a copy; false when it cannot be made.
bool MakeContent(const SampleFile& f, const std::wstring& installDir, const SetupOptions& options,
                 const SampleLayout& layout, std::string& bytes) {
    switch (f.kind) {
    case FileKind::Filler: bytes = FillerBytes(f); return true;
    case FileKind::Manifest: bytes = ManifestText(options, layout); return true;
    case FileKind::ExpandTask: bytes = Scramble(ExpandTaskText(installDir, options)); return true;
    case FileKind::ProductSearch: bytes = manifest::EncodeProductSearchContainer(ProductSearchPayload()); return true;
    case FileKind::LocalConfig: bytes = Scramble("[config]\r\ntryno=" + std::to_string(kTryNo) + "\r\n"); return true;
    case FileKind::ViewerSettings:
        bytes = "[windowrect]\r\nismaximized=0\r\nwidth=1024\r\nheight=700\r\nx=40\r\ny=30\r\n"
                "[common]\r\nskinname=default\r\nhadshortcut=1\r\nCleanFileExtRelationReg=1\r\n";
        return true;
    case FileKind::SdkValues:
        bytes = "# Answers of the SDK stand-in for this installation.\r\n";
        bytes += "QUninstallToolName=" + base::WideToUtf8(kSingleInstanceName) + "\r\n";
        bytes += "UNINSTALL_INFO_REG=" + base::WideToUtf8(kUninstallInfoKeyPath) + "\r\n";
        if (!options.logDir.empty()) bytes += "!log_dir=" + base::WideToUtf8(options.logDir) + "\r\n";
        return true;
    case FileKind::DocKitData:
        bytes = Utf16Text(L"[common]\r\ninstall_dir=" + installDir + L"qdox\r\n");
        return true;
    case FileKind::LockKitConfig: bytes = "query=1\r\n"; return true;
    case FileKind::LogRedirect: bytes = base::WideToUtf8(options.logDir) + "\r\n"; return true;
    case FileKind::Companion: break;
    }
    return false;
}

// The 64-bit build of a stand-in when there is one beside the installer.
std::wstring CompanionSource(const std::wstring& bin, const std::wstring& name) {
    const std::wstring native = bin + kNativeStandInsDir + name;
    return base::FileIsPresent(native) ? native : bin + name;
}

bool Fail(const std::wstring& what) {
    PrintLine(L"error: " + what);
    return false;
}

bool LayDownFiles(const std::wstring& dir, const SetupOptions& options, const SampleLayout& layout) {
    if (::SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr) != ERROR_SUCCESS && !base::DirectoryIsPresent(dir)) {
        return Fail(L"cannot create " + dir);
    }
    for (const std::wstring& d : layout.dirs) {
        const std::wstring full = dir + d;
        if (::SHCreateDirectoryExW(nullptr, full.c_str(), nullptr) != ERROR_SUCCESS && !base::DirectoryIsPresent(full)) {
            return Fail(L"cannot create " + full);
        }
    }
    const std::wstring bin = OwnDirectory();
    // Copies first: the action file carries the digest of a copied program,
    // and the manifest is written last of all.
    for (int pass = 0; pass < 2; ++pass) {
        for (const SampleFile& f : layout.files) {
            const bool isCopy = f.kind == FileKind::Companion;
            if ((pass == 0) != isCopy) continue;
            const std::wstring target = dir + f.path;
            if (isCopy) {
                if (!::CopyFileW(CompanionSource(bin, f.source).c_str(), target.c_str(), FALSE)) {
                    return Fail(L"cannot copy " + f.source + L" to " + target);
                }
                continue;
            }
            std::string bytes;
            if (!MakeContent(f, dir, options, layout, bytes) || !WriteFileBytes(target, bytes)) {
                return Fail(L"cannot write " + target);
            }
            if (f.readOnly) ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
        }
    }
    for (const std::wstring& decoy : layout.decoyFiles) {
        const std::wstring full = dir + decoy;
        const std::wstring parent = full.substr(0, full.find_last_of(L'\\'));
        ::SHCreateDirectoryExW(nullptr, parent.c_str(), nullptr);
        if (!WriteFileBytes(full, "must survive the removal\r\n")) return Fail(L"cannot write " + full);
    }
    return true;
}

bool WriteRegistry(const std::wstring& dir, const SetupOptions& options) {
    const uint32_t now = static_cast<uint32_t>(std::time(nullptr));
    bool ok = SetRegDword(HKEY_CURRENT_USER, kProductKeyPath, L"tid1", kTid1) &&
              SetRegDword(HKEY_CURRENT_USER, kProductKeyPath, L"tid2", kTid2) &&
              SetRegDword(HKEY_CURRENT_USER, kProductKeyPath, L"id", kId) &&
              SetRegString(HKEY_CURRENT_USER, kProductKeyPath, L"uuid", kUuid) &&
              SetRegDword(HKEY_CURRENT_USER, kProductKeyPath, L"installtime", now) &&
              SetRegString(HKEY_LOCAL_MACHINE, kProductKeyPath, L"InstallPath", dir, kInstallerView) &&
              SetRegString(HKEY_LOCAL_MACHINE, kProductKeyPath, L"Version", kVersion, kInstallerView) &&
              SetRegString(HKEY_LOCAL_MACHINE, kUninstallInfoKeyPath, L"DisplayName", options.msgTip,
                           kInstallerView) &&
              SetRegString(HKEY_LOCAL_MACHINE, kUninstallInfoKeyPath, L"DisplayVersion", kVersion, kInstallerView) &&
              SetRegString(HKEY_LOCAL_MACHINE, kUninstallInfoKeyPath, L"InstallLocation", dir, kInstallerView) &&
              SetRegString(HKEY_LOCAL_MACHINE, kUninstallInfoKeyPath, L"UninstallString",
                           L"\"" + dir + kUninstallerFile + L"\"", kInstallerView) &&
              SetRegString(HKEY_LOCAL_MACHINE, kUninstallInfoKeyPath, L"QuietUninstallString",
                           L"\"" + dir + kUninstallerFile + L"\" /s", kInstallerView) &&
              SetRegDword(HKEY_CLASSES_ROOT, kClassCountKeyPath, kUninstallCountValue, options.classUninstallCount,
                          kInstallerView);
    if (!ok) return Fail(L"cannot write the product's registry keys");
    // On 64-bit Windows both views show one shared key; under Wine the 32-bit
    // view is a tree of its own, so the verbs go into both.
    const std::wstring command = L"\"" + dir + kViewerFile + L"\" \"%1\"";
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        for (const wchar_t* extension : kVerbExtensions) {
            for (const wchar_t* verb : kVerbNames) {
                const std::wstring key = VerbKeyPath(extension, verb);
                if (!SetRegString(HKEY_CLASSES_ROOT, key, nullptr, kVerbText, view) ||
                    !SetRegString(HKEY_CLASSES_ROOT, key + L"\\command", nullptr, command, view)) {
                    return Fail(L"cannot write the verb " + key);
                }
            }
        }
        SetRegString(HKEY_CLASSES_ROOT, std::wstring(kForeignVerbKeyPath) + L"\\command", nullptr,
                     L"othertool.exe \"%1\"", view);
    }
    return true;
}

bool MakeShortcuts(const std::wstring& dir, const SetupOptions& options) {
    const std::wstring user = FolderPath(Folder::UserDesktop);
    const std::wstring common = FolderPath(Folder::CommonDesktop);
    const std::wstring programs = FolderPath(Folder::CommonPrograms);
    if (user.empty() || common.empty() || programs.empty()) return Fail(L"no desktop or start-menu folder");
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring menu = programs + kStartMenuFolder + L"\\";
    ::SHCreateDirectoryExW(nullptr, menu.c_str(), nullptr);
    const bool ok = MakeShortcut(user + kUserShortcut, dir + ShortcutTarget(options)) &&
                    MakeShortcut(user + kUserToolsShortcut, dir + kTaskProgramFile) &&
                    MakeShortcut(common + kCommonShortcut, dir + kViewerFile) &&
                    MakeShortcut(user + kForeignShortcut, std::wstring(windows) + L"\\notepad.exe") &&
                    MakeShortcut(menu + kStartMenuShortcuts[0], dir + ShortcutTarget(options)) &&
                    MakeShortcut(menu + kStartMenuShortcuts[1], dir + kUninstallerFile);
    return ok || Fail(L"cannot create the shortcuts");
}

bool StartRunningParts(const std::wstring& dir, const SetupOptions& options) {
    if (options.service) {
        RemoveServiceForcibly(kServiceName);  // a left-over registration of an earlier run
        if (!InstallAndStartService(kServiceName, kServiceDisplayName, dir + kServiceFile)) {
            return Fail(L"cannot install and start the service");
        }
    }
    if (options.processes) {
        if (!StartDetached(dir + kHelperProcessFile, L"--ms " + std::to_wstring(kHelperLifetimeMs)) ||
            !WaitUntil([&] { return !ProcessesUnder(dir + L"bin\\").empty(); }, kStartWaitMs)) {
            return Fail(L"cannot start the helper process");
        }
    }
    if (options.viewer) {
        const size_t before = CountWindowsOfClass(kViewerClassName);
        if (!StartDetached(dir + kViewerFile, options.viewerIgnoresClose ? L"--ignore-close" : L"") ||
            !WaitUntil([&] { return CountWindowsOfClass(kViewerClassName) > before; }, kStartWaitMs)) {
            return Fail(L"cannot open the viewer window");
        }
    }
    return true;
}

}  // namespace

int Install(const std::wstring& installDir, SetupOptions options) {
    const std::wstring dir = NormalizeDirectory(installDir);
    options.mainProgram = base::FileIsPresent(OwnDirectory() + kMainProgramFile);
    const SampleLayout layout = BuildLayout(options);
    // The record comes first, so that --cleanup finds everything also after a failure.
    if (!SaveSetupRecord(dir, options)) {
        PrintLine(L"error: cannot write " + SetupRecordPath(dir));
        return kExitFailed;
    }
    if (!LayDownFiles(dir, options, layout) || !WriteRegistry(dir, options) || !MakeShortcuts(dir, options) ||
        !StartRunningParts(dir, options)) {
        return kExitFailed;
    }
    PrintLine(L"installed: " + dir + L" (" + std::to_wstring(layout.files.size()) + L" files in " +
              std::to_wstring(layout.dirs.size()) + L" directories)");
    return kExitOk;
}

int Cleanup(const std::wstring& installDir) {
    const std::wstring dir = NormalizeDirectory(installDir);
    SetupOptions options;
    const bool recorded = LoadSetupRecord(dir, options);

    // The service first: once its process is killed, Wine reports it running
    // forever. A viewer that ignores the close message goes with its process.
    RemoveServiceForcibly(kServiceName);
    TerminateProcessesUnder(dir);

    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        DeleteRegTree(HKEY_CURRENT_USER, kProductKeyPath, view);
        DeleteRegTree(HKEY_LOCAL_MACHINE, kProductKeyPath, view);
        DeleteRegTree(HKEY_LOCAL_MACHINE, kUninstallInfoKeyPath, view);
        DeleteRegTree(HKEY_CURRENT_USER, kUninstallInfoKeyPath, view);
        DeleteRegTree(HKEY_CLASSES_ROOT, kClassKeyPath, view);
        for (const wchar_t* extension : kVerbExtensions) {
            for (const wchar_t* verb : kVerbNames) DeleteRegTree(HKEY_CLASSES_ROOT, VerbKeyPath(extension, verb), view);
        }
        DeleteRegTree(HKEY_CLASSES_ROOT, kForeignVerbKeyPath, view);
    }

    const std::wstring user = FolderPath(Folder::UserDesktop);
    const std::wstring common = FolderPath(Folder::CommonDesktop);
    const std::wstring programs = FolderPath(Folder::CommonPrograms);
    for (const std::wstring& link : {user + kUserShortcut, user + kUserToolsShortcut, user + kForeignShortcut,
                                     common + kCommonShortcut}) {
        ::DeleteFileW(link.c_str());
    }
    if (!programs.empty()) base::RemoveTree(programs + kStartMenuFolder);

    const SampleLayout layout = BuildLayout(options);
    for (const std::wstring& decoy : layout.decoyFiles) {
        ::SetFileAttributesW((dir + decoy).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW((dir + decoy).c_str());
    }
    for (const std::wstring& decoyDir : layout.climbDirs) base::RemoveTree(dir + decoyDir);
    if (recorded && options.logDir.empty()) {
        const std::wstring actions = ActionDirectory(options);
        for (const wchar_t* name : {kActionCopyBefore, kActionCopyAfter, kActionRunLog}) {
            ::DeleteFileW((actions + name).c_str());
        }
    }
    const bool gone = base::RemoveTree(dir) || !base::DirectoryIsPresent(dir);
    ::DeleteFileW(SetupRecordPath(dir).c_str());
    PrintLine(gone ? L"cleaned: " + dir : L"cleanup left files in " + dir);
    return gone ? kExitOk : kExitFailed;
}

}  // namespace sample
