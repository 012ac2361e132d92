#include "FuzzTargets.h"

#include <initializer_list>
#include <memory>

#include "SampleLayout.h"
#include "app/Options.h"
#include "base/SdkLibrary.h"
#include "base/XmlConfigDocument.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "manifest/ExpandTask.h"
#include "manifest/FileConfig.h"
#include "manifest/Identity.h"
#include "manifest/InstallInfo.h"
#include "manifest/InstalledItems.h"
#include "manifest/Settings.h"
#include "removal/FileRemoval.h"
#include "removal/PathContainment.h"
#include "removal/Paths.h"
#include "removal/Registry.h"
#include "removal/SelfRemovalScript.h"
#include "report/Report.h"
#include "support/TestSupport.h"
#include "ui/LxGdi.h"
#include "ui/layout/LxLayout.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxSources.h"
#include "ui/pools/LxStringPool.h"
#include "ui/pools/LxStyle.h"

namespace fuzz {

namespace {

std::wstring g_desktop;  // the workspace's desktop, for the desktop sweep

removal::DesktopFolders WorkspaceDesktops() { return removal::DesktopFolders{g_desktop, g_desktop}; }

void EnsureDirectory(const std::wstring& path) { ::CreateDirectoryW(path.c_str(), nullptr); }

// Visits every element of a loaded document through the cursor, reading the
// attributes the readers ask for; true when an element names a service or the
// main program's registry entry ("mode"), whose removal would act on the
// machine's services and keys rather than inside the workspace.
bool WalkDocument(base::XmlConfigDocument& doc, const std::wstring& directory) {
    bool machineWide = false;
    if (!doc.SelectPath(nullptr)) return false;
    size_t depth = 0;
    for (;;) {
        std::wstring mode, wide;
        std::string raw;
        int32_t number = 0;
        if (doc.GetWideAttribute("mode", mode) && (mode == manifest::kServiceMode || mode == manifest::kRegMode)) {
            machineWide = true;
        }
        for (const char* name : {"path", "name", "dir", "srcfile", "destfile", "keyword", "hkey", "exe", "key"}) {
            doc.GetWideAttribute(name, wide);
            if (doc.GetRawAttribute(name, raw)) {
                std::wstring joined;
                removal::JoinInsideDirectory(directory, manifest::DecodeUtf8Bmp(raw), joined);
            }
        }
        doc.GetIntAttribute("id", number);
        doc.GetRawAttribute("mainprogram", raw);
        doc.CursorName();
        if (doc.EnterChild(nullptr)) {
            ++depth;
            continue;
        }
        while (!doc.NextSibling(nullptr)) {
            if (depth == 0) return machineWide;
            doc.LeaveToParent();
            --depth;
        }
    }
}

std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

std::string DwordBytes(uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), sizeof(value)); }

// Files of the sample installation laid down before each run, so that the
// removal of listed items has something to take.
constexpr const wchar_t* kInstalledFiles[] = {L"uninst.exe", L"Pavrenkit_config.txt", L"data\\local_config.dat",
                                              L"res\\skin.png"};
constexpr const wchar_t* kInstalledDirs[] = {L"data", L"res"};

void RunManifest(const std::string& input, const Workspace& ws) {
    EnsureDirectory(ws.install);
    for (const wchar_t* dir : kInstalledDirs) EnsureDirectory(ws.install + dir);
    for (const wchar_t* file : kInstalledFiles) testing_support::WriteBytes(ws.install + file, "installed");
    const std::wstring path = ws.install + removal::kManifestFileName;
    testing_support::WriteBytes(path, input);

    base::XmlConfigDocument doc;
    const bool machineWide = doc.LoadFile(path) && WalkDocument(doc, ws.install);

    const app::OptionSource source{L"\"uninst.exe\" /s", ws.install};
    app::IsSilentRun(source);
    app::IsSkipRun(source);
    app::ReadProductName(source);
    app::IsRegistrationStateOn(source);

    if (!machineWide) {
        static const base::ProductValueLookup lookup(ws.root);  // no SDK library there: every key answers itself
        manifest::ManifestEnvironment env;
        env.shell.desktopFolder = [&ws] { return ws.desktop; };
        env.shell.commonProgramsFolder = [&ws] { return ws.programs; };
        env.shell.requestVerb = [](const std::wstring&, const wchar_t*) {};
        env.lookup = &lookup;
        manifest::FileConfigList list;
        list.SetDirectory(ws.install);
        list.SetEnvironment(env);
        list.LoadFileConfigList(path);
    }

    g_desktop = ws.desktop;
    std::wstring recorded;
    manifest::RemoveInstalledFiles(ws.install, recorded, &WorkspaceDesktops);
}

