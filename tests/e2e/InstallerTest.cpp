// The sample installer lays down what it claims, and its removal check tells a
// removed installation from one that is still there.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "SampleLayout.h"
#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "removal/Registry.h"
#include "support/SampleInstallation.h"

namespace {

using testing_support::CapturedRun;
using testing_support::ReadBytes;
using testing_support::SampleInstallation;

std::string Of(size_t present, size_t total) { return std::to_string(present) + "/" + std::to_string(total); }

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_DEFAULT, path);
    return std::wstring(path) + L"\\";
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0) {
    base::unique_hkey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

DWORD ServiceState(const wchar_t* name) {
    base::unique_sc_handle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    base::unique_sc_handle service(manager ? ::OpenServiceW(manager.get(), name, SERVICE_QUERY_STATUS) : nullptr);
    SERVICE_STATUS status = {};
    if (!service || !::QueryServiceStatus(service.get(), &status)) return 0;
    return status.dwCurrentState;
}

sample::SetupOptions OptionsOf(const std::vector<std::wstring>& args) {
    sample::SetupOptions options;
    std::wstring error;
    EXPECT_TRUE(sample::ParseSetupOptions(args, options, error)) << base::WideToUtf8(error);
    return options;
}

// What a removal takes away, done by hand: files, keys, verbs of the 32-bit
// view, our shortcuts and the start-menu folder (decoys and foreign entries stay).
void RemoveByHand(const SampleInstallation& installation) {
    base::RemoveTree(installation.dir());
    removal::DeleteRegistryTree(HKEY_CURRENT_USER, sample::kProductKeyPath);
    removal::DeleteRegistryTree(HKEY_LOCAL_MACHINE, sample::kProductKeyPath, sample::kInstallerView);
    removal::DeleteRegistryTree(HKEY_LOCAL_MACHINE, sample::kUninstallInfoKeyPath, sample::kInstallerView);
    for (const wchar_t* extension : sample::kVerbExtensions) {
        for (const wchar_t* verb : sample::kVerbNames) {
            base::unique_hkey shell;
            const std::wstring path = std::wstring(L"SystemFileAssociations\\") + extension + L"\\Shell";
            if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, shell.put()) ==
                ERROR_SUCCESS) {
                ::RegDeleteTreeW(shell.get(), verb);
                ::RegDeleteKeyExW(shell.get(), verb, KEY_WOW64_32KEY, 0);
            }
        }
    }
    const std::wstring user = Folder(CSIDL_DESKTOPDIRECTORY);
    ::DeleteFileW((user + sample::kUserShortcut).c_str());
    ::DeleteFileW((user + sample::kUserToolsShortcut).c_str());
    ::DeleteFileW((Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + sample::kCommonShortcut).c_str());
    base::RemoveTree(Folder(CSIDL_COMMON_PROGRAMS) + sample::kStartMenuFolder);
}

TEST(InstallerTest, FullInstallationIsWhatTheLayoutDescribesAndCleanupTakesItAway) {
    SampleInstallation installation(L"");
    ASSERT_TRUE(installation.installed()) << installation.installOutput();
    const sample::SampleLayout layout = sample::BuildLayout(sample::SetupOptions());
    ASSERT_GE(layout.files.size(), 1400u);
    ASSERT_GE(layout.dirs.size(), 55u);
    ASSERT_GT(layout.ReadOnlyCount(), 0u);

    auto inventory = installation.Inventory();
    EXPECT_EQ(inventory["files"], Of(layout.files.size(), layout.files.size()));
    EXPECT_EQ(inventory["dirs"], Of(layout.dirs.size(), layout.dirs.size()));
    EXPECT_EQ(inventory["read-only-files"], Of(layout.ReadOnlyCount(), layout.ReadOnlyCount()));
    EXPECT_EQ(inventory["identity-values"], "5/5");
    EXPECT_EQ(inventory["product-key-hklm"], "present");
    EXPECT_EQ(inventory["uninstall-info-key"], "present");
    EXPECT_EQ(inventory["class-uninstall-count"], "2");
    EXPECT_EQ(inventory["verbs-view32"], Of(sample::kVerbCount, sample::kVerbCount));
    EXPECT_EQ(inventory["verbs-view64"], Of(sample::kVerbCount, sample::kVerbCount));
    EXPECT_EQ(inventory["service"], "running");
    EXPECT_EQ(inventory["user-shortcuts"], "2/2");
    EXPECT_EQ(inventory["common-shortcuts"], "1/1");
    EXPECT_EQ(inventory["foreign-shortcut"], "present");
    EXPECT_EQ(inventory["startmenu-folder"], "present");
    EXPECT_EQ(inventory["processes"], "3");  // service, helper process, viewer
    EXPECT_EQ(inventory["viewer-windows"], "1");

    // The inventory against the platform directly.
    EXPECT_EQ(ServiceState(sample::kServiceName), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_NE(::FindWindowW(sample::kViewerClassName, nullptr), nullptr);
    const std::wstring jpgOpen = sample::VerbKeyPath(L".jpg", sample::kVerbNames[0]) + L"\\command";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_32KEY));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_64KEY));
    EXPECT_TRUE(testing_support::Exists(installation.dir() + L"lang\\简体中文\\"));

    // Every entry kind of the manifest, and the scrambled action file.
    const std::string manifest = ReadBytes(installation.dir() + sample::kManifestName);
    for (const char* part : {"MsgTip=\"Lumenox Viewer\"", "mainprogram=\"1\"", "<config mode=\"reg\"/>",
                             "<config mode=\"shortcut\"", "<config mode=\"startmenu\"", "<config mode=\"service\"",
                             "<dirlist>", "path=\"lang\\简体中文\""}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
    std::string actions = ReadBytes(installation.dir() + sample::kExpandTaskName);
    for (char& c : actions) c = static_cast<char>(static_cast<uint8_t>(c) ^ sample::kExpandTaskXorKey);
    for (const char* part : {"<before>", "<after>", "<execute", "<copyfile", "<avoidproduct"}) {
        EXPECT_NE(actions.find(part), std::string::npos) << part;
    }

    ASSERT_TRUE(installation.Cleanup());
    EXPECT_EQ(ServiceState(sample::kServiceName), 0u);
    EXPECT_EQ(::FindWindowW(sample::kViewerClassName, nullptr), nullptr);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_32KEY));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_64KEY));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, sample::kProductKeyPath));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, sample::kClassKeyPath));
    EXPECT_FALSE(testing_support::Exists(Folder(CSIDL_DESKTOPDIRECTORY) + sample::kForeignShortcut));
    EXPECT_FALSE(testing_support::Exists(installation.dir()));
    EXPECT_FALSE(testing_support::Exists(sample::SetupRecordPath(installation.dir())));
}

