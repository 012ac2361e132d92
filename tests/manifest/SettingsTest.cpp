#include <gtest/gtest.h>

#include "base/XmlConfigDocument.h"
#include "base/unique_any.h"
#include "manifest/Settings.h"
#include "support/TestSupport.h"

using namespace manifest;
using testing_support::BinDir;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

constexpr wchar_t kTestRoot[] = L"Software\\uninst_test_products";

// Registry keys for product probes under the current user, removed afterwards.
class ProductRegistry {
public:
    ProductRegistry() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot); }
    ~ProductRegistry() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot); }
    void SetString(const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
        base::unique_hkey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kTestRoot) + L"\\" + subkey).c_str(), 0, nullptr,
                                    0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    void CreateKey(const std::wstring& subkey) {
        base::unique_hkey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kTestRoot) + L"\\" + subkey).c_str(), 0, nullptr,
                                    0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
    }
};

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }  // ASCII paths only

bool WriteContainer(const std::wstring& dir, const std::string& payload) {
    return WriteBytes(dir + kProductSearchFileName, EncodeProductSearchContainer(payload));
}

}  // namespace

TEST(ViewerSettingsFile, CapitalisedNamesAndDefaults) {
    TempDir dir;
    ASSERT_TRUE(::CreateDirectoryW((dir / L"lumenox_data").c_str(), nullptr));
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

TEST(ViewerSettingsFile, MissingFolderAndFileAreCreatedEmpty) {
    TempDir dir;
    ViewerSettings s;
    s.LoadSettingsFile(dir.path());
    EXPECT_TRUE(testing_support::IsDirectory(dir / L"lumenox_data"));
    EXPECT_TRUE(testing_support::Exists(dir / L"lumenox_data\\lumenox_db.dat"));
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.skinName, L"");
}

TEST(LocalConfigFile, TryNoFromScrambledFileElseOne) {
    TempDir dir;
    LocalConfig missing;
    missing.LoadLocalConfig(dir.path());
    EXPECT_TRUE(missing.loaded());
    EXPECT_EQ(missing.GetTryNo(), 1);

    ASSERT_TRUE(::CreateDirectoryW((dir / L"data").c_str(), nullptr));
    std::string text = "[Config]\r\nTryNo=3\r\n";
    for (char& c : text) c = static_cast<char>(static_cast<unsigned char>(c) ^ base::kScrambleKey);
    ASSERT_TRUE(WriteBytes(dir / L"data\\local_config.dat", text));
    LocalConfig present;
    present.LoadLocalConfig(dir.path());
    EXPECT_EQ(present.GetTryNo(), 3);
    // Loaded once: a later change of the file is not seen.
    ASSERT_TRUE(WriteBytes(dir / L"data\\local_config.dat", std::string(1, '\0')));
    present.LoadLocalConfig(dir.path());
    EXPECT_EQ(present.GetTryNo(), 3);
}

TEST(ProductSearchFormat, ChecksumIsCrc32ContinuedFromMagic) {
    EXPECT_EQ(Crc32Continue(0, "123456789"), 0xCBF43926u);  // the standard check value
    EXPECT_EQ(ProductSearchChecksum("<a/>"), 0x1189CC01u);
    EXPECT_EQ(ProductSearchChecksum(""), kProductSearchMagicValue);
}

TEST(ProductSearchFormat, ScramblerFollowsMmixSequence) {
    std::string zeros(6, '\0');
    ScrambleProductSearch(zeros, 0x12345678u);
    EXPECT_EQ(zeros, std::string("\xC6\x63\xD6\xFE\x10\x24", 6));
    ScrambleProductSearch(zeros, 0x12345678u);
    EXPECT_EQ(zeros, std::string(6, '\0'));
}

