// The two preparations of the uninstall button, against the lock-library and
// document-kit stand-ins.
#include <gtest/gtest.h>

#include "app/UninstallRun.h"
#include "support/FileSystemSupport.h"
#include "support/ProductKey.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(PrepareLockLibrary, HandsTheIdentityAndAsksBeforeActingForBothKinds) {
    ProductKeyScope product;
    ASSERT_TRUE(ProductKeyScope::SetDword(L"tid1", 7));
    ASSERT_TRUE(ProductKeyScope::SetDword(L"tid2", 4294967295u));
    ASSERT_TRUE(ProductKeyScope::SetDword(L"id", 33));
    ASSERT_TRUE(ProductKeyScope::SetString(L"uuid", L"U-1"));
    TempDir dir(L"lock");
    app::PrepareLockLibrary(dir.path());  // no library: nothing happens
    ASSERT_TRUE(CopyInto(L"Pavrenkit.dll", dir.path()));
    app::PrepareLockLibrary(dir.path());
    const std::string params = "SetParams 11 [7|4294967295|0|0|33|U-1|1|0|0|0|0]";
    EXPECT_EQ(ReadLines(dir / L"Pavrenkit.log"),
              (std::vector<std::string>{params, "Query 1 7 4294967295 1 -> 1", "Act 1 7 4294967295 1", params,
                                        "Query 1 7 4294967295 2 -> 1", "Act 1 7 4294967295 2", "release"}));
    // The library is unloaded again: the file can be deleted.
    EXPECT_TRUE(::DeleteFileW((dir / L"Pavrenkit.dll").c_str()));
}

TEST(PrepareLockLibrary, ANegativeAnswerSkipsTheAction) {
    ProductKeyScope product;
    TempDir dir(L"lock");
    ASSERT_TRUE(CopyInto(L"Pavrenkit.dll", dir.path()));
    ASSERT_TRUE(WriteBytes(dir / L"Pavrenkit_config.txt", "query=0\n"));
    app::PrepareLockLibrary(dir.path());
    const std::vector<std::string> lines = ReadLines(dir / L"Pavrenkit.log");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1].substr(0, 6), "Query ");
    EXPECT_EQ(lines[3].substr(0, 6), "Query ");
}

TEST(PrepareDocumentKit, StartsTheKitsUninstallerOnlyWithItsData) {
    TempDir dir(L"kit");
    ASSERT_TRUE(CopyInto(L"qdoxkit.exe", dir.path()));
    app::PrepareDocumentKit(dir.path());  // no qdoxkit.dat: a start would log an empty directory
    ASSERT_TRUE(WriteBytes(dir / L"qdoxkit.dat", "[common]\r\ninstall_dir=C:\\Program Files\\Kit\r\n"));
    app::PrepareDocumentKit(dir.path());
    ASSERT_TRUE(WaitUntil([&] { return !ReadLines(dir / L"qdoxkit.log").empty(); }));
    EXPECT_EQ(ReadLines(dir / L"qdoxkit.log"),
              (std::vector<std::string>{"/uninstall /install_dir:C:\\Program Files\\Kit"}));
}
