#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/SdkLibrary.h"
#include "base/platform.h"
#include "base/unique_any.h"
#include "removal/Registry.h"
#include "support/TestSupport.h"

using removal::CCommonRegister;
using removal::DeleteRegistryTree;
using base::ParseRootKeyName;
using testing_support::CopyInto;
using testing_support::ReadLines;
using testing_support::TempDir;
using testing_support::WriteUtf8;

namespace {

constexpr REGSAM kView32 = KEY_WOW64_32KEY;
constexpr REGSAM kView64 = KEY_WOW64_64KEY;

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0) {
    base::unique_hkey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

// Creates the key with a default value, so that a key with data is what gets deleted.
bool CreateKey(HKEY root, const std::wstring& path, REGSAM view = 0) {
    base::unique_hkey key;
    if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const wchar_t data[] = L"x";
    return ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof(data)) ==
           ERROR_SUCCESS;
}

// Deletes a key tree in a view if it is there; for clean-up only.
void DropKey(HKEY root, const std::wstring& path, REGSAM view = 0) {
    const size_t cut = path.find_last_of(L'\\');
    base::unique_hkey parent;
    if (cut == std::wstring::npos) {
        removal::RecurseDeleteSubKey(root, path, view);
    } else if (::RegOpenKeyExW(root, path.substr(0, cut).c_str(), 0, KEY_ALL_ACCESS | view, parent.put()) ==
               ERROR_SUCCESS) {
        removal::RecurseDeleteSubKey(parent.get(), path.substr(cut + 1), view);
    }
}

std::wstring TestKeyPath() { return L"Software\\uninst_regtest_" + std::to_wstring(::GetCurrentProcessId()); }

// Keys a test lays down; removed on destruction whatever the test did.
class ScopedKeys {
public:
    ~ScopedKeys() {
        for (auto it = keys_.rbegin(); it != keys_.rend(); ++it) DropKey(it->root, it->path, it->view);
    }
    void Track(HKEY root, const std::wstring& path, REGSAM view = 0) { keys_.push_back({root, path, view}); }
    bool Create(HKEY root, const std::wstring& path, REGSAM view = 0) {
        Track(root, path, view);
        return CreateKey(root, path, view);
    }

private:
    struct Entry {
        HKEY root;
        std::wstring path;
        REGSAM view;
    };
    std::vector<Entry> keys_;
};

constexpr wchar_t kUninstallPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\qlumenox_varko_regtest";

}  // namespace

TEST(DeleteRegistryTree, DeletesNestedKeysAndLeavesSiblings) {
    ScopedKeys keys;
    const std::wstring base = TestKeyPath();
    keys.Track(HKEY_CURRENT_USER, base);
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, base + L"\\tree\\a\\b\\c"));
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, base + L"\\tree\\a2"));
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, base + L"\\sibling"));

    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, base + L"\\tree"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + L"\\tree"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base + L"\\sibling"));
    // An absent key answers the not-found code, which callers ignore.
    EXPECT_EQ(DeleteRegistryTree(HKEY_CURRENT_USER, base + L"\\tree"), ERROR_FILE_NOT_FOUND);
}

TEST(DeleteRegistryTree, WorksBelowAnOpenedKeyAndRefusesAnEmptyPath) {
    ScopedKeys keys;
    const std::wstring base = TestKeyPath();
    keys.Track(HKEY_CURRENT_USER, base);
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, base + L"\\child\\grandchild"));
    base::unique_hkey opened;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, base.c_str(), 0, KEY_ALL_ACCESS, opened.put()), ERROR_SUCCESS);

    // An empty path would name the opened key itself and wipe everything below it.
    EXPECT_EQ(DeleteRegistryTree(opened.get(), L""), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base + L"\\child\\grandchild"));

    EXPECT_EQ(DeleteRegistryTree(opened.get(), L"child"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + L"\\child"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base));
}

