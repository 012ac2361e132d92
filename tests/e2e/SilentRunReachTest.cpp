// How far a silent run reaches: an installation deeper than 260 characters is
// still its own, and nothing beyond the installation is touched on the way.
#include <gtest/gtest.h>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "support/TestSupport.h"

namespace {

using silent_run::kQuiet;
using silent_run::SilentRun;
using testing_support::Exists;
using testing_support::TempDir;
using testing_support::WriteBytes;

constexpr size_t kLongSegmentChars = 50;
constexpr int kLongSegments = 5;

// The process's current directory for the lifetime of the object.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::wstring& dir) {
        wchar_t previous[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, previous);
        previous_ = previous;
        ::SetCurrentDirectoryW(dir.c_str());
    }
    ~CurrentDirectory() { ::SetCurrentDirectoryW(previous_.c_str()); }

private:
    std::wstring previous_;
};

TEST(SilentRunReachTest, InstallationDeeperThan260CharactersGoesAndTheCurrentDirectoryStays) {
    std::wstring below;
    for (int i = 0; i < kLongSegments; ++i) below += std::wstring(kLongSegmentChars, L'd') + L"\\";
    SilentRun run(kQuiet, below);
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    ASSERT_GT((run.dir() + sample::kUninstallerFile).size(), static_cast<size_t>(MAX_PATH));

    // A manifest in the current directory is somebody else's.
    TempDir elsewhere(L"cwd");
    const std::string foreign =
        "<packet><installfile><filelist><item path=\"precious.txt\"/></filelist></installfile></packet>";
    ASSERT_TRUE(WriteBytes(elsewhere / sample::kManifestName, foreign));
    ASSERT_TRUE(WriteBytes(elsewhere / L"precious.txt", "keep"));
    {
        CurrentDirectory inElsewhere(elsewhere.path());
        const auto& result = run.Run(L"/s");
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0u);
        EXPECT_TRUE(run.StepMarksSeen());
    }
    EXPECT_TRUE(Exists(elsewhere / sample::kManifestName));
    EXPECT_TRUE(Exists(elsewhere / L"precious.txt"));
    EXPECT_EQ(run.Reports().size(), 1u);
    // The installation went as a short one would. (Wine's command processor
    // cannot empty a directory this deep, so the script leaves the moved-aside
    // uninstaller and SDK library to the restart they are registered for; and
    // Wine's shell links cannot hold a target this deep, so the desktop sweep
    // has nothing to match.)
    auto inventory = run.installation().Inventory();
    for (const auto& [field, value] :
         std::vector<std::pair<std::string, std::string>>{{"files", "0/40"},
                                                          {"dirs", "0/8"},
                                                          {"product-key-hklm", "absent"},
                                                          {"uninstall-info-key", "absent"},
                                                          {"startmenu-folder", "absent"}}) {
        EXPECT_EQ(inventory[field], value) << field;
    }
}

}  // namespace
