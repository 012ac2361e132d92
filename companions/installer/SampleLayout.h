// What the sample installation of the viewer consists of: its files and
// directories, registry keys and values, shortcuts, service, processes and
// window. The installer lays it down from this description, its inventory
// and removal check compare against it, and the tests assert against it.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sample {

// ---- Names the product family fixes -----------------------------------------
// Written out again rather than taken from the uninstaller's headers: the
// installer stands for another program and must not share the product's code,
// so a name the uninstaller gets wrong fails the tests instead of moving both
// sides together.

constexpr wchar_t kViewerClassName[] = L"Lumenox_{CAC78C77-BC1C-456d-A26A-57E1B59B18CC}";
constexpr UINT kCloseViewerMessage = 0x472;
constexpr wchar_t kProductKeyPath[] = L"Software\\qlumenox_varko";
constexpr wchar_t kClassKeyPath[] = L"CLSID\\{9B7A98EC-7EF9-468c-ACC8-37C793DBD7E0}";
constexpr wchar_t kClassCountKeyPath[] =
    L"CLSID\\{9B7A98EC-7EF9-468c-ACC8-37C793DBD7E0}\\Implemented Categories\\"
    L"{A5F7140E-4311-4ef9-AABC-F55941B5EBE5}";
constexpr wchar_t kUninstallCountValue[] = L"uninstall_count";
constexpr wchar_t kUninstallTimeValue[] = L"uninstall_time";
constexpr wchar_t kManifestName[] = L"installconfig.xml";
constexpr wchar_t kExpandTaskName[] = L"expandtask.dat";
constexpr uint8_t kExpandTaskXorKey = 0xA7;  // also scrambles data\local_config.dat

// The product family's installer is a 32-bit program: on 64-bit Windows its
// machine-wide keys (product key, uninstall information, class registration)
// land in the 32-bit view. The user's keys are shared by both views.
constexpr REGSAM kInstallerView = KEY_WOW64_32KEY;

// ---- Choices of this sample installer ---------------------------------------

// The key the SDK stand-in names for "UNINSTALL_INFO_REG", under HKEY_LOCAL_MACHINE (installer's view).
constexpr wchar_t kUninstallInfoKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumenox";
constexpr wchar_t kSingleInstanceName[] = L"QUninstallToolName_Lumenox";
constexpr wchar_t kServiceName[] = L"qlumservice";
constexpr wchar_t kServiceDisplayName[] = L"Lumenox Update Service";
constexpr wchar_t kStartMenuFolder[] = L"Lumenox";
// Desktop shortcuts into the installation directory; the first is also a
// manifest "shortcut" entry, the others go only with the desktop sweep.
constexpr wchar_t kUserShortcut[] = L"Lumenox Viewer.lnk";
constexpr wchar_t kUserToolsShortcut[] = L"Lumenox Tools.lnk";
constexpr wchar_t kCommonShortcut[] = L"Lumenox Viewer (all users).lnk";
// A shortcut of somebody else on the user's desktop: must survive.
constexpr wchar_t kForeignShortcut[] = L"Notepad.lnk";
constexpr std::array<const wchar_t*, 2> kStartMenuShortcuts = {L"Lumenox Viewer.lnk", L"Uninstall Lumenox.lnk"};

// The identity values the installer records under the user's product key.
constexpr uint32_t kTid1 = 1001;
constexpr uint32_t kTid2 = 2002;
constexpr uint32_t kId = 3003;
constexpr wchar_t kUuid[] = L"12345A1B2C3D4E5F60718293A4B5C6D7E8F904205182024090703SAMPLEPC0123456789";
constexpr std::array<const wchar_t*, 5> kIdentityValues = {L"tid1", L"tid2", L"id", L"uuid", L"installtime"};
constexpr uint32_t kTryNo = 3;

// The three context-menu verbs on 92 image types.
constexpr std::array<const wchar_t*, 3> kVerbNames = {L"      lumenox0_open", L"      lumenox1_print",
                                                      L"      lumenox2_compress"};
constexpr std::array<const wchar_t*, 92> kVerbExtensions = {
    L".jxr",  L".wdp",  L".hdp", L".pcd",  L".pcx", L".xbm",  L".bmp", L".pfm",  L".cut",  L".iff",  L".lbm",
    L".xpm",  L".pct",  L".pict", L".pic", L".j2k", L".j2c",  L".jng", L".png",  L".dds",  L".jp2",  L".pbm",
    L".pgm",  L".ppm",  L".psd", L".exr",  L".jpg", L".jif",  L".jpeg", L".jpe", L".g3",   L".ras",  L".hdr",
    L".koa",  L".3fr",  L".arw", L".bay",  L".bmq", L".cap",  L".cine", L".cr2", L".crw",  L".cs1",  L".dc2",
    L".dcr",  L".drf",  L".dsc", L".dng",  L".erf", L".fff",  L".ia",  L".iiq",  L".k25",  L".kc2",  L".kdc",
    L".mdc",  L".mef",  L".mos", L".mrw",  L".nef", L".nrw",  L".orf", L".pef",  L".ptx",  L".pxn",  L".qtk",
    L".raf",  L".raw",  L".rdc", L".rw2",  L".rwl", L".rwz",  L".sr2", L".srf",  L".srw",  L".sti",  L".x3f",
    L".gif",  L".mng",  L".sgi", L".rgb",  L".rgba", L".bw",  L".ico", L".wap",  L".wbmp", L".wbm",  L".webp",
    L".tga",  L".targa", L".tif", L".tiff"};