TEST(RemoveUninstallInfo, DeletesProductAndUninstallKeysNamedByTheSdk) {
    TempDir dir(L"reg");
    ASSERT_TRUE(CopyInto(L"qsdxbase.dll", dir.path()));
    ASSERT_TRUE(WriteUtf8(dir / L"qsdxbase_values.txt", std::wstring(L"UNINSTALL_INFO_REG=") + kUninstallPath + L"\n"));
    ScopedKeys keys;
    const std::wstring neighbour = std::wstring(kUninstallPath) + L"_neighbour";
    // The installer's machine keys lie in the 32-bit view; the same names in
    // the 64-bit view are somebody else's.
    for (const REGSAM view : {kView32, kView64}) {
        ASSERT_TRUE(keys.Create(HKEY_LOCAL_MACHINE, std::wstring(removal::kProductKeyPath) + L"\\settings", view));
        ASSERT_TRUE(keys.Create(HKEY_LOCAL_MACHINE, std::wstring(kUninstallPath) + L"\\sub", view));
        keys.Track(HKEY_LOCAL_MACHINE, removal::kProductKeyPath, view);
        keys.Track(HKEY_LOCAL_MACHINE, kUninstallPath, view);
    }
    ASSERT_TRUE(keys.Create(HKEY_CURRENT_USER, std::wstring(removal::kProductKeyPath) + L"\\settings"));
    ASSERT_TRUE(keys.Create(HKEY_CURRENT_USER, kUninstallPath));
    ASSERT_TRUE(keys.Create(HKEY_LOCAL_MACHINE, neighbour, kView32));
    keys.Track(HKEY_CURRENT_USER, removal::kProductKeyPath);

    base::ProductValueLookup lookup(dir.path());
    ASSERT_TRUE(lookup.HasObject());
    EXPECT_EQ(removal::RemoveUninstallInfo(lookup), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, removal::kProductKeyPath, kView32));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, removal::kProductKeyPath));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallPath, kView32));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallPath));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, neighbour, kView32));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(removal::kProductKeyPath) + L"\\settings", kView64));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kUninstallPath) + L"\\sub", kView64));

    // Nothing left: the result is the last deletion's not-found code.
    EXPECT_EQ(removal::RemoveUninstallInfo(lookup), ERROR_FILE_NOT_FOUND);
}

TEST(RemoveUninstallInfo, WithoutTheSdkTakesTheValueNameAsKeyPath) {
    TempDir empty(L"reg");
    ScopedKeys keys;
    ASSERT_TRUE(keys.Create(HKEY_LOCAL_MACHINE, removal::kProductKeyPath, kView32));
    ASSERT_TRUE(keys.Create(HKEY_CURRENT_USER, std::wstring(removal::kProductKeyPath) + L"\\settings"));
    keys.Track(HKEY_CURRENT_USER, removal::kProductKeyPath);
    // The literal name is what gets deleted, here as a top-level user key.
    ASSERT_TRUE(keys.Create(HKEY_CURRENT_USER, removal::kUninstallInfoValueKey));

    base::ProductValueLookup lookup(empty.path());
    ASSERT_FALSE(lookup.HasObject());
    EXPECT_EQ(removal::RemoveUninstallInfo(lookup), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, removal::kProductKeyPath, kView32));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, removal::kProductKeyPath));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, removal::kUninstallInfoValueKey));
}

TEST(RemoveUninstallInfo, SdkWithoutTheValueDeletesNothing) {
    TempDir dir(L"reg");
    ASSERT_TRUE(CopyInto(L"qsdxbase.dll", dir.path()));
    ASSERT_TRUE(WriteUtf8(dir / L"qsdxbase_values.txt", L"OTHER=x\n"));
    ScopedKeys keys;
    ASSERT_TRUE(keys.Create(HKEY_LOCAL_MACHINE, removal::kProductKeyPath, kView32));
    ASSERT_TRUE(keys.Create(HKEY_CURRENT_USER, removal::kProductKeyPath));

    base::ProductValueLookup lookup(dir.path());
    ASSERT_TRUE(lookup.HasObject());
    EXPECT_EQ(removal::RemoveUninstallInfo(lookup), ERROR_SUCCESS);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, removal::kProductKeyPath, kView32));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, removal::kProductKeyPath));
    EXPECT_EQ(removal::RemoveUninstallInfoAt(L""), ERROR_SUCCESS);
}

