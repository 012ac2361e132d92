#include <gtest/gtest.h>

#include <string>

#include "ui/LxXml.h"
#include "ui/pools/LxReaders.h"

using ui::ReadColor;
using ui::ReadHex;
using ui::ReadInt;

TEST(UiColor, SixDigitsRedGreenBlueEachPairOnItsOwn) {
    const struct {
        const char* text;
        COLORREF expected;
    } cases[] = {
        {"fcae84", 0x0084AEFC}, {"FCAE84", 0x0084AEFC}, {"FFFFFF", 0x00FFFFFF}, {"000000", 0},
        {"zzae84", 0x0084AE00},  // a bad pair is 0, the others stand
        {"fcaeg4", 0x0000AEFC}, {"fc-e84", 0x008400FC}, {"fcae8", 0x0000AEFC},  // cut short
        {"", 0},                 {"#fcae8", 0x00E8CA00}, {"fcae84ff", 0x0084AEFC},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadColor(c.text), c.expected) << c.text;
}

TEST(UiHex, TextModesAndFontCodesAreHexadecimal) {
    const struct {
        const char* text;
        uint32_t expected;
    } cases[] = {
        {"25", 0x25}, {"8028", 0x8028}, {"0104", 0x104}, {"FF00", 0xFF00}, {"ff00", 0xFF00},
        {"", 0},      {"12g", 0},       {"0x10", 0},     {" 10", 0},       {"123456789", 0x23456789},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadHex(c.text), c.expected) << c.text;
}

TEST(UiDecimal, PlatformReadingSaturatesAbsurdNumbers) {
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"12", 12},         {" 12x", 12},  {"-7", -7},       {"+7", 7},   {"-", 0},
        {"", 0},            {"x1", 0},     {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1},
        {"2147483648", 2147483647},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadInt(c.text), c.expected) << c.text;
}

TEST(UiXmlDepth, DeepDocumentsAreRefusedBeforeParsing) {
    auto nested = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i) text += "<dlg a='>'>";
        for (int i = 0; i < depth; ++i) text += "</dlg>";
        return text;
    };
    TiXmlDocument doc;
    EXPECT_FALSE(ui::ParseXml(nested(10000), doc));
    EXPECT_TRUE(ui::ParseXml("\xEF\xBB\xBF<layer/>", doc));  // a byte-order mark may lead
}