constexpr size_t kVerbCount = kVerbNames.size() * kVerbExtensions.size();
// A verb of another program beside the viewer's: must survive.
constexpr wchar_t kForeignVerbKeyPath[] = L"SystemFileAssociations\\.jpg\\Shell\\othertool_edit";
// "SystemFileAssociations\<extension>\Shell\<verb>"
std::wstring VerbKeyPath(const wchar_t* extension, const wchar_t* verb);
constexpr wchar_t kVerbRootKeyPath[] = L"SystemFileAssociations";

// True when the 32-bit and the 64-bit registry view show one and the same key
// at root\path. Windows shares SystemFileAssociations between the views. Wine
// shares it too, until a 64-bit program writes into its 32-bit view: from then
// on the 32-bit view has a tree of its own (Wow6432Node).
bool ViewsShareKey(HKEY root, const wchar_t* path);

// ---- Options -----------------------------------------------------------------

struct SetupOptions {
    size_t fileCount = 1500;
    size_t dirCount = 60;
    // packet attributes of the manifest
    std::wstring msgTip = L"Lumenox Viewer";
    bool slice = false;
    bool skip = false;
    bool regState = false;
    bool sdk = true;                 // qsdxbase.dll and its values beside the uninstaller
    bool climbOut = false;           // manifest items that leave the directory, with decoys
    bool service = true;             // qlumservice registered and started
    bool viewer = true;              // viewer window open
    bool processes = true;           // a helper process running from the directory
    bool viewerIgnoresClose = false;
    bool mainProgram = false;        // lumenox_main.exe was available (resolved at install)
    std::wstring logDir;             // where the stand-ins log; empty: beside themselves
    uint32_t classUninstallCount = 2;
};

// Reads the options after the installation directory; false with a message on
// an unknown option or a missing value.
bool ParseSetupOptions(const std::vector<std::wstring>& args, SetupOptions& options, std::wstring& error);
// The same options as arguments again (kept beside the installation).
std::vector<std::wstring> SetupOptionArguments(const SetupOptions& options);
// One line of usage text per option.
const wchar_t* SetupUsage();

// ---- Files and directories -------------------------------------------------------

enum class FileKind {
    Filler,           // generated content
    Companion,        // copy of a program beside the installer (source)
    Manifest,
    ExpandTask,
    ProductSearch,    // lminfo.dat
    LocalConfig,      // data\local_config.dat
    ViewerSettings,   // lumenox_data\lumenox_db.dat
    SdkValues,        // qsdxbase_values.txt
    DocKitData,       // qdoxkit.dat
    LockKitConfig,    // Pavrenkit_config.txt
    LogRedirect,      // companion_logs.txt
};

struct SampleFile {
    std::wstring path;    // relative to the installation directory
    FileKind kind = FileKind::Filler;
    std::wstring source;  // Companion: file name beside the installer
    bool readOnly = false;
    uint32_t size = 0;    // Filler: bytes
};

struct SampleLayout {
    std::vector<std::wstring> dirs;        // relative, parents before children
    std::vector<SampleFile> files;         // all listed in the manifest
    std::vector<std::wstring> climbFiles;  // manifest file items leaving the directory ("..\")
    std::vector<std::wstring> climbDirs;   // manifest directory items leaving it
    // The decoys those items point at, relative to the installation directory.
    std::vector<std::wstring> decoyFiles;

    size_t ReadOnlyCount() const;
};

// Deterministic for equal options.
SampleLayout BuildLayout(const SetupOptions& options);

constexpr wchar_t kMainProgramFile[] = L"lumenox_main.exe";
constexpr wchar_t kViewerFile[] = L"lumenox_viewer.exe";
constexpr wchar_t kServiceFile[] = L"qlumservice.exe";
constexpr wchar_t kHelperProcessFile[] = L"bin\\lumenox_helper.exe";
constexpr wchar_t kTaskProgramFile[] = L"tools\\lumenox_task.exe";
constexpr wchar_t kUninstallerFile[] = L"uninst.exe";
// Where the i686 build keeps the 64-bit builds of the stand-ins whose processes
// the uninstaller meets (viewer, service, helpers, the 64-bit extension
// process), beside the installer. The installer takes those in place of its own:
// a 32-bit uninstaller on 64-bit Windows finds 64-bit processes another way.
constexpr wchar_t kNativeStandInsDir[] = L"x64\\";
// The program the desktop and start-menu shortcuts open.
const wchar_t* ShortcutTarget(const SetupOptions& options);

// ---- Paths -------------------------------------------------------------------

// Full path with one trailing backslash.
std::wstring NormalizeDirectory(const std::wstring& dir);
// The record of the options, kept beside (not inside) the installation directory,
// so that the inventory can still be taken once the directory is gone.
std::wstring SetupRecordPath(const std::wstring& installDir);

}  // namespace sample
