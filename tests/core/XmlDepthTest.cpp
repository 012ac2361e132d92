#include <gtest/gtest.h>

#include "base/XmlConfigDocument.h"
#include "base/XmlDepth.h"
#include "support/XmlTreeDepth.h"
#include "tinyxml.h"

using base::MeasureXmlDepth;
using base::XmlEncoding;

namespace {

std::string Repeat(const std::string& part, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += part;
    return out;
}

constexpr char kBom[] = "\xEF\xBB\xBF";

TEST(XmlDepth, MeasuresWhatTheParserNests) {
    struct Case { const char* what; std::string text; XmlEncoding encoding; size_t depth; };
    const Case cases[] = {
        {"empty", "", XmlEncoding::Detect, 0},
        {"one element", "<a/>", XmlEncoding::Detect, 1},
        {"manifest shape", "<?xml version=\"1.0\"?><packet><installfile><filelist><item path=\"x\">"
                           "<config mode=\"shortcut\"/></item></filelist></installfile></packet>",
         XmlEncoding::Detect, 5},
        {"many siblings", "<r>" + Repeat("<i a='1'/>", 1000) + "</r>", XmlEncoding::Detect, 2},
        {"tags in values, comments, sections and unknown markup",
         "<a x='<b><c>' y=\"/>\"><!-- <b><c> --><![CDATA[<b><c>]]><!DOCTYPE <b><?pi <b>?></a>", XmlEncoding::Detect,
         1},
        // A sequence lead byte swallows the "<" of the end tag when the text is UTF-8.
        {"sequence hides end tags in UTF-8", kBom + Repeat("<a>\xC3</a>", 20), XmlEncoding::Detect, 20},
        {"same bytes read byte-wise", Repeat("<a>\xC3</a>", 20), XmlEncoding::Detect, 1},
        {"declared UTF-8", "<?xml encoding='utf-8'?>" + Repeat("<a>\xC3</a>", 20), XmlEncoding::Detect, 20},
        {"asked for UTF-8", Repeat("<a>\xC3</a>", 20), XmlEncoding::Utf8, 20},
        // A character reference runs to the next ";", over end tags and all.
        {"reference hides end tags", "<r>" + Repeat("<a>&#</a>#1;", 20), XmlEncoding::Detect, 21},
        {"parse error ends the nesting", "<a><b x></b><c><d><e/></d></c></a>", XmlEncoding::Detect, 2},
        {"duplicate attribute ends it", "<a><b x='1' x='2'><c><d/></c></b></a>", XmlEncoding::Detect, 2},
        {"wrong end tag ends it", "<a><b></c><d><e/></d></b></a>", XmlEncoding::Detect, 2},
        {"unclosed nesting", "<p>" + Repeat("<a>", 40), XmlEncoding::Detect, 41},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MeasureXmlDepth(c.text, c.encoding, SIZE_MAX), c.depth);
        // The parser's own tree (which keeps what it built before an error) agrees.
        TiXmlDocument doc;
        const std::string input = base::XmlParserInput(c.text);
        doc.Parse(input.c_str(), nullptr,
                  c.encoding == XmlEncoding::Utf8 ? TIXML_ENCODING_UTF8 : TIXML_DEFAULT_ENCODING);
        EXPECT_EQ(testing_support::XmlTreeDepth(doc), c.depth);
    }
}

TEST(XmlDepth, RefusalStartsAboveTheLimitAndStopsMeasuring) {
    const std::string atLimit = Repeat("<a>", base::kMaxXmlDepth) + Repeat("</a>", base::kMaxXmlDepth);
    const std::string over = "<p>" + atLimit + "</p>";
    EXPECT_TRUE(base::IsXmlDepthAllowed(atLimit, XmlEncoding::Detect));
    EXPECT_FALSE(base::IsXmlDepthAllowed(over, XmlEncoding::Detect));
    EXPECT_EQ(MeasureXmlDepth(Repeat("<a>", 1000000), XmlEncoding::Detect, 10), 11u);

    base::XmlConfigDocument doc;
    EXPECT_TRUE(doc.LoadText(atLimit));
    EXPECT_FALSE(doc.LoadText(over));
    EXPECT_FALSE(doc.SelectPath("p"));
}

TEST(XmlDepth, ParserInputEndsInZerosAfterTheFirstZero) {
    EXPECT_EQ(base::XmlParserInput(std::string("<a/>\0<b>", 8)), std::string("<a/>\0\0\0\0", 8));
    EXPECT_EQ(base::XmlParserInput("\xE0"), std::string("\xE0\0\0\0\0", 5));
}

}  // namespace
