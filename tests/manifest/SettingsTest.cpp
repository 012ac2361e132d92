// The settings files and their grammar, the identity values, the product
// search data, and the limits of every reader of a file beside the uninstaller.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "base/XmlConfigDocument.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "manifest/ExpandTask.h"
#include "manifest/Identity.h"
#include "manifest/IniWrap.h"
#include "manifest/Settings.h"
#include "support/ProductKey.h"
#include "support/TestSupport.h"

using namespace manifest;
using namespace testing_support;

namespace {

constexpr uint64_t kLimit = base::kMaxConfigFileBytes;

// `head` followed by zero bytes up to `size` (a sparse file: nothing is written).
bool WriteSized(const std::wstring& path, const std::string& head, uint64_t size) {
    if (!WriteBytes(path, head)) return false;
    base::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER end = {};
    end.QuadPart = static_cast<LONGLONG>(size);
    return file && ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.get());
}

std::string Scrambled(const std::string& plain) {
    std::string out = plain;
    for (char& c : out) c = static_cast<char>(c ^ base::kScrambleKey);
    return out;
}

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

// 2024-03-18 09:05:07.042: year, month, day of week, day, hour, minute, second, milliseconds.
constexpr SYSTEMTIME kSampleTime = {2024, 3, 1, 18, 9, 5, 7, 42};

UuidClock FixedClock(int64_t seconds, SYSTEMTIME local) {
    UuidClock clock;
    clock.secondsSince1970 = [seconds] { return seconds; };
    clock.localTime = [local] { return local; };
    return clock;
}

std::wstring Stored(const wchar_t* name, REGSAM view = 0) {
    std::wstring value;
    return ProductKeyScope::GetString(name, value, view) ? value : L"<absent>";
}

std::wstring ComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD chars = sizeof(name);
    ::GetComputerNameA(name, &chars);
    return std::wstring(name, name + chars);
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
    // The mask tests meet HKCU, HKEY_CURRENT_USER, HKLM and a lower-case name.
    EXPECT_EQ(ProductSearchRoot(L"HKU"), HKEY_USERS);
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

TEST(IniGrammar, SectionsPairsTrimmingAndCase) {
    QIniWrapEx ini;
    // Text before the first bracket is ignored; blanks around names and values are trimmed.
    EXPECT_TRUE(ini.Parse(L"; by the viewer\nwidth=5\n\t [ WindowRect ] \n  WIDTH =  1024 \n\n height=600\n"
                          L"[common]\nskinname = blue sky \n"));
    EXPECT_EQ(ini.GetInt(L"windowrect", L"width", 0), 1024);
    EXPECT_EQ(ini.GetInt(L"WINDOWRECT", L"Height", 0), 600);
    EXPECT_EQ(ini.GetString(L"common", L"skinname"), L"blue sky");
    EXPECT_EQ(ini.GetInt(L"common", L"missing", 77), 77);
    EXPECT_EQ(ini.GetString(L"nosection", L"skinname"), L"");
    EXPECT_FALSE(ini.Has(L"", L"width"));
    QIniWrapEx none;
    EXPECT_FALSE(none.Parse(L"width=5\nheight=6\n"));
    EXPECT_TRUE(none.empty());
}

TEST(IniGrammar, MalformedLineStopsButKeepsEarlierPairs) {
    for (const wchar_t* text : {L"[a]\nx=1\nnot a pair\ny=2\n", L"[a]\nx=1\n  =2\ny=3\n", L"[a]\nx=1\n[  ]\ny=3\n"}) {
        QIniWrapEx ini;
        EXPECT_FALSE(ini.Parse(text));
        EXPECT_EQ(ini.GetInt(L"a", L"x", 0), 1);
        EXPECT_FALSE(ini.Has(L"a", L"y"));
    }
}

TEST(IniGrammar, ValuesKeepInnerEqualsRepeatedKeysReplaceIntsTakeLeadingDecimal) {
    QIniWrapEx ini;
    ASSERT_TRUE(ini.Parse(L"[s]\nk=a=b\nk = c = d\nempty=\na=42px\nb=px\nc=-7\nd= 12\n"));
    EXPECT_EQ(ini.GetString(L"s", L"k"), L"c = d");
    EXPECT_TRUE(ini.Has(L"s", L"empty"));
    EXPECT_EQ(ini.GetString(L"s", L"empty"), L"");
    EXPECT_EQ(ini.GetInt(L"s", L"a", 1), 42);
    EXPECT_EQ(ini.GetInt(L"s", L"b", 1), 0);
    EXPECT_EQ(ini.GetInt(L"s", L"c", 1), -7);
    EXPECT_EQ(ini.GetInt(L"s", L"d", 1), 12);
    // An unterminated "[" line is a pair, stored before any section.
    QIniWrapEx odd;
    ASSERT_TRUE(odd.Parse(L"[x=1\n[s]\n"));
    EXPECT_EQ(odd.GetString(L"", L"[x"), L"1");
}

