// Desktop shortcut entries: the unpin request before the deletion, names that
// must stay in the desktop folder, and the real shell's verb handling.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "base/XmlConfigDocument.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "manifest/FileConfig.h"
#include "manifest/Shortcut.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"
#include "support/ManifestSupport.h"
#include "support/TestSupport.h"

using manifest::CShortcut;
using base::XmlConfigDocument;
using testing_support::Exists;
using testing_support::RecordingShell;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

constexpr wchar_t kOwner[] = L"C:\\Lumenox\\lumenox.exe";
constexpr DWORD kVerbLogWaitMs = 10000;

// Runs one shortcut entry written as XML; answers Execute's result.
int RunShortcut(const manifest::ShellEnvironment& env, const std::string& attributes) {
    XmlConfigDocument doc;
    if (!doc.LoadText("<config mode=\"shortcut\" " + attributes + "/>") || !doc.SelectPath("")) return -1;
    CShortcut entry(kOwner, env);
    return entry.Execute(doc);
}

// A file type whose "taskbarunpin" verb runs a copy of the main-program
// stand-in, which logs the request. Removed again with the object.
class UnpinVerbType {
public:
    static constexpr wchar_t kExtension[] = L".qlumtestpin";
    static constexpr wchar_t kProgId[] = L"qlumtest.pinned";

    explicit UnpinVerbType(const std::wstring& programDir) {
        testing_support::CopyInto(L"lumenox_main.exe", programDir);
        const std::wstring command = L"\"" + programDir + L"lumenox_main.exe\" unpin \"%1\"";
        ok_ = SetDefault(kExtension, kProgId) &&
              SetDefault(std::wstring(kProgId) + L"\\shell\\taskbarunpin\\command", command);
    }
    ~UnpinVerbType() {
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kExtension);
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    }
    bool ok() const { return ok_; }

private:
    static bool SetDefault(const std::wstring& path, const std::wstring& value) {
        base::unique_hkey key;
        if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr) != ERROR_SUCCESS) {
            return false;
        }
        return ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    bool ok_ = false;
};

std::wstring LeafName(const std::wstring& dir) {
    const std::wstring trimmed = dir.substr(0, dir.size() - 1);
    return trimmed.substr(trimmed.rfind(L'\\') + 1);
}

}  // namespace

TEST(ShortcutEntry, PinnedShortcutIsUnpinnedWhileItStillExistsThenDeleted) {
    RecordingShell shell;
    WriteBytes(shell.desktop() + L"Lumenox.lnk", "lnk");
    EXPECT_EQ(RunShortcut(shell.environment(), "name=\"Lumenox.lnk\" quicklaunchbar=\"1\" cmdline=\"/start\""), 1);

    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].verb, L"taskbarunpin");
    EXPECT_EQ(shell.requests()[0].file, shell.desktop() + L"Lumenox.lnk");
    EXPECT_TRUE(shell.requests()[0].fileExisted);
    EXPECT_FALSE(Exists(shell.desktop() + L"Lumenox.lnk"));
}

TEST(ShortcutEntry, OnlyTheExactFlagOneAsksForTheUnpin) {
    RecordingShell shell;
    for (const char* flag : {"true", "0", "", " 1"}) {
        WriteBytes(shell.desktop() + L"Lumenox.lnk", "lnk");
        EXPECT_EQ(RunShortcut(shell.environment(), std::string("name=\"Lumenox.lnk\" quicklaunchbar=\"") + flag + "\""),
                  1)
            << flag;
        EXPECT_FALSE(Exists(shell.desktop() + L"Lumenox.lnk")) << flag;
    }
    WriteBytes(shell.desktop() + L"Lumenox.lnk", "lnk");
    EXPECT_EQ(RunShortcut(shell.environment(), "name=\"Lumenox.lnk\""), 1);
    EXPECT_TRUE(shell.requests().empty());
}

TEST(ShortcutEntry, MissingShortcutOrNameIsHarmless) {
    RecordingShell shell;
    WriteBytes(shell.desktop() + L"keep.lnk", "lnk");
    EXPECT_EQ(RunShortcut(shell.environment(), "name=\"Gone.lnk\" quicklaunchbar=\"1\""), 0);
    EXPECT_EQ(RunShortcut(shell.environment(), "quicklaunchbar=\"0\""), 0);
    EXPECT_EQ(RunShortcut(shell.environment(), "name=\"\""), 0);
    EXPECT_TRUE(Exists(shell.desktop() + L"keep.lnk"));
    EXPECT_TRUE(testing_support::IsDirectory(shell.desktop()));
}

