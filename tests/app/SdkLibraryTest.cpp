#include <gtest/gtest.h>

#include "base/SdkLibrary.h"
#include "support/TestSupport.h"

using base::ProductValueLookup;
using testing_support::CopyInto;
using testing_support::TempDir;
using testing_support::WriteUtf8;

TEST(ProductValueLookup, WithoutLibraryAnswersTheKey) {
    TempDir dir(L"sdk");
    ProductValueLookup lookup(dir.path());
    EXPECT_FALSE(lookup.HasObject());
    EXPECT_EQ(lookup.Lookup(L"QUninstallToolName"), L"QUninstallToolName");
    EXPECT_EQ(lookup.Lookup(L""), L"");
}

TEST(ProductValueLookup, AnswersFromTheLibrary) {
    TempDir dir(L"sdk");
    ASSERT_TRUE(CopyInto(L"qsdxbase.dll", dir.path()));
    ASSERT_TRUE(WriteUtf8(dir / L"qsdxbase_values.txt",
                          L"# values\nQUninstallToolName=Guard_\u770B\nuninstall_key=Lumenox\n"));
    // The directory may come with or without its trailing separator.
    std::wstring bare = dir.path();
    bare.pop_back();
    ProductValueLookup lookup(bare);
    ASSERT_TRUE(lookup.HasObject());
    EXPECT_EQ(lookup.Lookup(L"QUninstallToolName"), L"Guard_\u770B");
    EXPECT_EQ(lookup.Lookup(L"uninstall_key"), L"Lumenox");
    // The library has no value for the key: an empty answer, unlike no library.
    EXPECT_EQ(lookup.Lookup(L"unknown"), L"");
}

TEST(ProductValueLookup, LibraryWithoutTheExportIsIgnored) {
    TempDir dir(L"sdk");
    // A real DLL under the SDK's name that lacks QSDllGetClassObject.
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_TRUE(::CopyFileW((std::wstring(system) + L"\\version.dll").c_str(), (dir / L"qsdxbase.dll").c_str(), FALSE));
    EXPECT_EQ(base::SdkLibrary::Load(dir.path()), nullptr);
    ProductValueLookup lookup(dir.path());
    EXPECT_FALSE(lookup.HasObject());
    EXPECT_EQ(lookup.Lookup(L"k"), L"k");
}

TEST(ProductValueLookup, ProcessInstanceLoadsBesideTheExecutable) {
    // The test program's directory holds the companion library but no values file.
    ProductValueLookup& a = ProductValueLookup::Instance();
    EXPECT_EQ(&a, &ProductValueLookup::Instance());
    EXPECT_TRUE(a.HasObject());
    EXPECT_EQ(base::LookupProductValue(L"QUninstallToolName"), L"");
}
