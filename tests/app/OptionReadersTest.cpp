#include <gtest/gtest.h>

#include "app/Options.h"
#include "removal/SelfRemovalScript.h"
#include "support/TestSupport.h"

using app::OptionSource;
using testing_support::TempDir;

namespace {
// The readers over a manifest of the given text (none when null) and the
// arguments after the program's path.
OptionSource Source(const TempDir& dir, const char* manifest, const std::wstring& arguments) {
    const std::wstring path = dir / removal::kManifestFileName;
    ::DeleteFileW(path.c_str());
    if (manifest) {
        EXPECT_TRUE(testing_support::WriteBytes(path, manifest));
    }
    return OptionSource{L"\"C:\\Program Files\\Viewer\\uninst.exe\" " + arguments, dir.path()};
}
}  // namespace

// The manifest's flags count only when exactly "1" and only on the root
// element named packet; skip needs exactly one argument; unchange_reg
// overrides reg_state. Every reader reads the manifest afresh.
TEST(OptionReaders, FlagsFromTheManifestAndTheSwitches) {
    const struct { const char* manifest; const wchar_t* arguments; bool silent, skip, regState; } cases[] = {
        {nullptr, L"", false, false, false},
        {nullptr, L"/s", true, false, false},
        {"<packet slice=\"1\"><installfile/></packet>", L"", true, false, false},
        {"<packet slice=\"01\"/>", L"", false, false, false},
        {"<packet slice=\"1 \"/>", L"/s", true, false, false},
        {"<packet skip=\"1\"/>", L"", false, true, false},
        {"<packet skip=\"1\"/>", L"/s", true, false, false},
        {"<packet skip=\"1\"/>", L"anything", false, false, false},
        {"<packet reg_state=\"1\"/>", L"", false, false, true},
        {"<packet reg_state=\"1\"/>", L"/s", true, false, true},
        {"<packet reg_state=\"1\"/>", L"/s /unchange_reg", true, false, false},
        {"<packet reg_state=\"1\"/>", L"/unchange_registry", false, false, false},
        {"<packet skip=\"1\" slice=\"1\" reg_state=\"1\"", L"", false, false, false},  // malformed
        {"<install skip=\"1\" slice=\"1\" reg_state=\"1\"/>", L"", false, false, false},
    };
    TempDir dir(L"opt");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.manifest ? c.manifest : "no manifest") + " " + std::to_string(wcslen(c.arguments)));
        EXPECT_EQ(app::IsSilentRun(Source(dir, c.manifest, c.arguments)), c.silent);
        EXPECT_EQ(app::IsSkipRun(Source(dir, c.manifest, c.arguments)), c.skip);
        EXPECT_EQ(app::IsRegistrationStateOn(Source(dir, c.manifest, c.arguments)), c.regState);
    }
}

TEST(OptionReaders, ProductNameIsMsgTipDecodedFromUtf8) {
    TempDir dir(L"opt");
    const struct { const char* manifest; std::wstring name; } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><packet MsgTip=\"\xE7\x9C\x8B\xE5\x9B\xBE\xE7\x8E\x8B Viewer\"/>",
         L"\u770B\u56FE\u738B Viewer"},
        {nullptr, L""},
        {"<packet slice=\"1\"/>", L""},
        {"<packet MsgTip=\"x\"", L""},
        {"<install MsgTip=\"x\"/>", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(app::ReadProductName(Source(dir, c.manifest, L"")), c.name) << &c - cases;
}

TEST(OptionSourceCurrent, ReadsOwnCommandLineAndDirectory) {
    const OptionSource current = OptionSource::Current();
    EXPECT_EQ(current.commandLine, std::wstring(::GetCommandLineW()));
    EXPECT_EQ(current.installDir, testing_support::BinDir());  // with its trailing separator
}
