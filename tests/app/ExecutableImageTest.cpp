// The shipped executable's image: GUI subsystem, embedded manifest asking for
// administrator rights, no dependency on a compiler runtime DLL, and a small file.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/unique_any.h"
#include "support/TestSupport.h"

namespace {

struct ImageInfo {
    WORD subsystem = 0;
    WORD machine = 0;
    std::string imports;  // imported DLL names, lower case, ';'-separated
};

ImageInfo ReadImage(const std::wstring& path) {
    ImageInfo info;
    base::unique_hmodule module(::LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    if (!module) return info;
    auto* base = reinterpret_cast<const BYTE*>(module.get());
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    info.subsystem = nt->OptionalHeader.Subsystem;
    info.machine = nt->FileHeader.Machine;
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name;
         ++desc) {
        std::string name = reinterpret_cast<const char*>(base + desc->Name);
        for (char& c : name) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        info.imports += name + ";";
    }
    return info;
}

std::string ReadManifestResource(const std::wstring& path) {
    base::unique_hmodule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return {};
    HRSRC res = ::FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (!res) return {};
    HGLOBAL data = ::LoadResource(module.get(), res);
    return std::string(static_cast<const char*>(::LockResource(data)), ::SizeofResource(module.get(), res));
}

// A stripped release build with every image embedded fits in this many bytes;
// iostreams or std::regex pulled in by a new include would overstep it.
constexpr ULONGLONG kMaxReleaseExeBytes = 1000 * 1000;

}  // namespace

TEST(ExecutableImage, IsAGuiProgramOfTheBuildsArchitectureWithoutRuntimeDlls) {
    // The test program is built for the same architecture as the uninstaller beside it.
    constexpr WORD kBuildMachine = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    const ImageInfo info = ReadImage(testing_support::BinDir() + L"uninst.exe");
    EXPECT_EQ(info.subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_EQ(info.machine, kBuildMachine);
    EXPECT_EQ(info.imports.find("libstdc++"), std::string::npos) << info.imports;
    EXPECT_EQ(info.imports.find("libgcc"), std::string::npos) << info.imports;
    EXPECT_EQ(info.imports.find("libwinpthread"), std::string::npos) << info.imports;
}

TEST(ExecutableImage, ManifestRequestsAdministratorAndLongPaths) {
    const std::string manifest = ReadManifestResource(testing_support::BinDir() + L"uninst.exe");
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos) << manifest;
    // An installation may lie deeper than 260 characters.
    EXPECT_NE(manifest.find("SMI/2016/WindowsSettings\">true</longPathAware>"), std::string::npos) << manifest;
}

TEST(ExecutableImage, ReleaseBuildStaysWithinItsSizeBudget) {
#ifndef UNINST_STRIPPED_RELEASE
    GTEST_SKIP() << "only a stripped release build has a size budget";
#endif
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(::GetFileAttributesExW((testing_support::BinDir() + L"uninst.exe").c_str(), GetFileExInfoStandard, &data));
    const ULONGLONG bytes = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    EXPECT_LE(bytes, kMaxReleaseExeBytes);
}
