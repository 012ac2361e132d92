#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>

#include "base/platform.h"
#include "base/text.h"
#include "removal/ProcessControl.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"

using namespace removal;
using testing_support::ChildProcess;
using testing_support::StartSleeperCopy;
using testing_support::TempDir;

namespace {
constexpr DWORD kExitWaitMs = 5000;
}

TEST(ProcessControl, ImagePathsOfAChild) {
    // A child of the test's own architecture, and a 64-bit one: the i686 build
    // is a 32-bit process on a 64-bit system there, which cannot read a 64-bit
    // process's modules and finds its image path through the image-file-name query.
    struct Case {
        const wchar_t* label;
        std::wstring binDir;
        bool modulesReadable;
    };
    const Case cases[] = {{L"own", testing_support::BinDir(), true},
                          {L"64-bit", testing_support::NativeBinDir(), !IsOwnProcessWow64()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(base::WideToUtf8(c.label));
        TempDir dir(L"pc");
        ChildProcess child = StartSleeperCopy(dir.path(), L"Path Probe.exe", L"--ms 60000", c.binDir);
        ASSERT_TRUE(child.started());
        const std::wstring expected = dir.path() + L"Path Probe.exe";

        EXPECT_TRUE(base::EqualsNoCase(GetProcessPathById(child.id()), expected)) << GetProcessPathById(child.id());
        EXPECT_EQ(GetParentProcessId(child.id()), ::GetCurrentProcessId());

        ProcessPathResolver resolver;
        std::vector<DWORD> ids;
        ASSERT_TRUE(resolver.EnumerateProcessIds(ids));
        EXPECT_NE(std::find(ids.begin(), ids.end(), child.id()), ids.end());
        EXPECT_NE(std::find(ids.begin(), ids.end(), ::GetCurrentProcessId()), ids.end());
        EXPECT_TRUE(base::EqualsNoCase(resolver.GetImagePathById(child.id()), expected))
            << resolver.GetImagePathById(child.id());
        EXPECT_TRUE(base::EqualsNoCase(resolver.GetImagePathOfHandle(child.handle()), expected));
        EXPECT_EQ(base::EqualsNoCase(resolver.GetModulePathOfHandle(child.handle()), expected), c.modulesReadable)
            << resolver.GetModulePathOfHandle(child.handle());

        // The platform answers a device path (Wine too: \Device\HarddiskVolume1\...),
        // which is why the drive map is needed.
        wchar_t raw[MAX_PATH] = {};
        ::GetProcessImageFileNameW(child.handle(), raw, MAX_PATH);
        EXPECT_EQ(std::wstring(raw).rfind(L"\\Device\\", 0), 0u) << raw;

        // Once the last handle is gone the id names no process. Wine frees the
        // process object a moment after the last handle closes, hence the poll.
        const DWORD id = child.id();
        child = ChildProcess();
        for (int i = 0; i < 100 && !GetProcessPathById(id).empty(); ++i) ::Sleep(10);
        EXPECT_EQ(GetProcessPathById(id), L"");
        EXPECT_EQ(GetParentProcessId(id), kNoParentProcess);
        EXPECT_EQ(resolver.GetImagePathById(id), L"");
    }
}

TEST(ProcessControl, KillProcessesByPathIgnoresCase) {
    TempDir dir(L"kp");
    ChildProcess first = StartSleeperCopy(dir.path(), L"Target.exe");
    const std::wstring log = dir.path() + L"second.log";
    ChildProcess second(dir.path() + L"Target.exe", L"--ms 60000 --log \"" + log + L"\"");
    ASSERT_TRUE(testing_support::WaitForLine(log, kExitWaitMs));
    ChildProcess other = StartSleeperCopy(dir.path(), L"Other.exe");
    ASSERT_TRUE(first.started() && second.started() && other.started());

    EXPECT_EQ(KillProcessesByPath(base::ToLowerInvariant(dir.path()) + L"TARGET.EXE"), kKillResultTerminated);
    EXPECT_TRUE(first.WaitExit(kExitWaitMs));
    EXPECT_TRUE(second.WaitExit(kExitWaitMs));
    DWORD code = 1;
    ::GetExitCodeProcess(first.handle(), &code);
    EXPECT_EQ(code, 0u);  // terminated with exit code 0
    EXPECT_TRUE(other.Running());

    EXPECT_EQ(KillProcessesByPath(dir.path() + L"Target.exe"), kKillResultNoneTerminated);
    EXPECT_EQ(KillProcessesByPath(dir.path() + L"Other"), kKillResultNoneTerminated);  // whole path only
    EXPECT_EQ(KillProcessesByPath(L""), kKillResultNoPath);
    EXPECT_EQ(kKillResultNoneTerminated, static_cast<HRESULT>(0x80004005));
    EXPECT_EQ(kKillResultNoPath, static_cast<HRESULT>(0x80070057));
    EXPECT_TRUE(other.Running());
}

TEST(ProcessControl, KillProcessesUnderDirectoryMatchesWholeDirectory) {
    TempDir root(L"kd");
    const std::wstring lumenox = root.path() + L"lumenox\\";
    const std::wstring lumen = root.path() + L"lumen\\";
    ::CreateDirectoryW(lumenox.c_str(), nullptr);
    ChildProcess nested = StartSleeperCopy(lumenox + L"bin\\", L"x.exe");
    // 64-bit: the i686 build must find it without reading its modules.
    ChildProcess top = StartSleeperCopy(lumenox, L"y.exe", L"--ms 60000", testing_support::NativeBinDir());
    ChildProcess sibling = StartSleeperCopy(lumen, L"x.exe");
    ASSERT_TRUE(nested.started() && top.started() && sibling.started());

    EXPECT_EQ(KillProcessesUnderDirectory(lumenox), 2);
    EXPECT_TRUE(nested.WaitExit(kExitWaitMs));
    EXPECT_TRUE(top.WaitExit(kExitWaitMs));
    EXPECT_TRUE(sibling.Running());

    // Case does not matter; nothing left under lumenox.
    EXPECT_EQ(KillProcessesUnderDirectory(base::ToLowerInvariant(lumenox)), 0);
    EXPECT_TRUE(sibling.Running());
    EXPECT_EQ(KillProcessesUnderDirectory(L""), kKillUnderDirNoPath);
}

TEST(ProcessControl, KillProcessesUnderDirectorySparesCaller) {
    // The test program's own directory holds the caller itself: it must survive.
    TempDir dummy(L"kc");
    ChildProcess companion = StartSleeperCopy(dummy.path(), L"z.exe");
    ASSERT_TRUE(companion.started());
    const std::wstring ownDir = base::GetExeDirectoryWithSeparator();
    const std::wstring log = dummy.path() + L"local.log";
    ChildProcess local(testing_support::BinDir() + L"sleeper.exe", L"--ms 60000 --log \"" + log + L"\"");
    ASSERT_TRUE(local.started());
    ASSERT_TRUE(testing_support::WaitForLine(log, kExitWaitMs));
    EXPECT_EQ(KillProcessesUnderDirectory(ownDir), 1);  // the sleeper in bin, not the test itself
    EXPECT_TRUE(local.WaitExit(kExitWaitMs));
    EXPECT_TRUE(companion.Running());
}

TEST(ProcessControl, OsVersionClassTable) {
    auto nt = [](DWORD major, DWORD minor, bool workstation = true, DWORD tMajor = 0, DWORD tMinor = 0,
                 DWORD tBuild = 0) {
        OsVersionFacts f;
        f.queried = true;
        f.platformId = VER_PLATFORM_WIN32_NT;
        f.major = major;
        f.minor = minor;
        f.workstation = workstation;
        f.trueMajor = tMajor;
        f.trueMinor = tMinor;
        f.trueBuild = tBuild;
        return ClassifyOsVersion(f);
    };
    auto nine = [](DWORD build) {
        OsVersionFacts f;
        f.queried = true;
        f.platformId = VER_PLATFORM_WIN32_WINDOWS;
        f.major = 4;
        f.build = build;
        return ClassifyOsVersion(f);
    };
    EXPECT_EQ(ClassifyOsVersion(OsVersionFacts{}), kOsUnknown);
    EXPECT_EQ(nine(0x040A0000 | 2222), kOsWin9x);  // 98 SE: 4.10
    EXPECT_EQ(nine(0x04590000), kOsWin9x);
    EXPECT_EQ(nine(0x045A0000 | 3000), kOsWinMe);  // 4.90
    EXPECT_EQ(nt(5, 0), kOsWin2000);
    EXPECT_EQ(nt(4, 0), kOsWinNt4);
    EXPECT_EQ(nt(3, 51), kOsWinNt4);
    EXPECT_EQ(nt(5, 2, false), kOsWinXp64OrServer2003);
    EXPECT_EQ(nt(5, 1), kOsWinXp);
    EXPECT_EQ(nt(5, 3), kOsUnknown);
    EXPECT_EQ(nt(6, 0), kOsVista);
    EXPECT_EQ(nt(6, 1), kOsWin7);
    EXPECT_EQ(nt(6, 0, false), kOsServer2008);
    EXPECT_EQ(nt(6, 1, false), kOsServer2008);
    // From 6.2 on, the standard query stops at 6.2; the true numbers decide.
    EXPECT_EQ(nt(6, 2, true, 6, 2), kOsWin8);
    EXPECT_EQ(nt(6, 2, true, 6, 3), kOsWin81);
    EXPECT_EQ(nt(6, 2, true, 6, 4), kOsWin10);
    EXPECT_EQ(nt(6, 2, true, 10, 0, 19045), kOsWin10);
    EXPECT_EQ(nt(6, 2, true, 10, 0, 21995), kOsWin10);
    EXPECT_EQ(nt(6, 2, true, 10, 0, 21996), kOsWin11);
    EXPECT_EQ(nt(10, 0, true, 10, 0, 22631), kOsWin11);
    EXPECT_EQ(nt(6, 2, true, 6, 5), kOsWin8);   // unrecognised workstation version
    EXPECT_EQ(nt(6, 2, true, 0, 0), kOsWin8);   // true numbers unavailable
    EXPECT_EQ(nt(6, 3, false, 6, 3), kOsUnknown);  // server editions from 6.2 on
    EXPECT_EQ(nt(10, 0, false, 10, 0, 20348), kOsUnknown);
    EXPECT_EQ(nt(7, 0, true, 7, 0), kOsWin8);
    OsVersionFacts other;
    other.queried = true;
    other.platformId = 3;  // VER_PLATFORM_WIN32_CE
    EXPECT_EQ(ClassifyOsVersion(other), kOsUnknown);
}

TEST(ProcessControl, OsVersionClassAndArchitectureLive) {
    using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
    auto numbers = reinterpret_cast<RtlGetNtVersionNumbersFn>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetNtVersionNumbers"));
    ASSERT_NE(numbers, nullptr);
    DWORD major = 0, minor = 0, build = 0;
    numbers(&major, &minor, &build);
    build &= 0xFFFF;
    const int live = GetOsVersionClass();
    RecordProperty("os_class", live);
    std::printf("true version %lu.%lu.%lu, class %d\n", major, minor, build, live);
    int expected = kOsUnknown;
    if (major == 10) expected = build >= 21996 ? kOsWin11 : kOsWin10;
    if (major == 6 && minor == 1) expected = kOsWin7;
    if (major == 6 && minor == 3) expected = kOsWin81;
    EXPECT_EQ(live, expected);
    EXPECT_EQ(GetOsVersionClass(), live);

    SYSTEM_INFO info = {};
    ::GetNativeSystemInfo(&info);
    EXPECT_EQ(IsNativeSystem64(), info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                                      info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64);
    // Both builds run on a 64-bit system (a 64-bit prefix): the i686 build under WoW64.
    EXPECT_TRUE(IsNativeSystem64());
    EXPECT_EQ(IsOwnProcessWow64(), sizeof(void*) == 4);
}

TEST(ProcessControl, KernelVersionFallbackReadsTheNativeKernelImage) {
    // The native system folder holds the 64-bit kernel image for both builds; a
    // 32-bit process's System32 would be the 32-bit SysWOW64, which on Windows has none.
    const std::wstring folder = GetNativeSystemFolder();
    EXPECT_EQ(testing_support::ImageMachine(folder + L"\\ntoskrnl.exe"), IMAGE_FILE_MACHINE_AMD64) << folder;
    DWORD major = 0;
    DWORD minor = 0;
    ASSERT_TRUE(ReadKernelImageVersion(major, minor));
    EXPECT_GE(major, 5u);  // an NT kernel of Windows 2000 or later
}

TEST(ProcessControl, TerminateAndPrivilege) {
    EXPECT_TRUE(EnableDebugPrivilege());
    EXPECT_FALSE(TerminateProcessById(::GetCurrentProcessId()));  // never the own process
    ChildProcess child(testing_support::BinDir() + L"sleeper.exe", L"--ms 60000");
    ASSERT_TRUE(child.started());
    EXPECT_TRUE(TerminateProcessById(child.id()));
    EXPECT_TRUE(child.WaitExit(kExitWaitMs));
    const DWORD id = child.id();
    child = ChildProcess();
    for (int i = 0; i < 100 && TerminateProcessById(id); ++i) ::Sleep(10);  // see ImagePathsOfAChild
    EXPECT_FALSE(TerminateProcessById(id));
}