TEST(ParseRootKeyName, MapsLongAndShortNamesInAnyCase) {
    EXPECT_EQ(ParseRootKeyName(L"HKEY_CLASSES_ROOT"), HKEY_CLASSES_ROOT);
    EXPECT_EQ(ParseRootKeyName(L"hkcr"), HKEY_CLASSES_ROOT);
    EXPECT_EQ(ParseRootKeyName(L"HKEY_CURRENT_USER"), HKEY_CURRENT_USER);
    EXPECT_EQ(ParseRootKeyName(L"HKCU"), HKEY_CURRENT_USER);
    EXPECT_EQ(ParseRootKeyName(L"hklm"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ParseRootKeyName(L"HKEY_Local_Machine"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ParseRootKeyName(L"HKEY_USERS"), HKEY_USERS);
    EXPECT_EQ(ParseRootKeyName(L"Hku"), HKEY_USERS);
    EXPECT_EQ(ParseRootKeyName(L"HKEY_CURRENT_CONFIG"), HKEY_CURRENT_CONFIG);
    EXPECT_EQ(ParseRootKeyName(L"HKCC"), HKEY_CURRENT_CONFIG);

    EXPECT_EQ(ParseRootKeyName(L"HKEY_PERFORMANCE_DATA"), nullptr);
    EXPECT_EQ(ParseRootKeyName(L""), nullptr);
    EXPECT_EQ(ParseRootKeyName(L"HKLM\\Software"), nullptr);
    EXPECT_EQ(ParseRootKeyName(L" HKLM"), nullptr);
}

namespace {

std::wstring VerbPath(const std::wstring& extension, const std::wstring& verb) {
    return L"SystemFileAssociations\\" + extension + L"\\Shell\\" + verb;
}

// The extension keys the shell-verb test creates, removed in both views at the end.
class ScopedExtensionKeys {
public:
    ScopedExtensionKeys() {
        std::vector<std::wstring> extensions(removal::kShellVerbExtensions.begin(),
                                             removal::kShellVerbExtensions.end());
        extensions.push_back(kForeignExtension);
        for (const std::wstring& extension : extensions) {
            for (const REGSAM view : {kView32, kView64}) {
                const std::wstring path = L"SystemFileAssociations\\" + extension;
                // Extension keys the prefix already had keep their other content.
                if (KeyExists(HKEY_CLASSES_ROOT, path, view)) {
                    for (const wchar_t* verb : removal::kShellVerbNames) keys_.Track(HKEY_CLASSES_ROOT, VerbPath(extension, verb), view);
                    keys_.Track(HKEY_CLASSES_ROOT, VerbPath(extension, L"lumenox0_open"), view);
                } else {
                    keys_.Track(HKEY_CLASSES_ROOT, path, view);
                }
            }
        }
    }
    static constexpr wchar_t kForeignExtension[] = L".qlxnotours";

private:
    ScopedKeys keys_;
};

}  // namespace

TEST(RemoveShellVerbs, DeletesTheViewersVerbsOfEveryTableExtensionOnly) {
    ScopedExtensionKeys cleanup;
    for (const wchar_t* extension : removal::kShellVerbExtensions) {
        for (const wchar_t* verb : removal::kShellVerbNames) {
            ASSERT_TRUE(CreateKey(HKEY_CLASSES_ROOT, VerbPath(extension, verb) + L"\\command", kView32));
        }
    }
    // A verb with deeper nesting goes as a whole.
    ASSERT_TRUE(CreateKey(HKEY_CLASSES_ROOT, VerbPath(L".png", removal::kShellVerbNames[0]) + L"\\command\\deeper",
                          kView32));
    // Decoys: the name without its leading blanks, and an extension outside the table.
    const std::wstring bareName = VerbPath(L".jpg", L"lumenox0_open");
    const std::wstring foreign = VerbPath(ScopedExtensionKeys::kForeignExtension, removal::kShellVerbNames[0]);
    ASSERT_TRUE(CreateKey(HKEY_CLASSES_ROOT, bareName + L"\\command", kView32));
    ASSERT_TRUE(CreateKey(HKEY_CLASSES_ROOT, foreign + L"\\command", kView32));
    // The same verb in the 64-bit view. On 64-bit Windows SystemFileAssociations
    // is shared between the views, so this is the very key written above and
    // is deleted with it; Wine keeps the 32-bit view as a separate tree
    // (Wow6432Node), where the 64-bit key is out of reach and must survive.
    const std::wstring verb64 = VerbPath(L".tif", removal::kShellVerbNames[2]);
    const bool viewsShared = KeyExists(HKEY_CLASSES_ROOT, verb64, kView64);
    ASSERT_TRUE(CreateKey(HKEY_CLASSES_ROOT, verb64 + L"\\command", kView64));

    removal::RemoveShellVerbs();

    for (const wchar_t* extension : removal::kShellVerbExtensions) {
        for (const wchar_t* verb : removal::kShellVerbNames) {
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, VerbPath(extension, verb), kView32))
                << "left: " << std::string(extension, extension + wcslen(extension));
        }
        // Only the verbs go; the extension's Shell key stays.
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"SystemFileAssociations\\") + extension + L"\\Shell",
                              kView32));
    }
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, bareName + L"\\command", kView32));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, foreign + L"\\command", kView32));
    EXPECT_EQ(KeyExists(HKEY_CLASSES_ROOT, verb64 + L"\\command", kView64), !viewsShared);

    // Nothing left to delete: passes over every extension without harm.
    removal::RemoveShellVerbs();
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, bareName, kView32));
}

