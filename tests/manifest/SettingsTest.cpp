#include <gtest/gtest.h>

#include "base/text.h"
#include "base/unique_any.h"
#include "manifest/ExpandTask.h"
#include "manifest/Settings.h"
#include "base/XmlConfigDocument.h"
#include "support/TestSupport.h"

using namespace manifest;
using namespace testing_support;

namespace {

constexpr wchar_t kTestRoot[] = L"Software\\uninst_test_products";
const std::string kRoot = base::WideToUtf8(kTestRoot);

// Keys (with an optional string value) for product probes under the current user, removed afterwards.
struct ProductRegistry {
    ScopedKeys keys;
    ProductRegistry() { keys.Track(HKEY_CURRENT_USER, kTestRoot); }
    static bool Key(const std::wstring& subkey, const wchar_t* name = nullptr, const std::wstring& value = L"") {
        return CreateKey(HKEY_CURRENT_USER, std::wstring(kTestRoot) + L"\\" + subkey, 0, name, value);
    }
};

// A product found by an install-directory value holding its program.
std::string ByFile(const std::string& id, const std::string& hkey, const std::string& path) {
    return "<product id=\"" + id + "\"><method1><file hkey=\"" + hkey + "\" path=\"" + path +
           "\" key=\"InstallDir\" exe=\"viewer.exe\"/></method1></product>";
}

// A product found by a keyword in the names of the subkeys of `path`.
std::string ByKeyword(const std::string& id, const std::string& hkey, const std::string& path,
                      const std::string& keyword) {
    return "<product id=\"" + id + "\"><method2><path hkey=\"" + hkey + "\" path=\"" + path + "\"><item keyword=\"" +
           keyword + "\"/></path></method2></product>";
}

bool WriteContainer(const std::wstring& dir, const std::string& payload) {
    return WriteBytes(dir + kProductSearchFileName, EncodeProductSearchContainer(payload));
}

}  // namespace

TEST(ViewerSettingsFile, CapitalisedNamesAndDefaultsMissingFileIsCreated) {
    TempDir dir;
    ViewerSettings empty;
    empty.LoadSettingsFile(dir.path());
    EXPECT_TRUE(Exists(dir / L"lumenox_data\\lumenox_db.dat"));
    EXPECT_EQ(empty.width, 800);
    EXPECT_EQ(empty.skinName, L"");
    ASSERT_TRUE(WriteBytes(dir / L"lumenox_data\\lumenox_db.dat",
                           "[WindowRect]\r\nWidth=1024\r\nISMAXIMIZED=1\r\n[Common]\r\nSkinName=dark\r\n"
                           "CleanFileExtRelationReg=1\r\n"));
    ViewerSettings s;
    s.LoadSettingsFile(dir.path());
    EXPECT_EQ(s.dataDirectory, dir.path() + L"lumenox_data\\");
    EXPECT_EQ(s.settingsFile, dir.path() + L"lumenox_data\\lumenox_db.dat");
    EXPECT_EQ(s.width, 1024);
    EXPECT_EQ(s.ismaximized, 1);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.x, 100000);
    EXPECT_EQ(s.y, 100000);
    EXPECT_EQ(s.skinName, L"dark");
    EXPECT_EQ(s.hadshortcut, 0);
    EXPECT_EQ(s.cleanFileExtRelationReg, 1);
}

