#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <string>

#include "support/TestSupport.h"
#include "UiSupport.h"
#include "ui/pools/LxFontPool.h"
#include "ui/pools/LxImagePool.h"
#include "ui/pools/LxReaders.h"
#include "ui/pools/LxSources.h"

using namespace ui;
using namespace uitest;

TEST(UiStylePool, AttributesAndTheirReaders) {
    LxStylePool pool;
    ASSERT_TRUE(pool.LoadDocument(
        "<style><class name='a' skin='s' crbg='fcae84' crhover='010203' textmode='25' textmodeex='10025'"
        " font='0104' hoverfont='0002' margin='3' y-margin='4' cursor='hand' alphabg='128' bogus='1'/>"
        "<class name='b' textmode='8028' cursor='wait'/></style>"));
    const LxStyle& a = pool.GetStyle("a");
    // textmodeex loses its bit 0x10000; an unknown cursor word keeps the default.
    EXPECT_EQ(std::tie(a.skin, a.crbg, a.crHover, a.textMode, a.textModeEx, a.font, a.hoverFont),
              std::make_tuple("s", 0x0084AEFCu, 0x00030201u, 0x25u, 0x25u, 0x104, 0x2));
    EXPECT_EQ(std::tie(a.xMargin, a.yMargin, a.cursor, a.alphaBg), std::make_tuple(3, 4, kHandCursor, 128));
    EXPECT_EQ(std::tie(pool.GetStyle("b").textMode, pool.GetStyle("b").cursor), std::make_tuple(0x8028u, kArrowCursor));
    // An unknown class answers with the empty-named style, made on first use.
    EXPECT_EQ(&pool.GetStyle("missing"), &pool.GetStyle(""));
    EXPECT_EQ(pool.GetStyle("missing").textMode, 0x28u);
}

TEST(UiPools, FirstDefinitionWinsInEveryPool) {
    LxStylePool styles;
    styles.LoadDocument("<style><class name='x' crtext='ff0000'/><class name='x' crtext='00ff00'/></style>");
    styles.LoadDocument("<style><class name='x' crtext='0000ff'/></style>");
    EXPECT_EQ(styles.GetStyle("x").crText, 0x0000FFu);

    LxSkinPool skins;
    skins.LoadDocument("<skins><png name='k' src='1'/><jpg name='k' src='2'/><png src='3'/></skins>");
    skins.LoadDocument("<skins><png name='k' src='4'/></skins>");
    ASSERT_NE(skins.GetSkin("k"), nullptr);
    EXPECT_STREQ(skins.GetSkin("k")->GetObjectClass(), "png");
    EXPECT_EQ(static_cast<CLxBitmapSkin*>(skins.GetSkin("k"))->ResourceId(), 1);
    EXPECT_EQ(skins.Count(), 1u);  // the nameless skin is skipped

    LxStringPool strings;
    strings.LoadDocument("<string><s id='0'>微软雅黑</s><s id='0'>x</s><s>no id</s><s id='2'>b</s></string>");
    ASSERT_NE(strings.GetString(0), nullptr);
    EXPECT_EQ(*strings.GetString(0), L"微软雅黑");
    EXPECT_EQ(*strings.GetString(2), L"b");
    EXPECT_EQ(strings.GetString(1), nullptr);
}

TEST(UiPools, MalformedDocumentsLeaveThePoolAsItWas) {
    const char* bad[] = {"", "<style>", "<skins><png name='a'/></skins>", "not xml at all", "<string></style>",
                         "<layer/>"};
    LxStylePool styles;
    styles.LoadDocument("<style><class name='kept' crtext='ff0000'/></style>");
    LxStringPool strings;
    strings.LoadDocument("<string><s id='1'>kept</s></string>");
    for (const char* text : bad) {
        EXPECT_FALSE(styles.LoadDocument(text)) << text;
        EXPECT_FALSE(strings.LoadDocument(text)) << text;
    }
    EXPECT_TRUE(styles.Has("kept"));
    EXPECT_EQ(*strings.GetString(1), L"kept");
    LxSkinPool skins;
    EXPECT_FALSE(skins.LoadDocument("<style/>"));
    EXPECT_TRUE(skins.LoadDocument("<skins><unknown name='u'/><svg name='v' src='9' left='2' flip='1'/></skins>"));
    EXPECT_EQ(skins.GetSkin("u"), nullptr);
    auto* svg = static_cast<CLxInertSkin*>(skins.GetSkin("v"));
    ASSERT_NE(svg, nullptr);
    EXPECT_STREQ(svg->ClassName(), "CLxSvgSkin");
    EXPECT_EQ(svg->Value("left"), "2");
    EXPECT_EQ(svg->Value("flip"), "");  // not an attribute of this kind
}