namespace {

// A private copy of the utility library with its log and optional answers.
class UtilLibraryDir {
public:
    explicit UtilLibraryDir(const std::wstring& config = L"") : dir_(L"util") {
        ok_ = CopyInto(L"qlumenoxutil.dll", dir_.path());
        if (!config.empty()) ok_ = ok_ && WriteUtf8(dir_ / L"qlumenoxutil_config.txt", config);
    }
    bool ok() const { return ok_; }
    std::wstring library() const { return dir_ / L"qlumenoxutil.dll"; }
    std::vector<std::string> log() const { return ReadLines(dir_ / L"qlumenoxutil.log"); }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    bool ok_ = false;
};

using Lines = std::vector<std::string>;

}  // namespace

TEST(CCommonRegister, CallsBothInterfacesReleasesThemAndUnloads) {
    UtilLibraryDir util(L"B.Run=7\n");
    ASSERT_TRUE(util.ok());
    EXPECT_TRUE(CCommonRegister::InvokeUtilInterfaceA(util.library()));
    EXPECT_EQ(CCommonRegister::InvokeUtilInterfaceB(util.library()), 7);
    EXPECT_EQ(util.log(), (Lines{"A.Run 0", "A.Release", "unload", "B.Run", "B.Release", "unload"}));
    EXPECT_EQ(::GetModuleHandleW(util.library().c_str()), nullptr);
}

TEST(CCommonRegister, ReportsFailureAndMissingObjects) {
    {
        UtilLibraryDir util(L"A.Run=5\nB.Run=-3\n");
        ASSERT_TRUE(util.ok());
        EXPECT_FALSE(CCommonRegister::InvokeUtilInterfaceA(util.library()));
        EXPECT_EQ(CCommonRegister::InvokeUtilInterfaceB(util.library()), -3);
        EXPECT_EQ(util.log(), (Lines{"A.Run 0", "A.Release", "unload", "B.Run", "B.Release", "unload"}));
    }
    {
        UtilLibraryDir util(L"refuse=AB\nB.Run=9\n");
        ASSERT_TRUE(util.ok());
        EXPECT_FALSE(CCommonRegister::InvokeUtilInterfaceA(util.library()));
        EXPECT_EQ(CCommonRegister::InvokeUtilInterfaceB(util.library()), 0);
        EXPECT_EQ(util.log(), (Lines{"unload", "unload"}));
    }
}

TEST(CCommonRegister, WithoutTheLibraryOrItsExportAnswersFalseAndZero) {
    TempDir dir(L"util");
    EXPECT_FALSE(CCommonRegister::InvokeUtilInterfaceA(dir / L"qlumenoxutil.dll"));
    EXPECT_EQ(CCommonRegister::InvokeUtilInterfaceB(dir / L"qlumenoxutil.dll"), 0);
    // A library without the export: another family DLL under the utility library's name.
    ASSERT_TRUE(::CopyFileW((testing_support::BinDir() + L"qsdxbase.dll").c_str(),
                            (dir / L"qlumenoxutil.dll").c_str(), FALSE));
    EXPECT_FALSE(CCommonRegister::InvokeUtilInterfaceA(dir / L"qlumenoxutil.dll"));
    EXPECT_EQ(CCommonRegister::InvokeUtilInterfaceB(dir / L"qlumenoxutil.dll"), 0);
}

TEST(CCommonRegister, SingletonFindsTheLibraryBesideTheExecutable) {
    // Only the executable's directory counts, where the build puts the stand-in.
    EXPECT_EQ(CCommonRegister::DefaultLibraryPath(), testing_support::BinDir() + L"qlumenoxutil.dll");
    const std::wstring log = testing_support::BinDir() + L"qlumenoxutil.log";
    ::DeleteFileW(log.c_str());
    CCommonRegister& registration = CCommonRegister::Instance();
    EXPECT_EQ(&registration, &CCommonRegister::Instance());
    EXPECT_TRUE(registration.InvokeUtilInterfaceA());
    EXPECT_EQ(registration.InvokeUtilInterfaceB(), 0);
    EXPECT_EQ(ReadLines(log), (Lines{"A.Run 0", "A.Release", "unload", "B.Run", "B.Release", "unload"}));
    ::DeleteFileW(log.c_str());
}
