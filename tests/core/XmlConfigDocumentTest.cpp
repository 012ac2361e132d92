#include <gtest/gtest.h>

#include "manifest/XmlConfigDocument.h"
#include "support/TestSupport.h"

using manifest::XmlConfigDocument;
using testing_support::TempDir;
using testing_support::WriteBytes;

TEST(XmlConfigDocument, ParsesAndSelectsRoot) {
    XmlConfigDocument doc;
    ASSERT_TRUE(doc.LoadText("<packet MsgTip=\"x\"><installfile/></packet>"));
    EXPECT_FALSE(doc.HasCursor());
    EXPECT_TRUE(doc.SelectPath("packet"));
    std::wstring tip;
    EXPECT_TRUE(doc.GetWideAttribute("MsgTip", tip));
    EXPECT_EQ(tip, L"x");
}
