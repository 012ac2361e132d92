#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>

#include "base/text.h"
#include "removal/ProcessControl.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"
#include "base/platform.h"

using namespace removal;
using namespace testing_support;

namespace {

constexpr DWORD kExitWaitMs = 5000;

// Wine frees a process object a moment after its last handle closes.
constexpr DWORD kProcessGoneMs = 1000;

}  // namespace

TEST(ProcessControl, ImagePathsOfAChild) {
    // The i686 build cannot read a 64-bit process's modules and must find its
    // image path through the image-file-name query.
    const std::pair<std::wstring, bool> cases[] = {{BinDir(), true}, {NativeBinDir(), !IsOwnProcessWow64()}};
    for (const auto& [binDir, modulesReadable] : cases) {
        SCOPED_TRACE(base::WideToUtf8(binDir));
        TempDir dir(L"pc");
        ChildProcess child = StartSleeperCopy(dir.path(), L"Path Probe.exe", L"--ms 60000", binDir);
        ASSERT_TRUE(child.started());
        const std::wstring expected = dir.path() + L"Path Probe.exe";
        ProcessPathResolver resolver;
        EXPECT_TRUE(base::EqualsNoCase(GetProcessPathById(child.id()), expected));
        EXPECT_EQ(GetParentProcessId(child.id()), ::GetCurrentProcessId());
        std::vector<DWORD> ids;
        ASSERT_TRUE(resolver.EnumerateProcessIds(ids));
        EXPECT_NE(std::find(ids.begin(), ids.end(), child.id()), ids.end());
        EXPECT_NE(std::find(ids.begin(), ids.end(), ::GetCurrentProcessId()), ids.end());
        EXPECT_TRUE(base::EqualsNoCase(resolver.GetImagePathById(child.id()), expected));
        EXPECT_TRUE(base::EqualsNoCase(resolver.GetImagePathOfHandle(child.handle()), expected));
        EXPECT_EQ(base::EqualsNoCase(resolver.GetModulePathOfHandle(child.handle()), expected), modulesReadable);
        // The platform answers a device path, hence the drive map.
        wchar_t raw[MAX_PATH] = {};
        ::GetProcessImageFileNameW(child.handle(), raw, MAX_PATH);
        EXPECT_EQ(std::wstring(raw).rfind(L"\\Device\\", 0), 0u);
        const DWORD id = child.id();
        child = ChildProcess();
        testing_support::WaitUntil([&] { return GetProcessPathById(id).empty(); }, kProcessGoneMs);
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
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(KillProcessesByPath(dir.path() + L"Target.exe"), kKillResultNoneTerminated);
    EXPECT_EQ(KillProcessesByPath(dir.path() + L"Other"), kKillResultNoneTerminated);  // whole path only
    EXPECT_EQ(KillProcessesByPath(L""), kKillResultNoPath);
    EXPECT_TRUE(other.Running());
}

TEST(ProcessControl, KillProcessesUnderDirectoryMatchesWholeDirectory) {
    TempDir root(L"kd");
    const std::wstring lumenox = root.path() + L"lumenox\\";
    ::CreateDirectoryW(lumenox.c_str(), nullptr);
    ChildProcess nested = StartSleeperCopy(lumenox + L"bin\\", L"x.exe");
    // 64-bit: the i686 build must find it without reading its modules.
    ChildProcess top = StartSleeperCopy(lumenox, L"y.exe", L"--ms 60000", NativeBinDir());
    ChildProcess sibling = StartSleeperCopy(root.path() + L"lumen\\", L"x.exe");
    ASSERT_TRUE(nested.started() && top.started() && sibling.started());
    EXPECT_EQ(KillProcessesUnderDirectory(lumenox), 2);
    EXPECT_TRUE(nested.WaitExit(kExitWaitMs));
    EXPECT_TRUE(top.WaitExit(kExitWaitMs));
    EXPECT_EQ(KillProcessesUnderDirectory(base::ToLowerInvariant(lumenox)), 0);
    EXPECT_TRUE(sibling.Running());
    EXPECT_EQ(KillProcessesUnderDirectory(L""), kKillUnderDirNoPath);
}

TEST(ProcessControl, KillProcessesUnderDirectorySparesCaller) {
    // The test program's own directory holds the caller itself: it must survive.
    TempDir dummy(L"kc");
    ChildProcess companion = StartSleeperCopy(dummy.path(), L"z.exe");
    const std::wstring log = dummy.path() + L"local.log";
    ChildProcess local(BinDir() + L"sleeper.exe", L"--ms 60000 --log \"" + log + L"\"");
    ASSERT_TRUE(companion.started() && testing_support::WaitForLine(log, kExitWaitMs));
    EXPECT_EQ(KillProcessesUnderDirectory(base::GetExeDirectoryWithSeparator()), 1);
    EXPECT_TRUE(local.WaitExit(kExitWaitMs));
    EXPECT_TRUE(companion.Running());
}

TEST(ProcessControl, OsVersionClassTable) {
    constexpr DWORD kNt = VER_PLATFORM_WIN32_NT, k9x = VER_PLATFORM_WIN32_WINDOWS, kCe = 3, kServer = 0;
    const struct {
        DWORD v[8];  // platform, major, minor, build (9x), workstation, true major, minor, build
        int expected;
    } cases[] = {
        {{k9x, 4, 0, 0x040A0000 | 2222, 1}, kOsWin9x}, {{k9x, 4, 0, 0x04590000, 1}, kOsWin9x},  // 98 SE: 4.10
        {{k9x, 4, 0, 0x045A0000 | 3000, 1}, kOsWinMe},                                            // 4.90
        {{kNt, 5, 0, 0, 1}, kOsWin2000}, {{kNt, 4, 0, 0, 1}, kOsWinNt4}, {{kNt, 3, 51, 0, 1}, kOsWinNt4},
        {{kNt, 5, 2, 0, kServer}, kOsWinXp64OrServer2003}, {{kNt, 5, 1, 0, 1}, kOsWinXp},
        {{kNt, 5, 3, 0, 1}, kOsUnknown}, {{kNt, 6, 0, 0, 1}, kOsVista}, {{kNt, 6, 1, 0, 1}, kOsWin7},
        {{kNt, 6, 0, 0, kServer}, kOsServer2008}, {{kNt, 6, 1, 0, kServer}, kOsServer2008},
        // From 6.2 on the standard query stops at 6.2; the true numbers decide.
        {{kNt, 6, 2, 0, 1, 6, 2}, kOsWin8}, {{kNt, 6, 2, 0, 1, 6, 3}, kOsWin81}, {{kNt, 6, 2, 0, 1, 6, 4}, kOsWin10},
        {{kNt, 6, 2, 0, 1, 10, 0, 19045}, kOsWin10}, {{kNt, 6, 2, 0, 1, 10, 0, 21995}, kOsWin10},
        {{kNt, 6, 2, 0, 1, 10, 0, 21996}, kOsWin11}, {{kNt, 10, 0, 0, 1, 10, 0, 22631}, kOsWin11},
        // An unrecognised workstation version or none known is 8; servers from 6.2 on are unknown.
        {{kNt, 6, 2, 0, 1, 6, 5}, kOsWin8}, {{kNt, 6, 2, 0, 1, 0, 0}, kOsWin8}, {{kNt, 7, 0, 0, 1, 7, 0}, kOsWin8},
        {{kNt, 6, 3, 0, kServer, 6, 3}, kOsUnknown}, {{kNt, 10, 0, 0, kServer, 10, 0, 20348}, kOsUnknown},
        {{kCe, 6, 0, 0, 1}, kOsUnknown},
    };
    EXPECT_EQ(ClassifyOsVersion(OsVersionFacts{}), kOsUnknown);
    for (const auto& c : cases) {
        const OsVersionFacts f{true, c.v[0], c.v[1], c.v[2], c.v[3], c.v[4] != 0, c.v[5], c.v[6], c.v[7]};
        EXPECT_EQ(ClassifyOsVersion(f), c.expected) << c.v[0] << " " << c.v[1] << "." << c.v[2] << " " << c.v[5];
    }
}

TEST(ProcessControl, OsVersionClassAndArchitectureLive) {
    using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
    auto numbers = reinterpret_cast<RtlGetNtVersionNumbersFn>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetNtVersionNumbers"));
    ASSERT_NE(numbers, nullptr);
    DWORD major = 0, minor = 0, build = 0;
    numbers(&major, &minor, &build);
    int expected = major == 10 ? ((build & 0xFFFF) >= 21996 ? kOsWin11 : kOsWin10) : kOsUnknown;
    if (major == 6 && minor == 1) expected = kOsWin7;
    if (major == 6 && minor == 3) expected = kOsWin81;
    EXPECT_EQ(GetOsVersionClass(), expected);
    EXPECT_EQ(GetOsVersionClass(), expected);  // the cached answer
    // Both builds run on a 64-bit prefix: the i686 build under WoW64.
    EXPECT_TRUE(IsNativeSystem64());
    EXPECT_EQ(IsOwnProcessWow64(), sizeof(void*) == 4);
}

TEST(ProcessControl, KernelVersionFallbackReadsTheNativeKernelImage) {
    // A 32-bit process's System32 would be SysWOW64, which on Windows has no kernel image.
    EXPECT_EQ(testing_support::ImageMachine(GetNativeSystemFolder() + L"\\ntoskrnl.exe"), IMAGE_FILE_MACHINE_AMD64);
    DWORD major = 0;
    DWORD minor = 0;
    ASSERT_TRUE(ReadKernelImageVersion(major, minor));
    EXPECT_GE(major, 5u);
}

TEST(ProcessControl, TerminateAndPrivilege) {
    EXPECT_TRUE(EnableDebugPrivilege());
    EXPECT_FALSE(TerminateProcessById(::GetCurrentProcessId()));  // never the own process
    ChildProcess child(BinDir() + L"sleeper.exe", L"--ms 60000");
    ASSERT_TRUE(child.started());
    EXPECT_TRUE(TerminateProcessById(child.id()));
    EXPECT_TRUE(child.WaitExit(kExitWaitMs));
    const DWORD id = child.id();
    child = ChildProcess();
    testing_support::WaitUntil([&] { return !TerminateProcessById(id); }, kProcessGoneMs);
    EXPECT_FALSE(TerminateProcessById(id));
}
