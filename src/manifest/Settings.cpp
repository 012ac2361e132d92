#include "manifest/Settings.h"

#include <array>

#include "base/XmlConfigDocument.h"
#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "manifest/Identity.h"
#include "removal/Paths.h"
#include "removal/ProcessControl.h"
#include "removal/Registry.h"

namespace manifest {
namespace {

constexpr uint64_t kMmixMultiplier = 0x5851F42D4C957F2DULL;
constexpr unsigned kScrambleShift = 19;
constexpr uint32_t kCrcPolynomial = 0xEDB88320u;
constexpr DWORD kMaxSubkeyNameChars = 255;
// An installation path is a path; a longer value is no installation path and reads as absent.
constexpr DWORD kMaxPathValueBytes = 32 * 1024 * sizeof(wchar_t);
constexpr int kDefaultTryNo = 1;

uint32_t ReadLe32(std::string_view bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    }
    return value;
}

void AppendLe32(std::string& out, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

const std::array<uint32_t, 256>& CrcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t = {};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (kCrcPolynomial ^ (c >> 1)) : (c >> 1);
            t[n] = c;
        }
        return t;
    }();
    return table;
}

// A 32-bit process on a 64-bit system must ask for the 64-bit view explicitly.
REGSAM NativeViewFlag() { return removal::IsOwnProcessWow64() ? KEY_WOW64_64KEY : 0; }

bool ReadWholeFile(const std::wstring& path, std::string& out) {
    out.clear();
    base::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char header[kProductSearchHeaderBytes];
    DWORD read = 0;
    if (!::ReadFile(file.get(), header, sizeof(header), &read, nullptr) || read != sizeof(header)) return false;
    const uint32_t length = ReadLe32(std::string_view(header, sizeof(header)), kProductSearchLengthOffset);
    // A damaged length must not turn into a huge allocation: it can exceed
    // neither the limit nor the file. Within the limit, header and payload
    // sizes add up without wrapping even in a 32-bit size_t.
    if (length > kMaxProductSearchPayloadBytes) return false;
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size) ||
        static_cast<uint64_t>(size.QuadPart) < kProductSearchHeaderBytes + static_cast<uint64_t>(length)) {
        return false;
    }
    out.assign(header, sizeof(header));
    out.resize(kProductSearchHeaderBytes + static_cast<size_t>(length));
    if (length > 0 &&
        (!::ReadFile(file.get(), out.data() + kProductSearchHeaderBytes, length, &read, nullptr) || read != length)) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace

// ---- ViewerSettings ---------------------------------------------------------

void ViewerSettings::LoadSettingsFile(const std::wstring& exeDirectory) {
    dataDirectory = exeDirectory;
    base::EnsureTrailingSeparator(dataDirectory);
    dataDirectory += kDataFolderName;
    dataDirectory += L'\\';
    settingsFile = dataDirectory + kSettingsFileName;

    if (!base::DirectoryIsPresent(dataDirectory)) ::CreateDirectoryW(dataDirectory.c_str(), nullptr);
    if (!base::DirectoryIsPresent(dataDirectory)) return;

    QIniWrapEx ini;
    ini.Load(settingsFile);
    ismaximized = ini.GetInt(L"windowrect", L"ismaximized", 0);
    width = ini.GetInt(L"windowrect", L"width", 800);
    height = ini.GetInt(L"windowrect", L"height", 600);
    x = ini.GetInt(L"windowrect", L"x", 100000);
    y = ini.GetInt(L"windowrect", L"y", 100000);
    skinName = ini.GetString(L"common", L"skinname");
    hadshortcut = ini.GetInt(L"common", L"hadshortcut", 0);
    cleanFileExtRelationReg = ini.GetInt(L"common", L"CleanFileExtRelationReg", 0);
}

ViewerSettings& ViewerSettings::Instance() {
    // The function-local static gives the single, thread-safe creation: a racing
    // second creation would generate and write a second uuid.
    static ViewerSettings settings = [] {
        ViewerSettings s;
        s.LoadSettingsFile(base::GetModuleDirectory(nullptr));
        LoadIdentity(s);
        return s;
    }();
    return settings;
}

// ---- LocalConfig ------------------------------------------------------------