void InspectTag(const manifest::ITag* tag) {
    if (const auto* run = dynamic_cast<const manifest::CRunExeTag*>(tag)) {
        std::wstring path = run->path();
        removal::ExpandPathMacros(path);
        manifest::IsRefusedTagPath(path);
    } else if (const auto* copy = dynamic_cast<const manifest::CCopyFileTag*>(tag)) {
        for (std::wstring path : {copy->srcfile(), copy->destfile()}) {
            removal::ExpandPathMacros(path);
            manifest::IsRefusedTagPath(path);
        }
    }
}

// Loaded only: the actions themselves would run programs and copy files wherever they name.
void RunActions(const std::string& input, const Workspace& ws) {
    const std::wstring path = ws.install + manifest::kExpandTaskFileName;
    testing_support::WriteBytes(path, manifest::ScrambleExpandTaskText(input));
    manifest::ExpandTaskList list;
    list.Load(path);
    for (size_t i = 0; i < list.before_count(); ++i) InspectTag(list.before_at(i));
    for (size_t i = 0; i < list.after_count(); ++i) InspectTag(list.after_at(i));
}

void RunSettings(const std::string& input, const Workspace& ws) {
    const std::wstring dir = ws.install + manifest::kDataFolderName + L"\\";
    EnsureDirectory(dir);
    testing_support::WriteBytes(dir + manifest::kSettingsFileName, input);
    manifest::ViewerSettings settings;
    settings.LoadSettingsFile(ws.install);
    manifest::QIniWrapEx ini;
    ini.Load(dir + manifest::kSettingsFileName);
    std::wstring text;
    ini.Serialize(text);
    manifest::QIniWrapEx again;
    again.Parse(text);
    again.GetInt(L"windowrect", L"width", 0);
}

void RunLocalConfig(const std::string& input, const Workspace& ws) {
    EnsureDirectory(ws.install + L"data");
    testing_support::WriteBytes(ws.install.substr(0, ws.install.size() - 1) + manifest::kLocalConfigRelativePath,
                   manifest::ScrambleExpandTaskText(input));
    manifest::LocalConfig config;
    config.LoadLocalConfig(ws.install);
    config.GetTryNo();
}

