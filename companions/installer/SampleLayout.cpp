#include "SampleLayout.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "base/unique_any.h"

namespace sample {

namespace {

// The native key query's name record: a byte length, then the name.
constexpr int kKeyNameInformationClass = 3;
constexpr ULONG kKeyNameRecordBytes = 2048;
using NtQueryKeyFn = LONG(WINAPI*)(HANDLE key, int infoClass, void* info, ULONG length, ULONG* resultLength);

// The kernel's full name of the key a view shows at root\path; empty when absent.
std::wstring KernelKeyName(HKEY root, const wchar_t* path, REGSAM view) {
    static const auto query =
        reinterpret_cast<NtQueryKeyFn>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryKey"));
    base::unique_hkey key;
    if (query == nullptr || ::RegOpenKeyExW(root, path, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return {};
    std::vector<BYTE> record(kKeyNameRecordBytes);
    ULONG length = 0;
    if (query(key.get(), kKeyNameInformationClass, record.data(), kKeyNameRecordBytes, &length) != 0) return {};
    ULONG nameBytes = 0;
    std::memcpy(&nameBytes, record.data(), sizeof(nameBytes));
    nameBytes = std::min<ULONG>(nameBytes, kKeyNameRecordBytes - sizeof(nameBytes));
    return std::wstring(reinterpret_cast<const wchar_t*>(record.data() + sizeof(nameBytes)), nameBytes / sizeof(wchar_t));
}

constexpr size_t kTinyFileCount = 40;
constexpr size_t kTinyDirCount = 8;

// Directories every installation has: the helper process, the extra action's
// program, the local configuration and the viewer's settings.
constexpr std::array<const wchar_t*, 4> kRequiredDirs = {L"bin", L"tools", L"data", L"lumenox_data"};
constexpr std::array<const wchar_t*, 6> kDirGroups = {L"plugins", L"skins", L"lang", L"res", L"codecs", L"help"};
// A directory with a non-ASCII name checks the manifest's UTF-8 paths.
constexpr size_t kChineseDirIndex = 8;     // would be lang\part01
constexpr size_t kDeepDirIndex = 15;       // would be res\part02
constexpr wchar_t kChineseDir[] = L"lang\\简体中文";
constexpr wchar_t kDeepDir[] = L"res\\part01\\deep";

constexpr std::array<const wchar_t*, 5> kFillerStems = {L"codec", L"skin", L"strings", L"module", L"asset"};
constexpr std::array<const wchar_t*, 7> kFillerExtensions = {L".dll", L".dat", L".png", L".xml",
                                                             L".ini", L".txt", L".lng"};
constexpr size_t kChineseFileIndex = 3;
constexpr size_t kReadOnlyEvery = 20;
constexpr size_t kReadOnlyPhase = 7;
constexpr uint32_t kFillerMinBytes = 64;
constexpr uint32_t kFillerSpreadBytes = 700;
constexpr uint32_t kFillerSizeStep = 37;

std::wstring TwoDigits(size_t n) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%02u", static_cast<unsigned>(n));
    return buffer;
}

std::wstring FourDigits(size_t n) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%04u", static_cast<unsigned>(n));
    return buffer;
}

bool ParseCount(const std::wstring& text, size_t& out) {
    if (text.empty()) return false;
    for (wchar_t c : text) {
        if (!std::iswdigit(c)) return false;
    }
    out = static_cast<size_t>(std::wcstoul(text.c_str(), nullptr, 10));
    return true;
}

SampleFile Companion(const std::wstring& path, const std::wstring& source) {
    SampleFile f;
    f.path = path;
    f.kind = FileKind::Companion;
    f.source = source;
    return f;
}

SampleFile Special(const std::wstring& path, FileKind kind) {
    SampleFile f;
    f.path = path;
    f.kind = kind;
    return f;
}

}  // namespace

std::wstring VerbKeyPath(const wchar_t* extension, const wchar_t* verb) {
    return std::wstring(L"SystemFileAssociations\\") + extension + L"\\Shell\\" + verb;
}

const wchar_t* SetupUsage() {
    return L"usage: lumenox_setup.exe <install dir> [options]\n"
           L"       lumenox_setup.exe --inventory <install dir>\n"
           L"       lumenox_setup.exe --check-removed <install dir>\n"
           L"       lumenox_setup.exe --cleanup <install dir>\n"
           L"options:\n"
           L"  --files N               about N files (default 1500)\n"
           L"  --dirs N                about N directories (default 60)\n"
           L"  --tiny                  40 files in 8 directories\n"
           L"  --msgtip TEXT           packet MsgTip (default \"Lumenox Viewer\")\n"
           L"  --slice | --skip | --reg-state   packet flags set to \"1\"\n"
           L"  --no-sdk                no qsdxbase.dll beside the uninstaller\n"
           L"  --climb-out             manifest items with ..\\ paths at decoys that must survive\n"
           L"  --no-service            no qlumservice service\n"
           L"  --no-viewer             no viewer window\n"
           L"  --viewer-ignores-close  the viewer window ignores 0x472\n"
           L"  --no-processes          no helper process running from the directory\n"
           L"  --log-dir DIR           the stand-ins log into DIR instead of beside themselves\n"
           L"  --class-count N         uninstall_count of the class registration (default 2)\n";
}

bool ParseSetupOptions(const std::vector<std::wstring>& args, SetupOptions& options, std::wstring& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        auto value = [&](std::wstring& out) {
            if (i + 1 >= args.size()) {
                error = L"missing value after " + arg;
                return false;
            }
            out = args[++i];
            return true;
        };
        auto count = [&](size_t& out) {
            std::wstring text;
            if (!value(text)) return false;
            if (!ParseCount(text, out)) {
                error = L"not a number after " + arg + L": " + text;
                return false;
            }
            return true;
        };
        std::wstring text;
        size_t number = 0;
        if (arg == L"--files") {
            if (!count(options.fileCount)) return false;
        } else if (arg == L"--dirs") {
            if (!count(options.dirCount)) return false;
        } else if (arg == L"--tiny") {
            options.fileCount = kTinyFileCount;
            options.dirCount = kTinyDirCount;
        } else if (arg == L"--msgtip") {
            if (!value(options.msgTip)) return false;
        } else if (arg == L"--slice") {
            options.slice = true;
        } else if (arg == L"--skip") {
            options.skip = true;
        } else if (arg == L"--reg-state") {
            options.regState = true;
        } else if (arg == L"--no-sdk") {
            options.sdk = false;
        } else if (arg == L"--climb-out") {
            options.climbOut = true;
        } else if (arg == L"--no-service") {
            options.service = false;
        } else if (arg == L"--no-viewer") {
            options.viewer = false;
        } else if (arg == L"--viewer-ignores-close") {
            options.viewerIgnoresClose = true;
        } else if (arg == L"--no-processes") {
            options.processes = false;
        } else if (arg == L"--log-dir") {
            if (!value(options.logDir)) return false;
        } else if (arg == L"--class-count") {
            if (!count(number)) return false;
            options.classUninstallCount = static_cast<uint32_t>(number);
        } else if (arg == L"--main-program") {  // written into the record by the installer
            if (!count(number)) return false;
            options.mainProgram = number != 0;
        } else {
            error = L"unknown option " + arg;
            return false;
        }
    }
    return true;
}

