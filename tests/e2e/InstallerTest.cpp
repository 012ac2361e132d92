// The sample installer lays down what it claims, and its removal check tells a
// removed installation from one that is still there or that lost too much.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "SampleLayout.h"
#include "SilentRunFixture.h"
#include "base/platform.h"
#include "removal/Registry.h"
#include "support/ManifestSupport.h"
#include "support/ProductKey.h"

namespace {

using namespace silent_run;
using testing_support::Exists;
using testing_support::SampleInstallation;

std::string Of(size_t count) { return std::to_string(count) + "/" + std::to_string(count); }

// What a removal takes away, done by hand: files, keys, verbs of the 32-bit
// view, our shortcuts and the start-menu folder (decoys and foreign entries stay).
void RemoveByHand(const SampleInstallation& installation) {
    base::RemoveTree(installation.dir());
    removal::DeleteRegistryTree(HKEY_CURRENT_USER, sample::kProductKeyPath);
    removal::DeleteRegistryTree(HKEY_LOCAL_MACHINE, sample::kProductKeyPath, sample::kInstallerView);
    removal::DeleteRegistryTree(HKEY_LOCAL_MACHINE, sample::kUninstallInfoKeyPath, sample::kInstallerView);
    for (const wchar_t* extension : sample::kVerbExtensions) {
        for (const wchar_t* verb : sample::kVerbNames) {
            removal::DeleteRegistryTree(HKEY_CLASSES_ROOT, sample::VerbKeyPath(extension, verb),
                                        sample::kInstallerView);
        }
    }
    for (const std::wstring& shortcut : {ShellFolder(CSIDL_DESKTOPDIRECTORY) + sample::kUserShortcut,
                                         ShellFolder(CSIDL_DESKTOPDIRECTORY) + sample::kUserToolsShortcut,
                                         ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + sample::kCommonShortcut}) {
        ::DeleteFileW(shortcut.c_str());
    }
    base::RemoveTree(ShellFolder(CSIDL_COMMON_PROGRAMS) + sample::kStartMenuFolder);
}

TEST(InstallerTest, FullInstallationIsWhatTheLayoutDescribesAndCleanupTakesItAway) {
    SampleInstallation installation(L"");
    ASSERT_TRUE(installation.installed()) << installation.installOutput();
    const sample::SampleLayout layout = sample::BuildLayout(sample::SetupOptions());
    ASSERT_GE(layout.files.size(), 1400u);
    ASSERT_GT(layout.ReadOnlyCount(), 0u);
    const std::string files = Of(layout.files.size()), dirs = Of(layout.dirs.size());
    const std::string readOnly = Of(layout.ReadOnlyCount()), verbs = Of(sample::kVerbCount);
    // Service, helper process and viewer run.
    ExpectInventory(installation, {{"files", files.c_str()}, {"dirs", dirs.c_str()},
                                   {"read-only-files", readOnly.c_str()}, {"identity-values", "5/5"},
                                   {"product-key-hklm", "present"}, {"uninstall-info-key", "present"},
                                   {"class-uninstall-count", "2"}, {"verbs-view32", verbs.c_str()},
                                   {"verbs-view64", verbs.c_str()}, {"service", "running"},
                                   {"user-shortcuts", "2/2"}, {"common-shortcuts", "1/1"},
                                   {"foreign-shortcut", "present"}, {"startmenu-folder", "present"},
                                   {"processes", "3"}, {"viewer-windows", "1"}});

    // The inventory against the platform directly.
    EXPECT_EQ(testing_support::QueryServiceState(sample::kServiceName), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_NE(::FindWindowW(sample::kViewerClassName, nullptr), nullptr);
    const std::wstring jpgOpen = sample::VerbKeyPath(L".jpg", sample::kVerbNames[0]) + L"\\command";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_32KEY));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_64KEY));
    EXPECT_TRUE(Exists(installation.dir() + L"lang\\简体中文\\"));

    ASSERT_TRUE(installation.Cleanup());
    EXPECT_EQ(testing_support::QueryServiceState(sample::kServiceName), 0u);
    EXPECT_EQ(::FindWindowW(sample::kViewerClassName, nullptr), nullptr);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_32KEY));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_64KEY));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, sample::kProductKeyPath));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, sample::kClassKeyPath));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_DESKTOPDIRECTORY) + sample::kForeignShortcut));
    EXPECT_FALSE(Exists(installation.dir()));
    EXPECT_FALSE(Exists(sample::SetupRecordPath(installation.dir())));
}

TEST(InstallerTest, CheckRemovedNamesWhatRemainsThenWhatWasLost) {
    SampleInstallation installation(L"--tiny --climb-out --no-service --no-processes --no-viewer");
    ASSERT_TRUE(installation.installed()) << installation.installOutput();
    auto check = installation.CheckRemoved();
    EXPECT_EQ(check.exitCode, 1u);
    for (const char* part : {"remains: file installconfig.xml", "remains: file uninst.exe", "remains: directory bin",
                             "remains: key HKLM\\Software\\qlumenox_varko", "remains: value HKCU",
                             "remains: verb (32-bit view)", "remains: shortcut", "remains: start-menu folder"}) {
        EXPECT_NE(check.output.find(part), std::string::npos) << part << "\n" << check.output;
    }
    EXPECT_EQ(check.output.find("lost:"), std::string::npos) << check.output;

    RemoveByHand(installation);
    // The removal re-creates the user's key for the uninstall time and count.
    ASSERT_TRUE(testing_support::ProductKeyScope::SetDword(sample::kUninstallCountValue, 3));
    check = installation.CheckRemoved();
    EXPECT_EQ(check.exitCode, 0u) << check.output;
    // Where Wine keeps the 64-bit view apart, its verbs are a separate copy that
    // the removal (which works in the 32-bit view) does not reach: named, not failed.
    const bool separateCopy = KeyExists(HKEY_CLASSES_ROOT, sample::VerbKeyPath(L".jpg", sample::kVerbNames[0]),
                                        KEY_WOW64_64KEY);
    EXPECT_EQ(check.output.find("note: 276 verbs left in the 64-bit view") != std::string::npos, separateCopy)
        << check.output;

    ::DeleteFileW((installation.parent() + L"decoy_keep2.txt").c_str());
    ::DeleteFileW((ShellFolder(CSIDL_DESKTOPDIRECTORY) + sample::kForeignShortcut).c_str());
    check = installation.CheckRemoved();
    EXPECT_EQ(check.exitCode, 1u);
    EXPECT_NE(check.output.find("lost: decoy"), std::string::npos) << check.output;
    EXPECT_NE(check.output.find("lost: foreign shortcut"), std::string::npos) << check.output;
    EXPECT_EQ(check.output.find("remains:"), std::string::npos) << check.output;
}

}  // namespace