TEST(UiPools, EveryInertSkinKindParsesAndDrawsNothing) {
    CleanPools clean;
    LxSkinPool& pool = LxSkinPool::Global();
    pool.LoadDocument(
        "<skins><svg name='a' src='1'/><imglst name='b' src='1' subwidth='2'/><imgframe name='c' crbg='ff0000'/>"
        "<button name='d' bg='ff0000'/><imghorzex name='e' left='3'/><gradation name='f' from='ff0000' to='00ff00'/>"
        "<skinpng name='g' file='x.png'/><skinjpg name='h' file='x.jpg'/><png name='missing' src='777'/></skins>");
    LxDib dib(8, 8);
    dib.Fill(kWhite);
    for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "h", "missing"}) {
        ASSERT_NE(pool.GetSkin(name), nullptr) << name;
        pool.GetSkin(name)->Draw(dib.dc(), {0, 0, 8, 8}, 0, 255);
        EXPECT_EQ(dib.At(4, 4), kWhite) << name;
        EXPECT_EQ(pool.GetSkin(name)->GetSkinSize().cx, 0) << name;
    }
}

TEST(UiPools, SourcesInOrderEarlierWinNameByName) {
    CleanPools clean;
    testing_support::TempDir first(L"skinA"), second(L"skinB");
    testing_support::WriteUtf8(first / L"10001.xml", L"<style><class name='a' crtext='000001'/></style>");
    testing_support::WriteUtf8(second / L"10001.xml",
                               L"<style><class name='a' crtext='000002'/><class name='b' crtext='000002'/></style>");
    SourceHooks().skinFolders[0] = first.path();
    SourceHooks().skinFolders[1] = second.path();
    ServedSources served;
    served.Add(kStyleDocumentId, L"xml", "<style><class name='b' crtext='000003'/><class name='c' crtext='000003'/>"
                                         "<class name='uninstallbtn' crtext='000003'/></style>");
    ASSERT_TRUE(LoadStyles());
    LxStylePool& pool = LxStylePool::Global();
    EXPECT_EQ(pool.GetStyle("a").crText, 0x010000u);
    EXPECT_EQ(pool.GetStyle("b").crText, 0x020000u);
    EXPECT_EQ(pool.GetStyle("c").crText, 0x030000u);
    EXPECT_EQ(pool.GetStyle("uninstallbtn").crText, 0x030000u);  // over the program's own document
    EXPECT_EQ(pool.GetStyle("download_state_text_foot").textMode, 0x24u);  // the program's document last
}

TEST(UiPools, ImageSourcesFolderStreamModuleArchiveProgram) {
    CleanPools clean;
    const std::string red = EncodeImage(Bands({kRed}, 2, 2), 2, 2);
    const std::string green = EncodeImage(Bands({kGreen}, 3, 3), 3, 3);
    testing_support::TempDir folder(L"img");
    std::string archiveEntry;
    SourceHooks().archiveProvider = [&](const std::wstring& entry, std::string& bytes) {
        archiveEntry = Utf8(entry);
        bytes = green;
        return true;
    };
    ServedSources served;
    served.Add(5, L"png", red);
    EXPECT_EQ(LxImagePool::Png().Get(5)->width, 2);  // the stream before the archive
    EXPECT_EQ(LxImagePool::Png().Get(6)->width, 3);
    EXPECT_EQ(archiveEntry, "6.png");
    testing_support::WriteBytes(folder / L"7.jpg", EncodeImage(Bands({kBlue}, 4, 4), 4, 4, true));
    served.Add(7, L"jpg", red);
    SourceHooks().skinFolders[0] = folder.path();
    EXPECT_EQ(LxImagePool::Jpg().Get(7)->width, 4);  // the folder first
    SourceHooks() = LxSourceHooks();
    EXPECT_EQ(LxImagePool::Png().Get(9999), nullptr);  // no source at all
}