TEST(InstallerTest, OptionsSizeTheLayoutAndSurviveTheRecord) {
    const auto tiny = sample::BuildLayout(OptionsOf({L"--tiny"}));
    EXPECT_EQ(tiny.files.size(), 40u);
    EXPECT_EQ(tiny.dirs.size(), 8u);
    EXPECT_TRUE(tiny.climbFiles.empty());

    const auto options = OptionsOf({L"--files", L"200", L"--dirs", L"12", L"--climb-out", L"--no-sdk", L"--slice",
                                    L"--log-dir", L"C:\\logs dir", L"--msgtip", L"看图"});
    const auto again = OptionsOf(sample::SetupOptionArguments(options));
    EXPECT_EQ(sample::SetupOptionArguments(again), sample::SetupOptionArguments(options));
    const auto layout = sample::BuildLayout(options);
    EXPECT_EQ(layout.files.size(), 200u);
    EXPECT_EQ(layout.dirs.size(), 12u);
    EXPECT_EQ(layout.climbFiles.size(), 2u);
    for (const auto& f : layout.files) EXPECT_NE(f.path, L"qsdxbase.dll");

    sample::SetupOptions unused;
    std::wstring error;
    EXPECT_FALSE(sample::ParseSetupOptions({L"--files"}, unused, error));
    EXPECT_FALSE(sample::ParseSetupOptions({L"--files", L"many"}, unused, error));
    EXPECT_FALSE(sample::ParseSetupOptions({L"--bogus"}, unused, error));
}

TEST(InstallerTest, CheckRemovedFailsOnAFreshInstallationAndNamesWhatRemains) {
    SampleInstallation installation(L"--tiny --climb-out --no-service --no-processes --no-viewer");
    ASSERT_TRUE(installation.installed()) << installation.installOutput();
    const CapturedRun check = installation.CheckRemoved();
    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.exitCode, 1u);
    for (const char* part : {"remains: file installconfig.xml", "remains: file uninst.exe", "remains: directory bin",
                             "remains: key HKLM\\Software\\qlumenox_varko", "remains: value HKCU",
                             "remains: verb (32-bit view)", "remains: shortcut", "remains: start-menu folder"}) {
        EXPECT_NE(check.output.find(part), std::string::npos) << part << "\n" << check.output;
    }
    EXPECT_EQ(check.output.find("lost:"), std::string::npos) << check.output;
}

TEST(InstallerTest, CheckRemovedPassesAfterAManualRemovalUntilADecoyOrForeignEntryIsLost) {
    SampleInstallation installation(L"--tiny --climb-out --no-service --no-processes --no-viewer");
    ASSERT_TRUE(installation.installed()) << installation.installOutput();
    RemoveByHand(installation);
    // The removal re-creates the user's key for the uninstall time and count.
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, sample::kProductKeyPath, sample::kUninstallCountValue, REG_DWORD,
                                "\x03\0\0\0", 4),
              ERROR_SUCCESS);

    CapturedRun check = installation.CheckRemoved();
    EXPECT_EQ(check.exitCode, 0u) << check.output;
    // Where Wine keeps the 64-bit view apart, its verbs are a separate copy that
    // the removal (which works in the 32-bit view) does not reach: named, not failed.
    const std::wstring jpgOpen = sample::VerbKeyPath(L".jpg", sample::kVerbNames[0]);
    const bool separateCopy = KeyExists(HKEY_CLASSES_ROOT, jpgOpen, KEY_WOW64_64KEY);
    EXPECT_EQ(check.output.find("note: 276 verbs left in the 64-bit view") != std::string::npos, separateCopy)
        << check.output;

    ::DeleteFileW((installation.parent() + L"decoy_keep2.txt").c_str());
    ::DeleteFileW((Folder(CSIDL_DESKTOPDIRECTORY) + sample::kForeignShortcut).c_str());
    check = installation.CheckRemoved();
    EXPECT_EQ(check.exitCode, 1u);
    EXPECT_NE(check.output.find("lost: decoy"), std::string::npos) << check.output;
    EXPECT_NE(check.output.find("lost: foreign shortcut"), std::string::npos) << check.output;
    EXPECT_EQ(check.output.find("remains:"), std::string::npos) << check.output;
}

}  // namespace
