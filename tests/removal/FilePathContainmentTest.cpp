#include <gtest/gtest.h>

#include <windows.h>

#include "removal/PathContainment.h"
#include "support/FileSystemSupport.h"
#include "support/TestSupport.h"

using removal::JoinInsideDirectory;

namespace {

const std::wstring kDir = L"C:\\P\\lumenox\\";

std::wstring Joined(const std::wstring& relative, const std::wstring& dir = kDir) {
    std::wstring joined = L"untouched";
    return JoinInsideDirectory(dir, relative, joined) ? joined : L"<refused:" + joined + L">";
}

}  // namespace

TEST(FilePathContainment, JoinsAndNormalisesPathsThatStayInside) {
    EXPECT_EQ(Joined(L"a.dll"), L"C:\\P\\lumenox\\a.dll");
    EXPECT_EQ(Joined(L"sub/x/b.dll"), L"C:\\P\\lumenox\\sub\\x\\b.dll");
    EXPECT_EQ(Joined(L".\\sub\\\\.\\b.dll"), L"C:\\P\\lumenox\\sub\\b.dll");
    EXPECT_EQ(Joined(L"sub\\..\\b.dll"), L"C:\\P\\lumenox\\b.dll");
    EXPECT_EQ(Joined(L"a.b..c"), L"C:\\P\\lumenox\\a.b..c");
    // A directory item keeps exactly one trailing separator.
    EXPECT_EQ(Joined(L"skins\\"), L"C:\\P\\lumenox\\skins\\");
    EXPECT_EQ(Joined(L"skins/"), L"C:\\P\\lumenox\\skins\\");
    // The directory may come without its trailing separator.
    EXPECT_EQ(Joined(L"a.dll", L"C:\\P\\lumenox"), L"C:\\P\\lumenox\\a.dll");
}

TEST(FilePathContainment, RefusesClimbingOut) {
    EXPECT_EQ(Joined(L".."), L"<refused:>");
    EXPECT_EQ(Joined(L"..\\x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L"../x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L"sub\\..\\..\\x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L"sub\\..\\..\\lumenox\\x.dll"), L"<refused:>");
    // Segments that the platform trims to "..", or to nothing.
    EXPECT_EQ(Joined(L"...\\x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L".. \\x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L"sub\\. .\\x.dll"), L"<refused:>");
}

TEST(FilePathContainment, RefusesAbsoluteDriveUncAndDevicePaths) {
    EXPECT_EQ(Joined(L"\\Windows\\system32\\x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L"/Windows/x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L"C:\\Windows\\x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L"C:x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L"sub\\D:\\x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L"\\\\server\\share\\x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L"\\\\?\\C:\\x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L"\\\\.\\PhysicalDrive0"), L"<refused:>");
    EXPECT_EQ(Joined(L"//?/C:/x.dll"), L"<refused:>");
    EXPECT_EQ(Joined(L"x.dll:stream"), L"<refused:>");
}

TEST(FilePathContainment, RefusesTheDirectoryItself) {
    // An empty or missing "path" would otherwise name the whole installation directory.
    EXPECT_EQ(Joined(L""), L"<refused:>");
    EXPECT_EQ(Joined(L"."), L"<refused:>");
    EXPECT_EQ(Joined(L".\\"), L"<refused:>");
    EXPECT_EQ(Joined(L"sub\\.."), L"<refused:>");
    std::wstring joined;
    EXPECT_FALSE(JoinInsideDirectory(L"", L"a.dll", joined));
}

// Directories found plain are not read again; a link is found every time and never remembered.
TEST(FilePathContainment, RememberedPlainDirectoriesNeverHideALink) {
    testing_support::TempDir root(L"plain");
    const std::wstring dir = root / L"inst\\";
    const std::wstring plain = dir + L"sub";
    const std::wstring link = plain + L"\\link";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    ::CreateDirectoryW(plain.c_str(), nullptr);
    ASSERT_TRUE(testing_support::MakeSymbolicLink(link, root.path(), true));
    struct LinkGuard {
        std::wstring link;
        ~LinkGuard() { testing_support::RemoveSymbolicLink(link); }
    } guard{link};

    removal::PlainDirectories known;
    EXPECT_FALSE(removal::PassesThroughLink(dir, plain + L"\\a.txt", &known));
    EXPECT_TRUE(known.Contains(plain));
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_TRUE(removal::PassesThroughLink(dir, link + L"\\x\\a.txt", &known)) << pass;
        EXPECT_FALSE(known.Contains(link)) << pass;
    }
    // Missing directories are asked again rather than remembered.
    EXPECT_FALSE(removal::PassesThroughLink(dir, dir + L"gone\\a.txt", &known));
    EXPECT_FALSE(known.Contains(dir + L"gone"));
}