TEST(UiPools, ImagesDecodedOncePerId) {
    CleanPools clean;
    ServedSources served;
    served.Add(1, L"png", EncodeImage(Bands({kRed, kGreen}, 4, 4), 8, 4));
    LxSkinPool::Global().LoadDocument(
        "<skins><png name='a' src='1' subwidth='4'/><png name='b' src='1'/><png name='none' src='9998'/></skins>");
    LxDib dib(16, 16);
    for (int i = 0; i < 50; ++i) {
        for (const char* name : {"a", "b", "none"}) {
            LxSkinPool::Global().GetSkin(name)->Draw(dib.dc(), {0, 0, 16, 16}, i, 255);
        }
    }
    EXPECT_EQ(LxImagePool::Png().DecodedCount(), 1u);
    EXPECT_EQ(served.Requests(1, L"png"), 1);
    EXPECT_EQ(served.Requests(9998, L"png"), 1);  // a missing image is not looked for again
}

TEST(UiFonts, CodesBoldItalicUnderlineAndSizeSteps) {
    LOGFONTW base = {};
    base.lfHeight = -12;
    const struct { uint16_t code; LONG height; LONG weight; bool underline; bool italic; } cases[] = {
        {0x0000, -12, FW_NORMAL, false, false}, {0x0104, -13, FW_BOLD, false, false},
        {0xFF00, -11, FW_NORMAL, false, false}, {0x0002, -12, FW_NORMAL, true, false},
        {0x0001, -12, FW_NORMAL, false, true},  {0x00F8, -12, FW_NORMAL, false, false},  // 0x08..0x80 ignored
        {0x0200, -14, FW_NORMAL, false, false}, {0x8000, 116, FW_NORMAL, false, false},
    };
    for (const auto& c : cases) {
        const LOGFONTW f = FontForCode(base, c.code);
        EXPECT_EQ(f.lfHeight, c.height) << c.code;
        EXPECT_EQ(f.lfWeight, c.weight) << c.code;
        EXPECT_EQ(f.lfUnderline != 0, c.underline) << c.code;
        EXPECT_EQ(f.lfItalic != 0, c.italic) << c.code;
    }
}

TEST(UiFonts, CreatedOncePerCodeAndScaledFlag) {
    LOGFONTW base = {};
    base.lfHeight = -12;
    wcscpy(base.lfFaceName, L"Tahoma");
    LxFontPool pool(base);
    HFONT plain = pool.GetFont(0x104, false);
    ASSERT_NE(plain, nullptr);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(pool.GetFont(0x104, false), plain);
    HFONT scaled = pool.GetFont(0x104, true);  // its own key, even at factor 1
    EXPECT_NE(scaled, plain);
    pool.GetFont(0, false);
    EXPECT_EQ(pool.CreatedCount(), 3u);
    LOGFONTW made = {};
    ::GetObjectW(plain, sizeof(made), &made);
    EXPECT_EQ(made.lfHeight, -13);
    EXPECT_EQ(made.lfWeight, FW_BOLD);
}