TEST(LocalConfigFile, TryNoFromScrambledFileElseOne) {
    TempDir dir;
    LocalConfig missing;
    missing.LoadLocalConfig(dir.path());
    EXPECT_TRUE(missing.loaded());
    EXPECT_EQ(missing.GetTryNo(), 1);
    ASSERT_TRUE(::CreateDirectoryW((dir / L"data").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(dir / L"data\\local_config.dat", ScrambleExpandTaskText("[Config]\r\nTryNo=3\r\n")));
    LocalConfig present;
    present.LoadLocalConfig(dir.path());
    EXPECT_EQ(present.GetTryNo(), 3);
    // Loaded once: a later change of the file is not seen.
    ASSERT_TRUE(WriteBytes(dir / L"data\\local_config.dat", std::string(1, '\0')));
    present.LoadLocalConfig(dir.path());
    EXPECT_EQ(present.GetTryNo(), 3);
}

TEST(ProductSearchFormat, ChecksumScramblerAndBits) {
    EXPECT_EQ(Crc32Continue(0, "123456789"), 0xCBF43926u);  // the standard check value
    EXPECT_EQ(ProductSearchChecksum("<a/>"), 0x1189CC01u);
    EXPECT_EQ(ProductSearchChecksum(""), kProductSearchMagicValue);
    // The scrambler follows the MMIX sequence and undoes itself.
    std::string zeros(6, '\0');
    ScrambleProductSearch(zeros, 0x12345678u);
    EXPECT_EQ(zeros, std::string("\xC6\x63\xD6\xFE\x10\x24", 6));
    ScrambleProductSearch(zeros, 0x12345678u);
    EXPECT_EQ(zeros, std::string(6, '\0'));
    EXPECT_EQ(ProductBit(1), 1u);
    EXPECT_EQ(ProductBit(32), 0x80000000u);
    EXPECT_EQ(ProductBit(33), 1u);  // the shift count wraps at 32
    EXPECT_EQ(ProductSearchRoot(L"HKCU"), HKEY_CURRENT_USER);
    EXPECT_EQ(ProductSearchRoot(L"HKEY_LOCAL_MACHINE"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ProductSearchRoot(L"HKU"), HKEY_USERS);
    EXPECT_EQ(ProductSearchRoot(L"hkcu"), nullptr);  // names are case-sensitive
    EXPECT_EQ(ProductSearchRoot(L"HKEY_CURRENT_USER\\"), nullptr);
    EXPECT_EQ(ProductExePath(L"\"C:\\Viewer\"", L"v.exe"), L"C:\\Viewer\\v.exe");
    EXPECT_EQ(ProductExePath(L"C:/Viewer/", L"v.exe"), L"C:/Viewer/v.exe");
}

TEST(ProductSearchFormat, ContainerLayoutAndDamage) {
    const std::string payload = "<products><product id=\"1\"/></products>";
    const std::string container = EncodeProductSearchContainer(payload);
    ASSERT_EQ(container.size(), 32 + payload.size());
    EXPECT_EQ(container.substr(0, 8), std::string("QAEF\x00\x01\x12\xAE", 8));
    std::string decoded;
    ASSERT_TRUE(DecodeProductSearchContainer(container + "trailing", decoded));
    EXPECT_EQ(decoded, payload);
    // The stored payload against its checksum, the key (the unscrambled text fails
    // the second check), the magic, and cut-off containers.
    for (const size_t flipped : {40, 24, 4}) {
        std::string damaged = container;
        damaged[flipped] ^= 0x01;
        EXPECT_FALSE(DecodeProductSearchContainer(damaged, decoded)) << flipped;
        EXPECT_TRUE(decoded.empty());
    }
    EXPECT_FALSE(DecodeProductSearchContainer(container.substr(0, container.size() - 1), decoded));
    EXPECT_FALSE(DecodeProductSearchContainer(container.substr(0, 31), decoded));
}

TEST(ProductSearchMask, QuotedInstallPathAndIdWrap) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"viewer.exe", "MZ"));
    ProductRegistry reg;
    ASSERT_TRUE(reg.Key(L"Quoted", L"InstallDir", L"\"" + dir.path().substr(0, dir.path().size() - 1) + L"\""));
    ASSERT_TRUE(reg.Key(L"Missing", L"InstallDir", dir.path() + L"nowhere"));
    // Id 33 wraps to bit 0; a lower-case root name finds nothing; an unparsable
    // id keeps the previous product's (2, bit 1).
    ASSERT_TRUE(WriteContainer(dir.path(), "<r>" + ByFile("33", "HKCU", kRoot + "\\Quoted") +
                                               ByFile("2", "HKCU", kRoot + "\\Missing") +
                                               ByFile("x", "HKCU", kRoot + "\\Quoted") +
                                               ByFile("4", "hkcu", kRoot + "\\Quoted") + "</r>"));
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 3u);
}

TEST(ProductSearchMask, SubkeyKeywordsCaseInsensitive) {
    TempDir dir;
    ProductRegistry reg;
    ASSERT_TRUE(reg.Key(L"Uninstall\\Foo Image VIEWER 2.1"));
    ASSERT_TRUE(reg.Key(L"Uninstall\\Other"));
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 0u);  // no data file
    const std::string uninstall = kRoot + "\\Uninstall";
    ASSERT_TRUE(WriteContainer(dir.path(), "<r>" + ByKeyword("5", "HKEY_CURRENT_USER", uninstall, "Image Viewer") +
                                               ByKeyword("6", "HKCU", uninstall, "absent") + "</r>"));
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 1u << 4);
}

TEST(ProductSearchMask, SubkeysAreSearchedInTheNativeRegistryView) {
    // Uninstall entries of 64-bit programs live in the 64-bit view, which a 32-bit
    // process on a 64-bit system (the i686 build) must ask for.
    constexpr wchar_t kViewsKey[] = L"uninst_test_product_views";
    const std::wstring uninstall = std::wstring(L"Software\\") + kViewsKey + L"\\Uninstall";
    ScopedKeys keys;
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        keys.Track(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\") + kViewsKey, view);
    }
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, uninstall + L"\\Native Viewer", KEY_WOW64_64KEY));
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, uninstall + L"\\Redirected Viewer", KEY_WOW64_32KEY));
    TempDir dir;
    const std::string path = base::WideToUtf8(uninstall);
    ASSERT_TRUE(WriteContainer(dir.path(), "<r>" + ByKeyword("1", "HKLM", path, "native viewer") +
                                               ByKeyword("2", "HKLM", path, "redirected viewer") + "</r>"));
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 1u);
}

TEST(ProductSearchMask, WriterToolRoundTrip) {
    TempDir dir;
    ProductRegistry reg;
    ASSERT_TRUE(reg.Key(L"Uninstall\\Second Viewer"));
    // The same id twice: either probe finds the product.
    const std::string payload = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<list>" +
                                ByKeyword("7", "HKCU", kRoot + "\\Uninstall", "second") +
                                ByKeyword("7", "HKCU", kRoot + "\\Uninstall", "viewer") + "</list>";
    ASSERT_TRUE(WriteBytes(dir / L"payload.xml", payload));
    const auto run = RunProcess(BinDir() + L"lminfo_writer.exe",
                                L"\"" + (dir / L"payload.xml") + L"\" \"" + (dir / L"lminfo.dat") + L"\"");
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(run.exitCode, 0u);
    std::string decoded;
    ASSERT_TRUE(DecodeProductSearchContainer(ReadBytes(dir / L"lminfo.dat"), decoded));
    EXPECT_EQ(decoded, payload);
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 1u << 6);
}