std::vector<std::wstring> SetupOptionArguments(const SetupOptions& o) {
    std::vector<std::wstring> args = {L"--files", std::to_wstring(o.fileCount), L"--dirs", std::to_wstring(o.dirCount),
                                      L"--msgtip", o.msgTip};
    if (o.slice) args.push_back(L"--slice");
    if (o.skip) args.push_back(L"--skip");
    if (o.regState) args.push_back(L"--reg-state");
    if (!o.sdk) args.push_back(L"--no-sdk");
    if (o.climbOut) args.push_back(L"--climb-out");
    if (!o.service) args.push_back(L"--no-service");
    if (!o.viewer) args.push_back(L"--no-viewer");
    if (o.viewerIgnoresClose) args.push_back(L"--viewer-ignores-close");
    if (!o.processes) args.push_back(L"--no-processes");
    if (!o.logDir.empty()) {
        args.push_back(L"--log-dir");
        args.push_back(o.logDir);
    }
    args.push_back(L"--class-count");
    args.push_back(std::to_wstring(o.classUninstallCount));
    args.push_back(L"--main-program");
    args.push_back(o.mainProgram ? L"1" : L"0");
    return args;
}

const wchar_t* ShortcutTarget(const SetupOptions& options) {
    return options.mainProgram ? kMainProgramFile : kViewerFile;
}

size_t SampleLayout::ReadOnlyCount() const {
    size_t n = 0;
    for (const SampleFile& f : files) n += f.readOnly ? 1 : 0;
    return n;
}

