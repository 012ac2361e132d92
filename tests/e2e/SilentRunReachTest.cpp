// How far a silent run reaches: an installation deeper than 260 characters is
// still its own, and nothing beyond the installation is touched on the way.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "support/FileSystemSupport.h"
#include "support/TestSupport.h"

namespace {

using namespace silent_run;
using testing_support::Exists;
using testing_support::TempDir;
using testing_support::WriteBytes;

constexpr size_t kLongSegmentChars = 50;
constexpr int kLongSegments = 5;

// Directory links made for a test and taken away again.
class Links {
public:
    ~Links() { RemoveAll(); }
    bool Make(const std::wstring& link, const std::wstring& target) {
        links_.push_back(link);
        return testing_support::MakeSymbolicLink(link, target, true);
    }
    void RemoveAll() {
        for (const std::wstring& link : links_) testing_support::RemoveSymbolicLink(link);
        links_.clear();
    }

private:
    std::vector<std::wstring> links_;
};

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
    SilentRun run(kQuiet, below + L"Lumenox");
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
    ExpectInventory(run.installation(), {{"files", "0/40"},
                                         {"dirs", "0/8"},
                                         {"product-key-hklm", "absent"},
                                         {"uninstall-info-key", "absent"},
                                         {"startmenu-folder", "absent"}});
}

TEST(SilentRunReachTest, LinksOnTheWayAreNotFollowedAndTheOtherRegistryViewStays) {
    TempDir outside(L"reach");
    SilentRun run(kQuiet);
    ASSERT_TRUE(run.installation().installed()) << run.installation().installOutput();
    // What the start-menu, shortcut and main-program entries would reach
    // through a link: a folder, a shortcut and a program outside the installation.
    ASSERT_TRUE(::CreateDirectoryW((outside / sample::kStartMenuFolder).c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(outside / L"Lumenox\\keep.lnk", "keep"));
    ASSERT_TRUE(WriteBytes(outside / L"keep.lnk", "keep"));
    ASSERT_TRUE(testing_support::CopyInto(sample::kMainProgramFile, outside.path()));
    const std::wstring name = L"reach_" + std::to_wstring(::GetCurrentProcessId());
    Links links;
    ASSERT_TRUE(links.Make(ShellFolder(CSIDL_COMMON_PROGRAMS) + name, outside.path()));
    ASSERT_TRUE(links.Make(ShellFolder(CSIDL_DESKTOPDIRECTORY) + name, outside.path()));
    ASSERT_TRUE(links.Make(run.dir() + name, outside.path()));
    const std::string via = base::WideToUtf8(name) + "\\";
    const std::wstring manifest = run.dir() + sample::kManifestName;
    ASSERT_TRUE(ReplaceInFile(manifest, "dir=\"Lumenox\"", "dir=\"" + via + "Lumenox\""));
    ASSERT_TRUE(ReplaceInFile(manifest, "name=\"Lumenox Viewer.lnk\"", "name=\"" + via + "keep.lnk\""));
    ASSERT_TRUE(ReplaceInFile(manifest, "path=\"lumenox_main.exe\" mainprogram",
                              "path=\"" + via + "lumenox_main.exe\" mainprogram"));
    // The installer wrote these machine keys in the 32-bit view; the same names
    // in the 64-bit view belong to somebody else (the sample's clean-up takes both).
    const std::pair<HKEY, const wchar_t*> machineKeys[] = {{HKEY_LOCAL_MACHINE, sample::kProductKeyPath},
                                                           {HKEY_LOCAL_MACHINE, sample::kUninstallInfoKeyPath},
                                                           {HKEY_CLASSES_ROOT, sample::kClassCountKeyPath}};
    constexpr uint32_t kOtherViewCount = 9;
    for (const auto& [root, path] : machineKeys) {
        base::unique_hkey created;
        ASSERT_EQ(::RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                                    created.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(created.get(), sample::kUninstallCountValue, 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&kOtherViewCount), sizeof(kOtherViewCount)),
                  ERROR_SUCCESS);
    }

    const auto& result = run.Run(L"/s");
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(run.StepMarksSeen());
    EXPECT_TRUE(Exists(outside / L"Lumenox\\keep.lnk"));
    EXPECT_TRUE(Exists(outside / L"keep.lnk"));
    EXPECT_TRUE(Exists(outside / sample::kMainProgramFile));
    EXPECT_FALSE(Exists(outside / L"lumenox_main.log"));  // never started
    // Before the self-removal script could meet the link in the installation directory.
    links.RemoveAll();
    for (const auto& [root, path] : {machineKeys[0], machineKeys[1]}) {
        EXPECT_FALSE(KeyExists(root, path, sample::kInstallerView)) << base::WideToUtf8(path);
        EXPECT_TRUE(KeyExists(root, path, KEY_WOW64_64KEY)) << base::WideToUtf8(path);
    }
    // Counted from the installer's class registration (2), not the other view's.
    EXPECT_EQ(run.installation().Inventory()["uninstall-count"], "3");
}

}  // namespace
