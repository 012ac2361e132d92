#include <gtest/gtest.h>

#include "app/Options.h"
#include "removal/SelfRemovalScript.h"
#include "support/TestSupport.h"

using app::OptionSource;
using testing_support::TempDir;
using testing_support::WriteBytes;
using testing_support::WriteUtf8;

namespace {

constexpr wchar_t kExe[] = L"\"C:\\Program Files\\Viewer\\uninst.exe\"";

class OptionReaders : public ::testing::Test {
protected:
    void WriteManifest(const std::string& packetAttributes) {
        ASSERT_TRUE(WriteBytes(dir_ / removal::kManifestFileName,
                               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet " + packetAttributes +
                                   "><installfile/></packet>\n"));
    }
    OptionSource Source(const std::wstring& arguments = L"") const {
        std::wstring line = kExe;
        if (!arguments.empty()) line += L" " + arguments;
        return OptionSource{line, dir_.path()};
    }

    TempDir dir_{L"opt"};
};

}  // namespace

TEST_F(OptionReaders, SliceMakesARunSilentLikeTheSwitch) {
    EXPECT_FALSE(app::IsSilentRun(Source()));
    EXPECT_TRUE(app::IsSilentRun(Source(L"/s")));
    WriteManifest("slice=\"1\"");
    EXPECT_TRUE(app::IsSilentRun(Source()));
    WriteManifest("slice=\"01\"");
    EXPECT_FALSE(app::IsSilentRun(Source()));
    WriteManifest("slice=\"1 \"");
    EXPECT_FALSE(app::IsSilentRun(Source()));
    EXPECT_TRUE(app::IsSilentRun(Source(L"/s")));
}

TEST_F(OptionReaders, SkipNeedsExactlyOneArgument) {
    WriteManifest("skip=\"1\"");
    EXPECT_TRUE(app::IsSkipRun(Source()));
    EXPECT_FALSE(app::IsSkipRun(Source(L"/s")));
    EXPECT_FALSE(app::IsSkipRun(Source(L"anything")));
    WriteManifest("skip=\"true\"");
    EXPECT_FALSE(app::IsSkipRun(Source()));
}

TEST_F(OptionReaders, MissingOrMalformedManifestSwitchesNothingOn) {
    EXPECT_FALSE(app::IsSkipRun(Source()));
    EXPECT_EQ(app::ReadProductName(Source()), L"");
    EXPECT_FALSE(app::IsRegistrationStateOn(Source()));
    ASSERT_TRUE(WriteBytes(dir_ / removal::kManifestFileName, "<packet skip=\"1\" reg_state=\"1\""));
    EXPECT_FALSE(app::IsSkipRun(Source()));
    EXPECT_FALSE(app::IsRegistrationStateOn(Source()));
    // The flags belong to the root element named packet only.
    ASSERT_TRUE(WriteBytes(dir_ / removal::kManifestFileName, "<install skip=\"1\" slice=\"1\" MsgTip=\"x\"/>"));
    EXPECT_FALSE(app::IsSkipRun(Source()));
    EXPECT_FALSE(app::IsSilentRun(Source()));
    EXPECT_EQ(app::ReadProductName(Source()), L"");
}

TEST_F(OptionReaders, ProductNameIsMsgTipDecodedFromUtf8) {
    ASSERT_TRUE(WriteUtf8(dir_ / removal::kManifestFileName,
                          L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet MsgTip=\"\u770B\u56FE\u738B Viewer\"/>"));
    EXPECT_EQ(app::ReadProductName(Source()), L"\u770B\u56FE\u738B Viewer");
    WriteManifest("slice=\"1\"");
    EXPECT_EQ(app::ReadProductName(Source()), L"");
}

TEST_F(OptionReaders, UnchangeRegOverridesRegState) {
    WriteManifest("reg_state=\"1\"");
    EXPECT_TRUE(app::IsRegistrationStateOn(Source()));
    EXPECT_TRUE(app::IsRegistrationStateOn(Source(L"/s")));
    EXPECT_FALSE(app::IsRegistrationStateOn(Source(L"/s /unchange_reg")));
    EXPECT_FALSE(app::IsRegistrationStateOn(Source(L"/unchange_registry")));
    WriteManifest("reg_state=\"0\"");
    EXPECT_FALSE(app::IsRegistrationStateOn(Source()));
}

TEST_F(OptionReaders, ReadersSeeTheManifestAfresh) {
    WriteManifest("slice=\"0\"");
    EXPECT_FALSE(app::IsSilentRun(Source()));
    WriteManifest("slice=\"1\"");
    EXPECT_TRUE(app::IsSilentRun(Source()));
}

TEST(OptionSourceCurrent, ReadsOwnCommandLineAndDirectory) {
    const OptionSource current = OptionSource::Current();
    EXPECT_EQ(current.commandLine, std::wstring(::GetCommandLineW()));
    ASSERT_FALSE(current.installDir.empty());
    EXPECT_EQ(current.installDir.back(), L'\\');
    EXPECT_EQ(current.installDir, testing_support::BinDir());
}