LocalConfig& LocalConfig::Instance() {
    static LocalConfig config;
    return config;
}

void LocalConfig::LoadLocalConfig(const std::wstring& exeDirectory) {
    if (loaded_) return;
    loaded_ = true;
    std::wstring path = exeDirectory;
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    path += kLocalConfigRelativePath;
    std::string text;
    if (!base::ReadScrambledText(path, text)) return;
    document_.Clear();
    document_.Parse(DecodeIniBytes(text));
}

int LocalConfig::GetTryNo() const { return document_.GetInt(L"config", L"tryno", kDefaultTryNo); }

// ---- Product-search container -----------------------------------------------

uint32_t Crc32Continue(uint32_t previous, std::string_view bytes) {
    const auto& table = CrcTable();
    uint32_t crc = ~previous;
    for (const char c : bytes) crc = table[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t ProductSearchChecksum(std::string_view bytes) { return Crc32Continue(kProductSearchMagicValue, bytes); }

void ScrambleProductSearch(std::string& bytes, uint32_t key) {
    uint64_t state = key;
    for (size_t i = 0; i < bytes.size(); ++i) {
        state = state * kMmixMultiplier + 1;
        const uint8_t keyByte = static_cast<uint8_t>((key >> (8 * (i % 4))) & 0xFF);
        const uint8_t mask = static_cast<uint8_t>(((state >> kScrambleShift) & 0xFF) ^ keyByte);
        bytes[i] = static_cast<char>(static_cast<uint8_t>(bytes[i]) ^ mask);
    }
}

std::string EncodeProductSearchContainer(std::string_view payload) {
    const uint32_t key = ProductSearchChecksum(payload);
    std::string stored(payload);
    ScrambleProductSearch(stored, key);
    std::string out(kProductSearchMagic, sizeof(kProductSearchMagic));
    AppendLe32(out, kProductSearchFormat);
    for (int i = 0; i < 3; ++i) AppendLe32(out, 0);
    AppendLe32(out, static_cast<uint32_t>(payload.size()));
    AppendLe32(out, key);
    AppendLe32(out, ProductSearchChecksum(stored));
    return out + stored;
}

bool DecodeProductSearchContainer(std::string_view container, std::string& payload) {
    payload.clear();
    if (container.size() < kProductSearchHeaderBytes) return false;
    if (container.substr(0, sizeof(kProductSearchMagic)) != std::string_view(kProductSearchMagic, 4)) return false;
    if (ReadLe32(container, 4) != kProductSearchFormat) return false;
    const uint32_t length = ReadLe32(container, kProductSearchLengthOffset);
    const uint32_t key = ReadLe32(container, kProductSearchKeyOffset);
    const uint32_t storedCrc = ReadLe32(container, kProductSearchStoredCrcOffset);
    if (length > kMaxProductSearchPayloadBytes || container.size() - kProductSearchHeaderBytes < length) return false;
    std::string data(container.substr(kProductSearchHeaderBytes, length));
    if (ProductSearchChecksum(data) != storedCrc) return false;
    ScrambleProductSearch(data, key);
    if (ProductSearchChecksum(data) != key) return false;
    payload = std::move(data);
    return true;
}

bool ParseProductSearchXml(std::string_view xml, ProductSearchData& data) {
    data = {};
    base::XmlConfigDocument doc;
    if (!doc.LoadText(xml) || !doc.SelectPath("")) return false;
    uint32_t id = 0;  // a product without a usable id keeps the previous one's
    for (bool product = doc.EnterChild("product"); product; product = doc.NextSibling("product")) {
        int32_t value = 0;
        if (doc.GetIntAttribute("id", value)) id = static_cast<uint32_t>(value);
        for (bool method = doc.EnterChild("method1"); method; method = doc.NextSibling("method1")) {
            for (bool file = doc.EnterChild("file"); file; file = doc.NextSibling("file")) {
                ProductFileProbe probe;
                probe.id = id;
                doc.GetWideAttribute("hkey", probe.hkey);
                doc.GetWideAttribute("path", probe.path);
                doc.GetWideAttribute("key", probe.key);
                doc.GetWideAttribute("exe", probe.exe);
                data.files.push_back(std::move(probe));
            }
            if (doc.CursorName() == "file") doc.LeaveToParent();
        }
        if (doc.CursorName() == "method1") doc.LeaveToParent();
        for (bool method = doc.EnterChild("method2"); method; method = doc.NextSibling("method2")) {
            for (bool path = doc.EnterChild("path"); path; path = doc.NextSibling("path")) {
                ProductSubkeyProbe probe;
                doc.GetWideAttribute("hkey", probe.hkey);
                doc.GetWideAttribute("path", probe.path);
                for (bool item = doc.EnterChild("item"); item; item = doc.NextSibling("item")) {
                    std::wstring keyword;
                    doc.GetWideAttribute("keyword", keyword);
                    // An empty keyword would be found in every subkey name.
                    if (!keyword.empty()) probe.items.push_back({base::ToLowerInvariant(keyword), id});
                }
                if (doc.CursorName() == "item") doc.LeaveToParent();
                if (!probe.items.empty()) data.subkeys.push_back(std::move(probe));
            }
            if (doc.CursorName() == "path") doc.LeaveToParent();
        }
        if (doc.CursorName() == "method2") doc.LeaveToParent();
    }
    return true;
}

uint32_t ProductBit(uint32_t id) { return 1u << ((id - 1u) & 31u); }

HKEY ProductSearchRoot(const std::wstring& name) { return base::ParseRootKeyName(name, /*ignoreCase=*/false); }

std::wstring ProductExePath(const std::wstring& installDirValue, const std::wstring& exe) {
    std::wstring path;
    for (const wchar_t c : installDirValue) {
        if (c != L'"') path.push_back(c);
    }
    if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path.push_back(L'\\');
    return path + exe;
}

uint32_t EvaluateProductSearch(const ProductSearchData& data) {
    uint32_t mask = 0;
    for (const ProductFileProbe& probe : data.files) {
        const uint32_t bit = ProductBit(probe.id);
        if (mask & bit) continue;
        const HKEY root = ProductSearchRoot(probe.hkey);
        if (root == nullptr) continue;
        base::unique_hkey key;
        // Installation paths are read where the family's 32-bit installers wrote them.
        if (::RegOpenKeyExW(root, probe.path.c_str(), 0, KEY_READ | removal::kInstallerView, key.put()) !=
            ERROR_SUCCESS) {
            continue;
        }
        std::wstring installDir;
        base::ReadRegistryString(key.get(), probe.key.c_str(), kMaxPathValueBytes, installDir);
        if (installDir.empty()) continue;
        if (base::FileIsPresent(ProductExePath(installDir, probe.exe))) mask |= bit;
    }
    const REGSAM view = NativeViewFlag();
    for (const ProductSubkeyProbe& probe : data.subkeys) {
        const HKEY root = ProductSearchRoot(probe.hkey);
        if (root == nullptr) continue;
        base::unique_hkey key;
        if (::RegOpenKeyExW(root, probe.path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) continue;
        for (DWORD index = 0;; ++index) {
            wchar_t name[kMaxSubkeyNameChars + 1] = {};
            DWORD chars = kMaxSubkeyNameChars + 1;
            if (::RegEnumKeyExW(key.get(), index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            const std::wstring lower = base::ToLowerInvariant(std::wstring_view(name, chars));
            for (const ProductKeyword& item : probe.items) {
                const uint32_t bit = ProductBit(item.id);
                if (!(mask & bit) && lower.find(item.keyword) != std::wstring::npos) mask |= bit;
            }
        }
    }
    return mask;
}

uint32_t ComputeInstalledProductMask(const std::wstring& directory) {
    std::wstring path = directory;
    base::EnsureTrailingSeparator(path);
    path += kProductSearchFileName;
    std::string container;
    std::string payload;
    ProductSearchData data;
    if (!ReadWholeFile(path, container) || !DecodeProductSearchContainer(container, payload) ||
        !ParseProductSearchXml(payload, data)) {
        return 0;
    }
    return EvaluateProductSearch(data);
}

uint32_t InstalledProductMask() {
    static const uint32_t mask = ComputeInstalledProductMask(base::GetExeDirectoryWithSeparator());
    return mask;
}

}  // namespace manifest