TEST(ShortcutEntry, ChineseNameIsDecodedAndFourByteSequenceCutsTheName) {
    RecordingShell shell;
    // "看图王.lnk"
    const std::wstring chinese = L"\u770b\u56fe\u738b.lnk";
    WriteBytes(shell.desktop() + chinese, "lnk");
    EXPECT_EQ(RunShortcut(shell.environment(), "name=\"\xE7\x9C\x8B\xE5\x9B\xBE\xE7\x8E\x8B.lnk\""), 1);
    EXPECT_FALSE(Exists(shell.desktop() + chinese));

    // The name ends before the emoji: "ab" is what the entry names.
    WriteBytes(shell.desktop() + L"ab", "x");
    WriteBytes(shell.desktop() + L"abc.lnk", "lnk");
    EXPECT_EQ(RunShortcut(shell.environment(), "name=\"ab\xF0\x9F\x98\x80" "c.lnk\""), 1);
    EXPECT_FALSE(Exists(shell.desktop() + L"ab"));
    EXPECT_TRUE(Exists(shell.desktop() + L"abc.lnk"));
}

TEST(ShortcutEntry, NamesThatLeaveTheDesktopDeleteNothing) {
    RecordingShell shell;
    TempDir outside(L"outside");
    WriteBytes(outside / L"victim.lnk", "lnk");
    // The desktop and the outside folder are siblings in the temporary folder.
    const std::wstring outsideLeaf = LeafName(outside.path());
    ASSERT_TRUE(Exists(shell.desktop() + L"..\\" + outsideLeaf + L"\\victim.lnk"));

    const std::string up = "..\\" + base::WideToUtf8(outsideLeaf) + "\\victim.lnk";
    const std::string absolute = base::WideToUtf8(outside / L"victim.lnk");
    for (const std::string& name : {up, "sub\\..\\..\\" + base::WideToUtf8(outsideLeaf) + "\\victim.lnk", absolute,
                                    "\\\\?\\" + absolute, absolute.substr(0, 2) + absolute.substr(3)}) {
        EXPECT_EQ(RunShortcut(shell.environment(), "name=\"" + name + "\" quicklaunchbar=\"1\""), 0) << name;
        EXPECT_TRUE(Exists(outside / L"victim.lnk")) << name;
    }
    EXPECT_TRUE(shell.requests().empty());
}

TEST(ShortcutEntry, RealLinkOnThePlatformShellIsDeletedWhetherOrNotTheVerbIsServed) {
    // The platform's own verb request. Windows serves "taskbarunpin" only for
    // pinned items (and recent versions not at all for programs); Wine has no
    // such verb. Either way there must be no dialog, and the link goes.
    TempDir desktop(L"desktop");
    ASSERT_TRUE(testing_support::MakeShellLink(desktop / L"Lumenox.lnk", testing_support::BinDir() + L"sleeper.exe"));
    manifest::ShellEnvironment env = manifest::ShellEnvironment::Platform();
    const std::wstring folder = desktop.path();
    env.desktopFolder = [folder] { return folder; };

    const DWORD start = ::GetTickCount();
    EXPECT_EQ(RunShortcut(env, "name=\"Lumenox.lnk\" quicklaunchbar=\"1\""), 1);
    EXPECT_LT(::GetTickCount() - start, 5000u);
    EXPECT_FALSE(Exists(desktop / L"Lumenox.lnk"));
}

TEST(ShortcutEntry, PlatformRequestReachesTheShellWithVerbAndPath) {
    TempDir programDir(L"verb");
    UnpinVerbType type(programDir.path());
    ASSERT_TRUE(type.ok());
    TempDir desktop(L"desktop");
    const std::wstring link = desktop / (std::wstring(L"Lumenox") + UnpinVerbType::kExtension);
    WriteBytes(link, "pinned");

    manifest::RequestShellVerb(link, manifest::kTaskbarUnpinVerb);
    ASSERT_TRUE(testing_support::WaitForLine(programDir / L"lumenox_main.log", kVerbLogWaitMs));
    const auto lines = testing_support::ReadLines(programDir / L"lumenox_main.log");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "unpin \"" + base::WideToUtf8(link) + "\"");
}

TEST(ShortcutEntry, PlatformFolderIsTheUsersOwnDesktop) {
    const std::wstring desktop = manifest::QueryUserDesktopFolder();
    ASSERT_FALSE(desktop.empty());
    EXPECT_TRUE(testing_support::IsDirectory(desktop));
    wchar_t common[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, 0, common)));
    EXPECT_NE(desktop, std::wstring(common));
}
