// The stand-ins the sample installation carries: the viewer window, the lock
// library and the document kit.
#include <gtest/gtest.h>

#include <unknwn.h>

#include <cstdint>

#include "SampleLayout.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "support/ChildProcess.h"
#include "support/FileSystemSupport.h"
#include "support/TestSupport.h"

// The lock library's interface as its callers see it. Not in the anonymous
// namespace: there the compiler would conclude that no object implements it
// and drop the calls.
namespace lockkit_test {
struct ILockKit : public IUnknown {
    virtual HRESULT __stdcall Reserved3() = 0;
    virtual HRESULT __stdcall Reserved4() = 0;
    virtual HRESULT __stdcall Reserved5() = 0;
    virtual int32_t __stdcall Query(int32_t a, uint32_t tid1, uint32_t tid2, int32_t kind) = 0;
    virtual int32_t __stdcall Act(int32_t a, uint32_t tid1, uint32_t tid2, int32_t kind) = 0;
    virtual HRESULT __stdcall Reserved8() = 0;
    virtual void __stdcall SetParams(const wchar_t* const* items, uint32_t count) = 0;
};
}  // namespace lockkit_test

namespace {

using lockkit_test::ILockKit;
using testing_support::ChildProcess;
using testing_support::ReadLines;
using testing_support::TempDir;

constexpr DWORD kWaitMs = 10000;

constexpr GUID kLockKitId = {0xF3978773, 0x1845, 0x4B00, {0x83, 0xA1, 0xAC, 0xE1, 0x93, 0x59, 0x8A, 0x6B}};
using GetClassObjectFn = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);

HWND FindViewer() { return ::FindWindowW(sample::kViewerClassName, nullptr); }

TEST(InstallerCompanionsTest, ViewerClosesOnTheCloseMessageOrIgnoresItWhenAsked) {
    TempDir dir(L"viewer");
    ASSERT_TRUE(testing_support::CopyInto(L"lumenox_viewer.exe", dir.path()));
    const std::wstring log = dir / L"lumenox_viewer.log";
    {
        ChildProcess viewer(dir / L"lumenox_viewer.exe", L"--ignore-close --ms 30000");
        ASSERT_TRUE(viewer.started());
        ASSERT_TRUE(testing_support::WaitUntil([] { return FindViewer() != nullptr; }, kWaitMs));
        ::SendMessageW(FindViewer(), sample::kCloseViewerMessage, 0, 0);
        EXPECT_NE(FindViewer(), nullptr);
        EXPECT_TRUE(viewer.Running());
    }  // ended with the child
    ASSERT_TRUE(testing_support::WaitUntil([] { return FindViewer() == nullptr; }, kWaitMs));

    ChildProcess viewer(dir / L"lumenox_viewer.exe", L"--windows 2 --ms 30000");
    ASSERT_TRUE(testing_support::WaitUntil([] { return FindViewer() != nullptr; }, kWaitMs));
    // The uninstaller's loop: send, look again, until no window is left.
    int sends = 0;
    for (HWND window = FindViewer(); window != nullptr && sends < 10; window = FindViewer(), ++sends) {
        ::SendMessageW(window, sample::kCloseViewerMessage, 0, 0);
    }
    EXPECT_EQ(sends, 2);
    EXPECT_TRUE(viewer.WaitExit(kWaitMs));
    const auto lines = ReadLines(log);
    EXPECT_EQ(lines, (std::vector<std::string>{"opened 1", "ignored 0x472", "opened 2", "closed by 0x472",
                                               "closed by 0x472"}));
}

TEST(InstallerCompanionsTest, LockLibraryLogsEveryCallAndAnswersQueriesAsConfigured) {
    TempDir dir(L"lockkit");
    ASSERT_TRUE(testing_support::CopyInto(L"Pavrenkit.dll", dir.path()));
    ASSERT_TRUE(testing_support::WriteBytes(dir / L"Pavrenkit_config.txt", "query=0\r\n"));
    {
        base::unique_hmodule library(::LoadLibraryW((dir / L"Pavrenkit.dll").c_str()));
        ASSERT_TRUE(library);
        auto get = reinterpret_cast<GetClassObjectFn>(::GetProcAddress(library.get(), "QSDllGetClassObject"));
        ASSERT_NE(get, nullptr);
        void* other = nullptr;
        EXPECT_EQ(get(kLockKitId, IID_IUnknown, &other), E_NOINTERFACE);
        ILockKit* kit = nullptr;
        ASSERT_EQ(get(kLockKitId, kLockKitId, reinterpret_cast<void**>(&kit)), S_OK);
        const wchar_t* items[11] = {L"1001", L"2002", L"0", L"0", L"3003", L"uuid", L"3", L"0", L"0", L"0", L"0"};
        kit->SetParams(items, 11);
        EXPECT_EQ(kit->Query(1, 1001, 2002, 1), 0);
        kit->Act(1, 1001, 2002, 2);
        kit->Release();
    }
    EXPECT_EQ(ReadLines(dir / L"Pavrenkit.log"),
              (std::vector<std::string>{"SetParams 11 [1001|2002|0|0|3003|uuid|3|0|0|0|0]", "Query 1 1001 2002 1 -> 0",
                                        "Act 1 1001 2002 2", "release"}));
}

TEST(InstallerCompanionsTest, DocumentKitAndLogRedirectionKeepTheCommandLine) {
    TempDir dir(L"dockit");
    TempDir logs(L"logs");
    ASSERT_TRUE(testing_support::CopyInto(L"qdoxkit.exe", dir.path()));
    auto run = testing_support::RunProcess(dir / L"qdoxkit.exe", L"/uninstall /install_dir:C:\\Program Files\\Q");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(ReadLines(dir / L"qdoxkit.log"), (std::vector<std::string>{"/uninstall /install_dir:C:\\Program Files\\Q"}));

    // Redirected, the log outlives the directory of the program.
    ASSERT_TRUE(testing_support::WriteBytes(dir / L"companion_logs.txt", base::WideToUtf8(logs.path()) + "\r\n"));
    run = testing_support::RunProcess(dir / L"qdoxkit.exe", L"/x");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(ReadLines(logs / L"qdoxkit.log"), (std::vector<std::string>{"/x"}));
}

}  // namespace
