// The shipped executable's image: GUI subsystem, embedded manifest asking for
// administrator rights, and no dependency on a compiler runtime DLL.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/unique_any.h"
#include "support/TestSupport.h"

TEST(ExecutableImage, IsAGuiProgramOfTheBuildsArchitectureWithoutRuntimeDlls) {
    const std::wstring path = testing_support::BinDir() + L"uninst.exe";
    base::unique_hmodule module(::LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    ASSERT_TRUE(module);
    auto* base = reinterpret_cast<const BYTE*>(module.get());
    const LONG header = reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew;
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + header);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    // The test program is built for the same architecture as the uninstaller beside it.
    EXPECT_EQ(nt->FileHeader.Machine, sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name;
         ++desc) {
        std::string name = reinterpret_cast<const char*>(base + desc->Name);
        for (char& c : name) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        for (const char* runtime : {"libstdc++", "libgcc", "libwinpthread"}) {
            EXPECT_EQ(name.find(runtime), std::string::npos) << name;
        }
    }
}

TEST(ExecutableImage, ManifestRequestsAdministratorAndLongPaths) {
    const std::wstring path = testing_support::BinDir() + L"uninst.exe";
    base::unique_hmodule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    HRSRC res = ::FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(res, nullptr);
    const std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(module.get(), res))),
                               ::SizeofResource(module.get(), res));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos) << manifest;
    // An installation may lie deeper than 260 characters.
    EXPECT_NE(manifest.find("SMI/2016/WindowsSettings\">true</longPathAware>"), std::string::npos) << manifest;
}