TEST(UiFonts, FaceFromTheInstalledFontsTable) {
    const struct { std::set<std::wstring> values; const wchar_t* face; } cases[] = {
        {{}, L"宋体"},
        {{L"SimSun & NSimSun (TrueType)"}, L"SimSun"},
        {{L"SimSun & NSimSun (TrueType)", L"宋体 & 新宋体 (TrueType)"}, L"宋体"},
        {{L"Microsoft YaHei & Microsoft YaHei UI (TrueType)", L"宋体 & 新宋体 (TrueType)"}, L"Microsoft YaHei"},
        {{L"Microsoft YaHei (TrueType)", L"微软雅黑 (TrueType)"}, L"微软雅黑"},
        {{L"Microsoft YaHei"}, L"宋体"},  // names must match whole
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseBaseFace([&](const wchar_t* name) { return c.values.count(name) != 0; }), c.face);
    }
    const wchar_t* key = L"Software\\UninstUiTests\\Fonts";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key);
    EXPECT_EQ(ChooseBaseFaceFromRegistry(HKEY_CURRENT_USER, key), L"宋体");  // no key at all
    base::unique_hkey k;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, k.put(), nullptr);
    ::RegSetValueExW(k.get(), L"Microsoft YaHei (TrueType)", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"m"), 4);
    EXPECT_EQ(ChooseBaseFaceFromRegistry(HKEY_CURRENT_USER, key), L"Microsoft YaHei");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key);
    EXPECT_EQ(FontQualityFor(L"Microsoft YaHei"), CLEARTYPE_QUALITY);
    EXPECT_EQ(FontQualityFor(L"宋体"), ANTIALIASED_QUALITY);
    EXPECT_EQ(LxFontPool::Global().Base().lfHeight, -12);
}

TEST(UiStrings, PlaceholdersFromTheStringPool) {
    LxStringPool pool;
    pool.LoadDocument("<string><s id='0'>zero</s><s id='1'>one</s><s id='12'>twelve</s></string>");
    const struct { const wchar_t* text; const wchar_t* expected; } cases[] = {
        {L"a %str1% b", L"a one b"},
        {L"%str12%%str1%", L"twelveone"},
        {L"%str0% stays", L"%str0% stays"},             // below 1: unchanged
        {L"%str1 no close %str1%", L"%str1 no close %str1%"},  // no closing "%": the rest stays
        {L"%str1% then %str0% %str1%", L"one then %str0% %str1%"},  // stops at the first bad one
        {L"%str5% unknown", L"%str5% unknown"},
        {L"%str%", L"%str%"},
        {L"plain", L"plain"},
    };
    for (const auto& c : cases) EXPECT_EQ(SubstituteStrings(c.text, pool), c.expected) << Utf8(c.text);
}

// Colours: six digits, red, green, blue, each pair on its own.
TEST(UiReaders, ColourHexadecimalAndDecimalText) {
    const struct { const char* text; COLORREF expected; } cases[] = {
        {"fcae84", 0x0084AEFC}, {"FCAE84", 0x0084AEFC}, {"FFFFFF", 0x00FFFFFF}, {"000000", 0},
        {"zzae84", 0x0084AE00},  // a bad pair is 0, the others stand
        {"fcaeg4", 0x0000AEFC}, {"fc-e84", 0x008400FC}, {"fcae8", 0x0000AEFC},  // cut short
        {"", 0},                 {"#fcae8", 0x00E8CA00}, {"fcae84ff", 0x0084AEFC},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadColor(c.text), c.expected) << c.text;
    // Text modes and font codes are hexadecimal.
    const struct { const char* text; uint32_t expected; } hex[] = {
        {"25", 0x25}, {"8028", 0x8028}, {"0104", 0x104}, {"FF00", 0xFF00}, {"ff00", 0xFF00},
        {"", 0},      {"12g", 0},       {"0x10", 0},     {" 10", 0},       {"123456789", 0x23456789},
    };
    for (const auto& c : hex) EXPECT_EQ(ReadHex(c.text), c.expected) << c.text;
    // Decimals read as the platform reads them, absurd ones saturated.
    const struct { const char* text; int32_t expected; } decimal[] = {
        {"12", 12},         {" 12x", 12},  {"-7", -7},       {"+7", 7},   {"-", 0},
        {"", 0},            {"x1", 0},     {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1},
        {"2147483648", 2147483647},
    };
    for (const auto& c : decimal) EXPECT_EQ(ReadInt(c.text), c.expected) << c.text;
}
