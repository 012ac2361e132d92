// The viewer's settings file, the scrambled local configuration and the
// product search behind the installed-product mask.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "manifest/IniWrap.h"

namespace manifest {

constexpr wchar_t kDataFolderName[] = L"lumenox_data";
constexpr wchar_t kSettingsFileName[] = L"lumenox_db.dat";
constexpr wchar_t kLocalConfigRelativePath[] = L"\\data\\local_config.dat";
constexpr wchar_t kProductSearchFileName[] = L"lminfo.dat";

class ViewerSettings {
public:
    // Process-wide object: settings file, then identity values, read once.
    static ViewerSettings& Instance();

    ViewerSettings() = default;
    // Reads the settings file of the data folder beside an executable directory
    // (with or without trailing separator), creating folder and file when missing.
    void LoadSettingsFile(const std::wstring& exeDirectory);

    std::wstring dataDirectory;
    std::wstring settingsFile;
    std::wstring uuid;
    int32_t ismaximized = 0;
    int32_t width = 800;
    int32_t height = 600;
    int32_t x = 100000;
    int32_t y = 100000;
    uint32_t tid1 = 0;
    uint32_t tid2 = 0;
    uint32_t id = 0;
    uint32_t installtime = 0;
    std::wstring skinName;
    int32_t hadshortcut = 0;
    int32_t cleanFileExtRelationReg = 0;
};

class LocalConfig {
public:
    static LocalConfig& Instance();

    // "data\local_config.dat" below the executable's directory (with or without
    // trailing separator); once per object, so once per process for Instance().
    // A missing or unreadable file leaves the defaults.
    void LoadLocalConfig(const std::wstring& exeDirectory);
    int GetTryNo() const;
    bool loaded() const noexcept { return loaded_; }

private:
    QIniWrapEx document_;
    bool loaded_ = false;
};

// ---- Product-search container "lminfo.dat" ---------------------------------

constexpr char kProductSearchMagic[4] = {'Q', 'A', 'E', 'F'};
constexpr uint32_t kProductSearchMagicValue = 0x46454151;  // the magic read little-endian
constexpr uint32_t kProductSearchFormat = 0xAE120100;
constexpr size_t kProductSearchHeaderBytes = 32;
constexpr size_t kProductSearchLengthOffset = 20;
constexpr size_t kProductSearchKeyOffset = 24;
constexpr size_t kProductSearchStoredCrcOffset = 28;
// Larger payloads are refused before anything is allocated for them.
constexpr uint32_t kMaxProductSearchPayloadBytes = 2u * 1024u * 1024u;

// Running CRC-32 (IEEE, reflected 0xEDB88320) continued from a previous value.
uint32_t Crc32Continue(uint32_t previous, std::string_view bytes);
// The container's checksum: the running CRC continued from the magic.
uint32_t ProductSearchChecksum(std::string_view bytes);
// Symmetric: scrambles plain bytes and unscrambles scrambled ones.
void ScrambleProductSearch(std::string& bytes, uint32_t key);

// Whole container from a plain payload (the unused header fields are 0).
std::string EncodeProductSearchContainer(std::string_view payload);
// Plain payload of a container; false on a wrong header, short data or a
// checksum mismatch. Bytes after the payload are ignored.
bool DecodeProductSearchContainer(std::string_view container, std::string& payload);

struct ProductFileProbe {  // method1/file
    uint32_t id = 0;
    std::wstring hkey, path, key, exe;
};
struct ProductKeyword {
    std::wstring keyword;  // lower-cased
    uint32_t id = 0;
};
struct ProductSubkeyProbe {  // method2/path
    std::wstring hkey, path;
    std::vector<ProductKeyword> items;
};
struct ProductSearchData {
    std::vector<ProductFileProbe> files;
    std::vector<ProductSubkeyProbe> subkeys;
};

bool ParseProductSearchXml(std::string_view xml, ProductSearchData& data);
// A product's bit: the shift count is taken modulo 32, so id 33 shares id 1's bit.
uint32_t ProductBit(uint32_t id);
// Root names of the product-search data, compared case-sensitively; null otherwise.
HKEY ProductSearchRoot(const std::wstring& name);
// Registry path values as stored by installers: quotes dropped, separator and exe appended.
std::wstring ProductExePath(const std::wstring& installDirValue, const std::wstring& exe);

// Evaluates the probes against the registry and the file system.
uint32_t EvaluateProductSearch(const ProductSearchData& data);
// Reads and evaluates "lminfo.dat" of a directory; 0 on any failure.
uint32_t ComputeInstalledProductMask(const std::wstring& directory);
// The mask for the process's own directory, computed once.
uint32_t InstalledProductMask();

}  // namespace manifest