constexpr char kSamplePayload[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<products>\r\n"
    "  <product id=\"1\"><method1><file hkey=\"HKLM\" path=\"Software\\qlumenox_varko\" key=\"InstallPath\" "
    "exe=\"lumenox_viewer.exe\"/></method1></product>\r\n"
    "  <product id=\"3\"><method2><path hkey=\"HKLM\" path=\"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\">"
    "<item keyword=\"othertoolsuite\"/></path></method2></product>\r\n</products>\r\n";

void RunProductSearchContainer(const std::string& input, const Workspace& ws) {
    testing_support::WriteBytes(ws.install + manifest::kProductSearchFileName, input);
    manifest::ComputeInstalledProductMask(ws.install);
    std::string payload;
    manifest::DecodeProductSearchContainer(input, payload);
}

// The payload in a sound container, so that the mutations reach the XML reader.
void RunProductSearchPayload(const std::string& input, const Workspace& ws) {
    RunProductSearchContainer(manifest::EncodeProductSearchContainer(input), ws);
}

std::vector<std::string> ProductSearchContainerSeeds() {
    return {manifest::EncodeProductSearchContainer(kSamplePayload)};
}

// The input is a list of registry values for the product key of the current
// user: per value a selector byte (low bits: which name; top bit: a long
// value), a type byte, a length byte and the data.
constexpr const wchar_t* kIdentityNames[] = {L"tid1", L"tid2", L"id", L"installtime",
                                             L"uuid", L"tid1_fp", L"tid2_fp", L""};
constexpr size_t kIdentityNameMask = 7;
constexpr unsigned char kLongValueFlag = 0x80;
constexpr size_t kLongValueFactor = 64;
constexpr DWORD kRegistryTypeCount = REG_QWORD + 1;
constexpr size_t kRecordHeaderBytes = 3;
constexpr uint32_t kSampleInstallTime = 1700000000u;

std::string IdentityRecord(size_t name, DWORD type, const std::string& data) {
    return std::string{static_cast<char>(name), static_cast<char>(type), static_cast<char>(data.size())} + data;
}

std::vector<std::string> IdentitySeeds() {
    std::string sample;
    size_t name = 0;
    for (const uint32_t value : {sample::kTid1, sample::kTid2, sample::kId, kSampleInstallTime}) {
        sample += IdentityRecord(name++, REG_DWORD, DwordBytes(value));
    }
    sample += IdentityRecord(4, REG_SZ, Utf16Bytes(L"12345A1B2C3D4E5F6071829SAMPLEPC")) +
              IdentityRecord(5, REG_SZ, Utf16Bytes(L"1001"));
    return {sample, IdentityRecord(3, REG_SZ, Utf16Bytes(L"1700000000")) +
                        IdentityRecord(4, REG_EXPAND_SZ, Utf16Bytes(L"")) +
                        IdentityRecord(6, REG_SZ, Utf16Bytes(L"-1"))};
}

void WriteIdentityValues(const std::string& input) {
    base::unique_hkey key, key32;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, removal::kProductKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                      nullptr);
    ::RegCreateKeyExW(HKEY_CURRENT_USER, removal::kProductKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                      nullptr, key32.put(), nullptr);
    size_t pos = 0;
    while (pos + kRecordHeaderBytes <= input.size()) {
        const auto selector = static_cast<unsigned char>(input[pos]);
        const DWORD type = static_cast<unsigned char>(input[pos + 1]) % kRegistryTypeCount;
        size_t length = static_cast<unsigned char>(input[pos + 2]);
        if (selector & kLongValueFlag) length *= kLongValueFactor;
        pos += kRecordHeaderBytes;
        std::string data = input.substr(pos, length);
        pos += data.size();
        while (data.size() < length) data += data.empty() ? std::string(1, 'x') : data;  // long values repeat
        data.resize(length);
        const wchar_t* name = kIdentityNames[selector & kIdentityNameMask];
        const bool textual = std::wstring(name).find(L"_fp") != std::wstring::npos;
        ::RegSetValueExW(textual ? key32.get() : key.get(), name, 0, type,
                         reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    }
}

void RunIdentity(const std::string& input, const Workspace& ws) {
    // The product key of "the current user" lies below the workspace's key for the whole run.
    ::RegOverridePredefKey(HKEY_CURRENT_USER, ws.userRoot);
    ::RegDeleteTreeW(ws.userRoot, nullptr);
    WriteIdentityValues(input);
    manifest::ViewerSettings settings;
    manifest::LoadIdentity(settings);
    report::ReadInstallTime();
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
}

// The program's own UI documents are the seeds: read from the source tree.
std::vector<std::string> ResourceSeeds(std::initializer_list<const wchar_t*> names) {
    std::vector<std::string> seeds;
    for (const wchar_t* name : names) {
        std::string bytes;
        if (ui::ReadFileBytes(std::wstring(UNINST_RES_DIR) + L"\\" + name, bytes)) seeds.push_back(bytes);
    }
    return seeds;
}

std::vector<std::string> LayoutSeeds() { return ResourceSeeds({L"layouts\\wizard.xml", L"layouts\\msgbox.xml"}); }
std::vector<std::string> PoolSeeds() { return ResourceSeeds({L"skins.xml", L"styles.xml", L"strings.xml"}); }

constexpr SIZE kWizardSize = {530, 400};

// Builds, lays out and paints a window's content, as a host would.
void PaintLayout(std::string_view xml) {
    ui::LxLayout layout(ui::LxHostKind::Extended);
    layout.LoadLayout(xml);
    const SIZE size = layout.InitialClientSize();
    layout.Arrange({0, 0, size.cx, size.cy});
    ui::LxDib canvas(kWizardSize.cx, kWizardSize.cy);
    if (canvas.ok()) layout.Paint(canvas.dc(), nullptr);
}

void RunLayout(const std::string& input, const Workspace&) { PaintLayout(input); }

// The same bytes serve as the skin, style and string documents; the program's
// wizard layout is then painted with those pools.
void RunPoolDocuments(const std::string& input, const Workspace&) {
    ui::SourceHooks().streamProvider = [&input](int, const wchar_t* ext, std::string& bytes) {
        if (std::wstring(ext) != L"xml") return false;
        bytes = input;
        return true;
    };
    ui::LoadSkins();
    ui::LoadStyles();
    ui::LoadStrings();
    ui::SourceHooks().streamProvider = nullptr;
    static const std::vector<std::string> layouts = LayoutSeeds();
    for (const std::string& layout : layouts) PaintLayout(layout);
}

std::vector<std::string> NoSeeds() { return {}; }

}  // namespace

const std::vector<FuzzTarget>& Targets() {
    static const std::vector<FuzzTarget> targets = {
        {"manifest", true, &NoSeeds, &RunManifest},
        {"actions", true, &NoSeeds, &RunActions},
        {"settings", false, &NoSeeds, &RunSettings},
        {"localconfig", false, &NoSeeds, &RunLocalConfig},
        {"productsearch", true, &NoSeeds, &RunProductSearchPayload},
        {"productsearch-container", false, &ProductSearchContainerSeeds, &RunProductSearchContainer},
        {"identity", false, &IdentitySeeds, &RunIdentity},
        {"layout", true, &LayoutSeeds, &RunLayout},
        {"pooldocs", true, &PoolSeeds, &RunPoolDocuments},
    };
    return targets;
}

}  // namespace fuzz
