// The pure rules of the extra actions: path refusal, mask text, scrambling, digests.
#include <gtest/gtest.h>

#include "base/XmlConfigDocument.h"
#include "manifest/ExpandTask.h"
#include "manifest/Md5.h"

using namespace manifest;

TEST(TagRules, DotDotComponentsAreFoundAtEitherSeparator) {
    EXPECT_TRUE(HasDotDotComponent(L"C:\\a\\..\\b.txt"));
    EXPECT_TRUE(HasDotDotComponent(L"C:/a/../b.txt"));
    EXPECT_TRUE(HasDotDotComponent(L"C:\\a\\...\\b.txt"));
    EXPECT_TRUE(HasDotDotComponent(L"C:\\a\\ .. \\b.txt"));
    EXPECT_TRUE(HasDotDotComponent(L"C:\\a\\..\t\r\n\\b.txt"));
    EXPECT_TRUE(HasDotDotComponent(L".."));
    EXPECT_TRUE(HasDotDotComponent(L"C:\\a\\.."));
    // Two dots next to letters, or dots that never touch, are ordinary names.
    EXPECT_FALSE(HasDotDotComponent(L"C:\\a\\b..c.txt"));
    EXPECT_FALSE(HasDotDotComponent(L"C:\\a\\..b\\c.txt"));
    EXPECT_FALSE(HasDotDotComponent(L"C:\\a\\. .\\c.txt"));
    EXPECT_FALSE(HasDotDotComponent(L"C:\\a\\.\\c.txt"));
    EXPECT_FALSE(HasDotDotComponent(L"C:\\a\\\\c.txt"));
}

TEST(TagRules, OnlyFullyQualifiedLocalPathsAreAccepted) {
    EXPECT_FALSE(IsRefusedTagPath(L"C:\\users\\me\\a..b.txt"));
    EXPECT_FALSE(IsRefusedTagPath(L"d:/data/file.bin"));
    EXPECT_FALSE(IsRefusedTagPath(L"C:\\console.txt"));  // only the device names themselves
    EXPECT_TRUE(IsRefusedTagPath(L"C:\\a\\..\\b.txt"));
    EXPECT_TRUE(IsRefusedTagPath(L"file.txt"));
    EXPECT_TRUE(IsRefusedTagPath(L"\\Windows\\file.txt"));    // root of whichever drive is current
    EXPECT_TRUE(IsRefusedTagPath(L"C:file.txt"));             // current directory of drive C
    EXPECT_TRUE(IsRefusedTagPath(L"\\\\server\\share\\f.txt"));
    EXPECT_TRUE(IsRefusedTagPath(L"\\\\?\\C:\\a\\b.txt"));
    EXPECT_TRUE(IsRefusedTagPath(L"\\\\.\\PhysicalDrive0"));
    EXPECT_TRUE(IsRefusedTagPath(L"C:\\a\\b.txt:hidden"));     // alternate data stream
    EXPECT_TRUE(IsRefusedTagPath(L"C:\\a\\b.txt::$DATA"));
    EXPECT_TRUE(IsRefusedTagPath(L"C:\\a\\nul"));
    EXPECT_TRUE(IsRefusedTagPath(L"C:\\a\\CON.txt"));
    EXPECT_TRUE(IsRefusedTagPath(L"C:\\a\\com1 \\b.txt"));
    EXPECT_TRUE(IsRefusedTagPath(L""));

    std::wstring longPath = L"C:\\";
    longPath.append(256, L'x');  // 259 characters: the longest accepted
    ASSERT_EQ(longPath.size(), 259u);
    EXPECT_FALSE(IsRefusedTagPath(longPath));
    longPath.push_back(L'x');
    EXPECT_TRUE(IsRefusedTagPath(longPath));
}

TEST(TagRules, AvoidMaskIsHexWithOptionalPrefix) {
    EXPECT_EQ(ParseHexMask("3"), 3u);
    EXPECT_EQ(ParseHexMask("0x1F"), 0x1Fu);
    EXPECT_EQ(ParseHexMask("0XaB"), 0xABu);
    EXPECT_EQ(ParseHexMask("ff zz"), 0xFFu);
    EXPECT_EQ(ParseHexMask("12g4"), 0x12u);
    EXPECT_EQ(ParseHexMask(""), 0u);
    EXPECT_EQ(ParseHexMask("0x"), 0u);
    EXPECT_EQ(ParseHexMask("-1"), 0u);  // no sign: nothing parses
    EXPECT_EQ(ParseHexMask("FFFFFFFF"), 0xFFFFFFFFu);
    // Longer than 32 bits names every product rather than a wrapped few.
    EXPECT_EQ(ParseHexMask("100000001"), 0xFFFFFFFFu);
}

TEST(TagRules, ScramblingIsSymmetricAndKeepsEveryByte) {
    // "\xC2\xA7" (section sign) holds the key byte itself, which scrambles to zero.
    const std::string text = "<r a=\"\xC2\xA7\"/>\r\n";
    const std::string scrambled = ScrambleExpandTaskText(text);
    ASSERT_EQ(scrambled.size(), text.size());
    EXPECT_EQ(static_cast<unsigned char>(scrambled[0]), static_cast<unsigned char>('<' ^ 0xA7));
    EXPECT_EQ(scrambled[7], '\0');
    EXPECT_EQ(ScrambleExpandTaskText(scrambled), text);
    EXPECT_EQ(base::UnscrambleText(scrambled), text);
}

TEST(TagRules, Md5MatchesRfc1321Vectors) {
    EXPECT_EQ(Md5HexOfBytes(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5HexOfBytes("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5HexOfBytes("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5HexOfBytes("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    // Fed in pieces, larger than one read chunk.
    QMD5 md5;
    ASSERT_TRUE(md5.ok());
    const std::string block(100000, 'a');
    ASSERT_TRUE(md5.Update(block.data(), 1));
    ASSERT_TRUE(md5.Update(block.data() + 1, block.size() - 1));
    Md5Digest digest{};
    ASSERT_TRUE(md5.Final(digest));
    EXPECT_EQ(Md5Hex(digest), Md5HexOfBytes(block));
    EXPECT_FALSE(md5.Update("x", 1));  // finished
}