TEST(IniLoad, Utf8WithCarriageReturnsAndBomMissingFileIsCreated) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"s.ini", "\xEF\xBB\xBF[common]\r\nskinname=\xE8\x93\x9D\r\nhadshortcut=1\r"));
    QIniWrapEx ini;
    EXPECT_TRUE(ini.Load(dir / L"s.ini"));
    EXPECT_EQ(ini.GetString(L"common", L"skinname"), L"\x84DD");
    EXPECT_EQ(ini.GetInt(L"common", L"hadshortcut", 0), 1);
    const std::wstring path = dir / L"a\\b\\settings.dat";
    QIniWrapEx created;
    EXPECT_TRUE(created.Load(path));
    EXPECT_TRUE(created.empty());
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_TRUE(created.Load(path));  // the now existing empty file loads as well
    EXPECT_FALSE(QIniWrapEx().Load(L"relative.ini"));
}

TEST(ReaderLimits, FilesOfTheLimitAreReadBeyondItRefused) {
    // Refused before anything is allocated for them, also when the size needs
    // more than 32 bits (where a 32-bit build used to wrap "size + 2").
    TempDir dir;
    const std::wstring path = dir / L"lminfo.dat";
    const struct {
        const char* name;
        std::string head;
        std::function<bool()> read;  // true when the content was taken
    } readers[] = {
        {"XML document", "<a>", [&] { return base::XmlConfigDocument().LoadFile(path); }},
        {"scrambled text", Scrambled("[config]"), [&] {
             std::string text;
             return base::ReadScrambledText(path, text);
         }},
        {"settings", "[config]\r\n", [&] { return QIniWrapEx().Load(path); }},
    };
    for (const auto& reader : readers) {
        SCOPED_TRACE(reader.name);
        for (const uint64_t size : {kLimit + 1, uint64_t(0xFFFFFFFFu), uint64_t(0x100000010u)}) {
            ASSERT_TRUE(WriteSized(path, reader.head, size));
            EXPECT_FALSE(reader.read()) << size;
        }
    }
    // A product-search payload beyond the limit is refused even when the file holds it.
    for (const uint64_t size : {kLimit + manifest::kProductSearchHeaderBytes + 1, uint64_t(0xFFFFFFFFu)}) {
        std::string head = manifest::EncodeProductSearchContainer("");
        const auto length = static_cast<uint32_t>(size - manifest::kProductSearchHeaderBytes);
        for (size_t i = 0; i < sizeof(length); ++i) {
            head[manifest::kProductSearchLengthOffset + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
        }
        ASSERT_TRUE(WriteSized(path, head, size));
        EXPECT_EQ(manifest::ComputeInstalledProductMask(dir.path()), 0u) << size;
    }
    std::string text;
    ASSERT_TRUE(WriteBytes(dir / L"exact.dat", Scrambled(std::string(kLimit, 'x'))));
    ASSERT_TRUE(base::ReadScrambledText(dir / L"exact.dat", text));
    EXPECT_EQ(text.size(), kLimit);
    std::string ini = "[windowrect]\nwidth=1234\n";
    ini.resize(manifest::kMaxIniFileBytes, ' ');  // blank padding is an empty line
    ASSERT_TRUE(WriteBytes(dir / L"exact.ini", ini));
    QIniWrapEx exact;
    EXPECT_TRUE(exact.Load(dir / L"exact.ini"));
    EXPECT_EQ(exact.GetInt(L"windowrect", L"width", 800), 1234);
    // A refused file leaves no stale content behind.
    ASSERT_TRUE(WriteBytes(dir / L"over.ini", ini + " "));
    ASSERT_TRUE(exact.Parse(L"[stale]\nk=v\n"));
    EXPECT_FALSE(exact.Load(dir / L"over.ini"));
    EXPECT_TRUE(exact.empty());
}

TEST(InstallUuid, RuntimeGeneratorValues) {
    RuntimeRandom one(1);
    EXPECT_EQ(one.Next(), 41);
    EXPECT_EQ(one.Next(), 18467);
    EXPECT_EQ(one.Next(), 6334);
    EXPECT_EQ(RuntimeRandom(0).Next(), 38);
    // The platform runtime's own generator gives the same sequence.
    std::srand(1711000000u);
    RuntimeRandom same(1711000000u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(same.Next(), std::rand());
}

TEST(InstallUuid, PartFormats) {
    EXPECT_EQ(FormatUuidTimePart(kSampleTime), L"04205182024090703");
    EXPECT_EQ(FormatUuidRandomPart(41), L"00041");
    const GUID guid = {0x0A1B2C3D, 0xBEEF, 0xCAFE, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    EXPECT_EQ(FormatUuidGuidPart(guid), L"0A1B2C3DBEEFcafe0123456789ABCDEF");  // third field in lower case
    EXPECT_EQ(FormatUuidGuidPart(GUID{}), L"");
    EXPECT_EQ(FormatUuidFreeBytesPart(true, 0x100000123ULL), L"0000000291");  // low 32 bits only
    EXPECT_EQ(FormatUuidFreeBytesPart(false, 5), L"0000000000");
    EXPECT_EQ(FormatSignedId(0xFFFFFFFFu), L"-1");
    EXPECT_EQ(FormatSignedId(123), L"123");
}

TEST(InstallUuid, ComposedFromInjectedClock) {
    const SYSTEMTIME when = kSampleTime;
    const std::wstring a = GenerateInstallUuid(FixedClock(1, when));
    const std::wstring b = GenerateInstallUuid(FixedClock(1, when));
    const std::wstring name = ComputerName();
    ASSERT_EQ(a.size(), 5 + 32 + 17 + name.size() + 10);
    EXPECT_EQ(a.substr(0, 5), L"00041");
    EXPECT_EQ(a.substr(37, 17), L"04205182024090703");
    EXPECT_EQ(a.substr(54, name.size()), name);
    EXPECT_NE(a.substr(5, 32), b.substr(5, 32));  // same second, different GUID
    EXPECT_EQ(a.substr(0, 5), b.substr(0, 5));
}

TEST(IdentityValues, ReadWhereTheyAreAUuidAndTheSignedTextsWrittenWhereMissing) {
    using Dwords = std::vector<std::pair<const wchar_t*, uint32_t>>;
    using Strings = std::vector<std::pair<const wchar_t*, std::wstring>>;  // in the default view
    const struct {
        const char* what;
        Dwords dwords;
        Strings strings;
        const wchar_t* tid1Text;  // in the 32-bit view beforehand; null: absent
        uint32_t tid1, tid2, id, installtime;
        const wchar_t* uuid;  // null: a new one
        const wchar_t* tid1After;
        const wchar_t* tid2After;
    } cases[] = {
        {"no key", {}, {}, nullptr, 0, 0, 0, 0, nullptr, L"0", L"0"},
        {"values", {{L"tid1", 0xFFFFFFFFu}, {L"tid2", 2024}, {L"id", 9}, {L"installtime", 1700000000u}},
         {{L"uuid", L"existing-uuid"}}, nullptr, 0xFFFFFFFFu, 2024, 9, 1700000000u, L"existing-uuid", L"-1", L"2024"},
        // A present tid1 text suppresses both writes.
        {"text present", {{L"tid1", 5}, {L"tid2", 6}}, {{L"uuid", L"u"}}, L"old", 5, 6, 0, 0, L"u", L"old",
         L"<absent>"},
        // Strings where double words belong read as zero; an empty or oversized uuid is replaced.
        {"empty uuid", {}, {{L"tid1", L"77"}, {L"installtime", L"1700000000"}, {L"uuid", L""}}, L"", 0, 0, 0, 0,
         nullptr, L"0", L"0"},
        {"oversized uuid", {}, {{L"uuid", std::wstring(100000, L'u')}}, L"", 0, 0, 0, 0, nullptr, L"0", L"0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProductKeyScope scope;
        for (const auto& [name, value] : c.dwords) ASSERT_TRUE(ProductKeyScope::SetDword(name, value));
        for (const auto& [name, value] : c.strings) ASSERT_TRUE(ProductKeyScope::SetString(name, value));
        if (c.tid1Text) {
            ASSERT_TRUE(ProductKeyScope::SetString(L"tid1_fp", c.tid1Text, KEY_WOW64_32KEY));
        }
        ViewerSettings s;
        LoadIdentity(s);
        EXPECT_EQ(s.tid1, c.tid1);
        EXPECT_EQ(s.tid2, c.tid2);
        EXPECT_EQ(s.id, c.id);
        EXPECT_EQ(s.installtime, c.installtime);
        if (c.uuid) {
            EXPECT_EQ(s.uuid, c.uuid);
        } else {
            EXPECT_EQ(s.uuid.size(), GenerateInstallUuid().size());
        }
        EXPECT_EQ(Stored(L"uuid"), s.uuid);
        EXPECT_EQ(Stored(L"tid1_fp", KEY_WOW64_32KEY), c.tid1After);
        EXPECT_EQ(Stored(L"tid2_fp", KEY_WOW64_32KEY), c.tid2After);
    }
}