TEST(ProductSearchFormat, ContainerLayoutAndDamage) {
    const std::string payload = "<products><product id=\"1\"/></products>";
    const std::string container = EncodeProductSearchContainer(payload);
    ASSERT_EQ(container.size(), 32 + payload.size());
    EXPECT_EQ(container.substr(0, 8), std::string("QAEF\x00\x01\x12\xAE", 8));
    std::string decoded;
    ASSERT_TRUE(DecodeProductSearchContainer(container + "trailing", decoded));
    EXPECT_EQ(decoded, payload);

    std::string damaged = container;
    damaged[40] ^= 0x01;  // stored payload no longer matches its checksum
    EXPECT_FALSE(DecodeProductSearchContainer(damaged, decoded));
    EXPECT_TRUE(decoded.empty());
    damaged = container;
    damaged[24] ^= 0x01;  // wrong key: unscrambled text fails the second check
    EXPECT_FALSE(DecodeProductSearchContainer(damaged, decoded));
    damaged = container;
    damaged[4] ^= 0x01;
    EXPECT_FALSE(DecodeProductSearchContainer(damaged, decoded));
    EXPECT_FALSE(DecodeProductSearchContainer(container.substr(0, container.size() - 1), decoded));
    EXPECT_FALSE(DecodeProductSearchContainer(container.substr(0, 31), decoded));
}

TEST(ProductSearchFormat, ProductBitsAndRoots) {
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

TEST(ProductSearchFormat, XmlCollectsProbesAndCarriesIds) {
    ProductSearchData data;
    ASSERT_TRUE(ParseProductSearchXml(
        "<root>"
        "<product id=\"3\"><method1><file hkey=\"HKCU\" path=\"p\" key=\"k\" exe=\"e.exe\"/>"
        "<file hkey=\"HKLM\" path=\"q\" key=\"k2\" exe=\"f.exe\"/></method1>"
        "<method2><path hkey=\"HKCU\" path=\"u\"><item keyword=\"ViewER\"/><item keyword=\"\"/></path>"
        "<path hkey=\"HKCU\" path=\"none\"/></method2></product>"
        "<other/>"
        "<product id=\"x\"><method1><file hkey=\"HKCU\" path=\"r\" key=\"k\" exe=\"g.exe\"/></method1></product>"
        "</root>",
        data));
    ASSERT_EQ(data.files.size(), 3u);
    EXPECT_EQ(data.files[0].id, 3u);
    EXPECT_EQ(data.files[1].hkey, L"HKLM");
    EXPECT_EQ(data.files[2].id, 3u);  // unparsable id keeps the previous product's
    ASSERT_EQ(data.subkeys.size(), 1u);  // a path without items is dropped
    ASSERT_EQ(data.subkeys[0].items.size(), 1u);
    EXPECT_EQ(data.subkeys[0].items[0].keyword, L"viewer");
}

TEST(ProductSearchMask, QuotedInstallPathAndIdWrap) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"viewer.exe", "MZ"));
    ProductRegistry reg;
    reg.SetString(L"Quoted", L"InstallDir", L"\"" + dir.path().substr(0, dir.path().size() - 1) + L"\"");
    reg.SetString(L"Missing", L"InstallDir", dir.path() + L"nowhere");
    const std::string root = Narrow(kTestRoot);
    ASSERT_TRUE(WriteContainer(
        dir.path(), "<r><product id=\"33\"><method1><file hkey=\"HKCU\" path=\"" + root +
                        "\\Quoted\" key=\"InstallDir\" exe=\"viewer.exe\"/></method1></product>"
                        "<product id=\"2\"><method1><file hkey=\"HKCU\" path=\"" + root +
                        "\\Missing\" key=\"InstallDir\" exe=\"viewer.exe\"/></method1></product>"
                        "<product id=\"4\"><method1><file hkey=\"hkcu\" path=\"" + root +
                        "\\Quoted\" key=\"InstallDir\" exe=\"viewer.exe\"/></method1></product></r>"));
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 1u);
}

TEST(ProductSearchMask, SubkeyKeywordsCaseInsensitive) {
    TempDir dir;
    ProductRegistry reg;
    reg.CreateKey(L"Uninstall\\Foo Image VIEWER 2.1");
    reg.CreateKey(L"Uninstall\\Other");
    const std::string root = Narrow(kTestRoot);
    ASSERT_TRUE(WriteContainer(dir.path(), "<r><product id=\"5\"><method2><path hkey=\"HKEY_CURRENT_USER\" path=\"" +
                                               root + "\\Uninstall\"><item keyword=\"Image Viewer\"/></path>"
                                                      "</method2></product>"
                                                      "<product id=\"6\"><method2><path hkey=\"HKCU\" path=\"" +
                                               root + "\\Uninstall\"><item keyword=\"absent\"/></path>"
                                                      "</method2></product></r>"));
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 1u << 4);
}

