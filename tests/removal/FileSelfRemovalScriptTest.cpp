#include <gtest/gtest.h>

#include "removal/FileRemoval.h"
#include "removal/Paths.h"
#include "removal/SelfRemovalScript.h"
#include "support/TestSupport.h"

using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

TEST(FileSelfRemovalScript, TextIsByteExact) {
    const std::string bytes = removal::SelfRemovalScriptBytes(removal::SelfRemovalScriptText(
        L"C:\\Program Files\\Lumenox\\", L"C:\\Program Files\\Lumenox\\uninst.exe", L"C:\\Program Files\\Lumenox\\"));
    // Each command is followed by an empty line; lines 2 to 4 end in a blank.
    const std::string expected =
        "ping -n 3 127.0>nul\r\n\r\n"
        "del \"C:\\Program Files\\Lumenox\\installconfig.xml\" /f /q \r\n\r\n"
        "del \"C:\\Program Files\\Lumenox\\uninst.exe\" /f /q \r\n\r\n"
        "rd \"C:\\Program Files\\Lumenox\\\" /s /q \r\n\r\n";
    EXPECT_EQ(bytes, expected);
}

TEST(FileSelfRemovalScript, UsesTheAnsiCodePage) {
    // "é" is one byte (0xE9) in the Western code pages.
    if (::GetACP() != 1252) GTEST_SKIP() << "needs code page 1252, have " << ::GetACP();
    const std::string bytes =
        removal::SelfRemovalScriptBytes(removal::SelfRemovalScriptText(L"C:\\Caf\u00e9\\", L"C:\\Caf\u00e9\\u.exe",
                                                                       L"C:\\Caf\u00e9\\"));
    EXPECT_NE(bytes.find("del \"C:\\Caf\xE9\\installconfig.xml\" /f /q \r\n"), std::string::npos);
}

TEST(FileSelfRemovalScript, PathIsTickInLowerHexInTemp) {
    EXPECT_EQ(removal::SelfRemovalScriptPath(L"C:\\T", 0xAB12F), L"C:\\T\\ab12f.bat");
    EXPECT_EQ(removal::SelfRemovalScriptPath(L"C:\\T", 0xFFFFFFFFu), L"C:\\T\\ffffffff.bat");
    EXPECT_EQ(removal::SelfRemovalScriptPath(L"C:\\T", 0), L"C:\\T\\0.bat");
}

TEST(FileSelfRemovalScript, WritesScriptForTheRunningExecutable) {
    std::wstring scriptPath;
    removal::WriteSelfRemovalScript(scriptPath);
    ASSERT_FALSE(scriptPath.empty());
    wchar_t temp[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    EXPECT_EQ(scriptPath.rfind(std::wstring(temp) + L"\\", 0), 0u) << "not in %TEMP%";
    EXPECT_EQ(scriptPath.substr(scriptPath.size() - 4), L".bat");

    const std::string bytes = ReadBytes(scriptPath);
    ::DeleteFileW(scriptPath.c_str());
    const std::string expected = removal::SelfRemovalScriptBytes(removal::SelfRemovalScriptText(
        removal::GetExeDirectoryWithSeparator(), removal::GetModulePath(), removal::GetModuleDirectory()));
    EXPECT_EQ(bytes, expected);
    EXPECT_NE(bytes.find("test_removal.exe\" /f /q \r\n"), std::string::npos);
}

TEST(FileSelfRemovalScript, NoScriptWithoutTemp) {
    wchar_t saved[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"TEMP", saved, MAX_PATH);
    ::SetEnvironmentVariableW(L"TEMP", nullptr);
    std::wstring scriptPath = L"stale";
    removal::WriteSelfRemovalScript(scriptPath);
    if (length > 0) ::SetEnvironmentVariableW(L"TEMP", saved);
    EXPECT_TRUE(scriptPath.empty());
}

TEST(FileSelfRemovalScript, ScriptRemovesTheDirectoryWhenRunByCmd) {
    // Slow (the ping waits about two seconds): runs the real script text in the platform's cmd.
    TempDir temp(L"script");
    const std::wstring install = temp / L"lumenox\\";
    ASSERT_TRUE(::CreateDirectoryW(install.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((install + L"skins").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(install + L"installconfig.xml", "<packet/>"));
    ASSERT_TRUE(WriteBytes(install + L"uninst.exe", "MZ"));
    ASSERT_TRUE(WriteBytes(install + L"skins\\a.png", "png"));
    ASSERT_TRUE(WriteBytes(temp / L"beside.txt", "stays"));
    const std::wstring script = temp / L"s.bat";
    ASSERT_TRUE(WriteBytes(script, removal::SelfRemovalScriptBytes(removal::SelfRemovalScriptText(
                                        install, install + L"uninst.exe", install))));

    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const auto result = testing_support::RunProcess(std::wstring(system) + L"\\cmd.exe", L"/c \"" + script + L"\"");
    ASSERT_TRUE(result.finished);
    EXPECT_FALSE(Exists(install));
    EXPECT_TRUE(Exists(temp / L"beside.txt"));
    EXPECT_TRUE(Exists(script)) << "the script does not delete itself";
}