SampleLayout BuildLayout(const SetupOptions& options) {
    SampleLayout layout;
    for (const wchar_t* d : kRequiredDirs) layout.dirs.push_back(d);
    for (size_t i = 0; layout.dirs.size() < options.dirCount; ++i) {
        const size_t part = i / kDirGroups.size();
        std::wstring dir = kDirGroups[i % kDirGroups.size()];
        if (part > 0) dir += L"\\part" + TwoDigits(part);
        if (i == kChineseDirIndex) dir = kChineseDir;
        if (i == kDeepDirIndex) dir = kDeepDir;
        layout.dirs.push_back(dir);
    }

    // The programs and data files the uninstaller and its stand-ins expect.
    auto& files = layout.files;
    files.push_back(Special(kManifestName, FileKind::Manifest));
    files.push_back(Companion(kUninstallerFile, L"uninst.exe"));
    if (options.sdk) {
        files.push_back(Companion(L"qsdxbase.dll", L"qsdxbase.dll"));
        files.push_back(Special(L"qsdxbase_values.txt", FileKind::SdkValues));
    }
    files.push_back(Companion(L"Pavrenkit.dll", L"Pavrenkit.dll"));
    files.push_back(Special(L"Pavrenkit_config.txt", FileKind::LockKitConfig));
    files.push_back(Companion(L"qdoxkit.exe", L"qdoxkit.exe"));
    files.push_back(Special(L"qdoxkit.dat", FileKind::DocKitData));
    files.push_back(Companion(L"lumenox_ext_process.exe", L"lumenox_ext_process.exe"));
    files.push_back(Companion(L"lumenox_ext_process64.exe", L"lumenox_ext_process64.exe"));
    files.push_back(Companion(L"qlumenoxutil.dll", L"qlumenoxutil.dll"));
    // Tested by name by the removal; any library content will do.
    files.push_back(Companion(L"qlumenoxutil64.dll", L"qlumenoxutil.dll"));
    files.push_back(Companion(L"lumenox_ext64.dll", L"Pavrenkit.dll"));
    files.push_back(Companion(kServiceFile, L"qlumservice.exe"));
    files.push_back(Companion(kViewerFile, L"lumenox_viewer.exe"));
    if (options.mainProgram) files.push_back(Companion(kMainProgramFile, L"lumenox_main.exe"));
    files.push_back(Companion(kHelperProcessFile, L"sleeper.exe"));
    files.push_back(Companion(kTaskProgramFile, L"sleeper.exe"));
    files.push_back(Special(kExpandTaskName, FileKind::ExpandTask));
    files.push_back(Special(L"lminfo.dat", FileKind::ProductSearch));
    files.push_back(Special(L"data\\local_config.dat", FileKind::LocalConfig));
    files.push_back(Special(L"lumenox_data\\lumenox_db.dat", FileKind::ViewerSettings));
    if (!options.logDir.empty()) files.push_back(Special(L"companion_logs.txt", FileKind::LogRedirect));

    const size_t slots = layout.dirs.size() + 1;  // slot 0 is the directory itself
    for (size_t j = 0; files.size() < options.fileCount; ++j) {
        const size_t slot = j % slots;
        std::wstring path = slot == 0 ? std::wstring() : layout.dirs[slot - 1] + L"\\";
        if (j == kChineseFileIndex) {
            path += L"说明_" + FourDigits(j) + L".txt";
        } else {
            path += std::wstring(kFillerStems[j % kFillerStems.size()]) + L"_" + FourDigits(j) +
                    kFillerExtensions[j % kFillerExtensions.size()];
        }
        SampleFile f;
        f.path = path;
        f.kind = FileKind::Filler;
        f.readOnly = j % kReadOnlyEvery == kReadOnlyPhase;
        f.size = kFillerMinBytes + static_cast<uint32_t>((j * kFillerSizeStep) % kFillerSpreadBytes);
        files.push_back(f);
    }

    if (options.climbOut) {
        layout.climbFiles = {L"..\\decoy_keep.txt", L"bin\\..\\..\\decoy_keep2.txt"};
        layout.climbDirs = {L"..\\decoy_keep_dir"};
        layout.decoyFiles = {L"..\\decoy_keep.txt", L"..\\decoy_keep2.txt", L"..\\decoy_keep_dir\\keep.txt"};
    }
    return layout;
}

bool ViewsShareKey(HKEY root, const wchar_t* path) {
    const std::wstring view32 = KernelKeyName(root, path, KEY_WOW64_32KEY);
    return !view32.empty() && view32 == KernelKeyName(root, path, KEY_WOW64_64KEY);
}

std::wstring NormalizeDirectory(const std::wstring& dir) {
    wchar_t full[MAX_PATH] = {};
    const DWORD n = ::GetFullPathNameW(dir.c_str(), MAX_PATH, full, nullptr);
    std::wstring out = (n > 0 && n < MAX_PATH) ? std::wstring(full, n) : dir;
    while (out.size() > 3 && (out.back() == L'\\' || out.back() == L'/')) out.pop_back();
    if (out.empty() || out.back() != L'\\') out.push_back(L'\\');
    return out;
}

std::wstring SetupRecordPath(const std::wstring& installDir) {
    std::wstring dir = NormalizeDirectory(installDir);
    dir.pop_back();
    return dir + L".setup.txt";
}

}  // namespace sample