TEST(ProductSearchMask, SubkeysAreSearchedInTheNativeRegistryView) {
    // Uninstall entries of 64-bit programs live in the 64-bit view, which a 32-bit
    // process on a 64-bit system (the i686 build) must ask for; a key of the
    // 32-bit view alone is not looked at.
    constexpr wchar_t kViewsKey[] = L"uninst_test_product_views";
    const std::wstring uninstall = std::wstring(L"Software\\") + kViewsKey + L"\\Uninstall";
    const auto keyIn = [&](const wchar_t* name, REGSAM view) {
        base::unique_hkey key;
        return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (uninstall + L"\\" + name).c_str(), 0, nullptr, 0,
                                 KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr) == ERROR_SUCCESS;
    };
    const auto removeViews = [&] {
        for (const REGSAM view : {REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)}) {
            base::unique_hkey software;
            if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS | view, software.put()) ==
                ERROR_SUCCESS) {
                ::RegDeleteTreeW(software.get(), kViewsKey);
                ::RegDeleteKeyW(software.get(), kViewsKey);
            }
        }
    };
    removeViews();
    ASSERT_TRUE(keyIn(L"Native Viewer", KEY_WOW64_64KEY));
    ASSERT_TRUE(keyIn(L"Redirected Viewer", KEY_WOW64_32KEY));
    TempDir dir;
    const std::string path = Narrow(uninstall);
    ASSERT_TRUE(WriteContainer(dir.path(), "<r><product id=\"1\"><method2><path hkey=\"HKLM\" path=\"" + path +
                                               "\"><item keyword=\"native viewer\"/></path></method2></product>"
                                               "<product id=\"2\"><method2><path hkey=\"HKLM\" path=\"" + path +
                                               "\"><item keyword=\"redirected viewer\"/></path></method2></product></r>"));
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 1u);
    removeViews();
}

TEST(ProductSearchMask, DamagedOrMissingDataGivesZero) {
    TempDir dir;
    ProductRegistry reg;
    reg.CreateKey(L"Uninstall\\Viewer");
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 0u);
    const std::string payload = "<r><product id=\"1\"><method2><path hkey=\"HKCU\" path=\"" + Narrow(kTestRoot) +
                                "\\Uninstall\"><item keyword=\"viewer\"/></path></method2></product></r>";
    ASSERT_TRUE(WriteContainer(dir.path(), payload));
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 1u);

    std::string bytes = ReadBytes(dir / L"lminfo.dat");
    bytes[28] ^= 0x40;  // stored checksum field
    ASSERT_TRUE(WriteBytes(dir / L"lminfo.dat", bytes));
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 0u);

    // A length beyond the file's end must not be trusted.
    bytes = EncodeProductSearchContainer(payload);
    bytes[23] = '\x7F';
    ASSERT_TRUE(WriteBytes(dir / L"lminfo.dat", bytes));
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 0u);
}

TEST(ProductSearchMask, WriterToolRoundTrip) {
    TempDir dir;
    ProductRegistry reg;
    reg.CreateKey(L"Uninstall\\Second Viewer");
    const std::string payload = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<list>"
                                "<product id=\"7\"><method2><path hkey=\"HKCU\" path=\"" + Narrow(kTestRoot) +
                                "\\Uninstall\"><item keyword=\"second\"/></path></method2></product>"
                                "<product id=\"7\"><method2><path hkey=\"HKCU\" path=\"" + Narrow(kTestRoot) +
                                "\\Uninstall\"><item keyword=\"viewer\"/></path></method2></product></list>";
    ASSERT_TRUE(WriteBytes(dir / L"payload.xml", payload));
    const auto run = testing_support::RunProcess(BinDir() + L"lminfo_writer.exe",
                                                 L"\"" + (dir / L"payload.xml") + L"\" \"" + (dir / L"lminfo.dat") + L"\"");
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(run.exitCode, 0u);
    std::string decoded;
    ASSERT_TRUE(DecodeProductSearchContainer(ReadBytes(dir / L"lminfo.dat"), decoded));
    EXPECT_EQ(decoded, payload);
    EXPECT_EQ(ComputeInstalledProductMask(dir.path()), 1u << 6);

    const auto bad = testing_support::RunProcess(BinDir() + L"lminfo_writer.exe", L"only-one-argument");
    ASSERT_TRUE(bad.finished);
    EXPECT_NE(bad.exitCode, 0u);
}
