#include <gtest/gtest.h>

#include "manifest/IniWrap.h"
#include "support/TestSupport.h"

using manifest::QIniWrapEx;
using testing_support::TempDir;
using testing_support::WriteBytes;

TEST(IniGrammar, SectionsPairsAndTrimming) {
    QIniWrapEx ini;
    EXPECT_TRUE(ini.Parse(L"\t [ windowrect ] \n  width =  1024 \n\n height=600\n[common]\nskinname = blue sky \n"));
    EXPECT_EQ(ini.GetInt(L"windowrect", L"width", 0), 1024);
    EXPECT_EQ(ini.GetInt(L"windowrect", L"height", 0), 600);
    // Trailing blanks of a line are trimmed before the value is taken.
    EXPECT_EQ(ini.GetString(L"common", L"skinname"), L"blue sky");
    EXPECT_EQ(ini.GetInt(L"common", L"missing", 77), 77);
    EXPECT_EQ(ini.GetString(L"nosection", L"skinname"), L"");
}

TEST(IniGrammar, TextBeforeFirstBracketIsIgnored) {
    QIniWrapEx ini;
    EXPECT_TRUE(ini.Parse(L"; written by the viewer\nwidth=5\n[windowrect]\nwidth=7\n"));
    EXPECT_EQ(ini.GetInt(L"windowrect", L"width", 0), 7);
    EXPECT_FALSE(ini.Has(L"", L"width"));

    QIniWrapEx none;
    EXPECT_FALSE(none.Parse(L"width=5\nheight=6\n"));
    EXPECT_TRUE(none.empty());
}

TEST(IniGrammar, CapitalisedNamesAreFound) {
    QIniWrapEx ini;
    ASSERT_TRUE(ini.Parse(L"[WindowRect]\nWIDTH=1280\n"));
    EXPECT_EQ(ini.GetInt(L"windowrect", L"width", 0), 1280);
    EXPECT_EQ(ini.GetInt(L"WINDOWRECT", L"Width", 0), 1280);
}

TEST(IniGrammar, MalformedLineStopsButKeepsEarlierPairs) {
    QIniWrapEx ini;
    EXPECT_FALSE(ini.Parse(L"[a]\nx=1\nnot a pair\ny=2\n"));
    EXPECT_EQ(ini.GetInt(L"a", L"x", 0), 1);
    EXPECT_FALSE(ini.Has(L"a", L"y"));

    QIniWrapEx emptyKey;
    EXPECT_FALSE(emptyKey.Parse(L"[a]\nx=1\n  =2\ny=3\n"));
    EXPECT_TRUE(emptyKey.Has(L"a", L"x"));
    EXPECT_FALSE(emptyKey.Has(L"a", L"y"));

    QIniWrapEx emptySection;
    EXPECT_FALSE(emptySection.Parse(L"[a]\nx=1\n[  ]\ny=3\n"));
    EXPECT_FALSE(emptySection.Has(L"a", L"y"));
}

TEST(IniGrammar, ValuesKeepInnerEqualsAndRepeatedKeysReplace) {
    QIniWrapEx ini;
    ASSERT_TRUE(ini.Parse(L"[s]\nk=a=b\nk = c = d\nempty=\n"));
    EXPECT_EQ(ini.GetString(L"s", L"k"), L"c = d");
    EXPECT_TRUE(ini.Has(L"s", L"empty"));
    EXPECT_EQ(ini.GetString(L"s", L"empty"), L"");
    // An unterminated "[" line is a pair, stored before any section.
    QIniWrapEx odd;
    ASSERT_TRUE(odd.Parse(L"[x=1\n[s]\n"));
    EXPECT_EQ(odd.GetString(L"", L"[x"), L"1");
}

TEST(IniGrammar, GetIntTakesLeadingDecimal) {
    QIniWrapEx ini;
    ASSERT_TRUE(ini.Parse(L"[s]\na=42px\nb=px\nc=-7\nd= 12\n"));
    EXPECT_EQ(ini.GetInt(L"s", L"a", 1), 42);
    EXPECT_EQ(ini.GetInt(L"s", L"b", 1), 0);
    EXPECT_EQ(ini.GetInt(L"s", L"c", 1), -7);
    EXPECT_EQ(ini.GetInt(L"s", L"d", 1), 12);
}

TEST(IniGrammar, SerializeWritesLowerCasedSectionsInOrder) {
    QIniWrapEx ini;
    ASSERT_TRUE(ini.Parse(L"[Zeta]\nB=2\n[alpha]\nA=1\n"));
    std::wstring text;
    ASSERT_TRUE(ini.Serialize(text));
    EXPECT_EQ(text, L"[alpha]\r\na=1\r\n[zeta]\r\nb=2\r\n");
    QIniWrapEx again;
    EXPECT_TRUE(again.Parse(manifest::DecodeIniBytes(std::string(text.begin(), text.end()))));
    EXPECT_EQ(again.GetInt(L"zeta", L"b", 0), 2);
}

TEST(IniLoad, Utf8WithCarriageReturnsAndBom) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"s.ini", "\xEF\xBB\xBF[common]\r\nskinname=\xE8\x93\x9D\r\nhadshortcut=1\r"));
    QIniWrapEx ini;
    EXPECT_TRUE(ini.Load(dir / L"s.ini"));
    EXPECT_EQ(ini.GetString(L"common", L"skinname"), L"\x84DD");
    EXPECT_EQ(ini.GetInt(L"common", L"hadshortcut", 0), 1);
}

TEST(IniLoad, MissingFileIsCreatedWithItsDirectories) {
    TempDir dir;
    const std::wstring path = dir / L"a\\b\\settings.dat";
    QIniWrapEx ini;
    EXPECT_TRUE(ini.Load(path));
    EXPECT_TRUE(ini.empty());
    EXPECT_TRUE(testing_support::Exists(path));
    EXPECT_EQ(testing_support::ReadBytes(path), "");
    // Loading the now existing empty file succeeds as well.
    EXPECT_TRUE(ini.Load(path));
    EXPECT_FALSE(QIniWrapEx().Load(L"relative.ini"));
}

TEST(IniLoad, SizeLimitIsTwoMebibytes) {
    TempDir dir;
    std::string text = "[windowrect]\nwidth=1234\n";
    text.resize(manifest::kMaxIniFileBytes, ' ');  // blank padding is an empty line
    ASSERT_TRUE(WriteBytes(dir / L"exact.ini", text));
    QIniWrapEx exact;
    EXPECT_TRUE(exact.Load(dir / L"exact.ini"));
    EXPECT_EQ(exact.GetInt(L"windowrect", L"width", 800), 1234);

    text.push_back(' ');
    ASSERT_TRUE(WriteBytes(dir / L"over.ini", text));
    QIniWrapEx over;
    ASSERT_TRUE(over.Parse(L"[stale]\nk=v\n"));
    EXPECT_FALSE(over.Load(dir / L"over.ini"));
    EXPECT_TRUE(over.empty());
    EXPECT_EQ(over.GetInt(L"windowrect", L"width", 800), 800);
}
