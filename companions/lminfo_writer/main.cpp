// Writes a product-search container ("lminfo.dat") from a plain XML payload
// file, with the same encoder the uninstaller's reader is checked against.
// Usage: lminfo_writer.exe <payload.xml> <output>
#include <windows.h>

#include <string>

#include "../common/FileBytes.h"
#include "manifest/Settings.h"

int wmain(int argc, wchar_t** argv) {
    return companion::RunWriter(argc, argv, "lminfo_writer <payload.xml> <output>",
                                [](const std::string& input) { return manifest::EncodeProductSearchContainer(input); });
}
