// Writes a product-search container ("lminfo.dat") from a plain XML payload
// file, with the same encoder the uninstaller's reader is checked against.
// Usage: lminfo_writer.exe <payload.xml> <output>
#include <windows.h>

#include <cstdio>
#include <string>

#include "../common/FileBytes.h"
#include "manifest/Settings.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: lminfo_writer <payload.xml> <output>\n");
        return kExitUsage;
    }
    std::string payload;
    if (!companion::ReadAllBytes(argv[1], payload)) {
        std::fprintf(stderr, "cannot read the payload\n");
        return kExitFailed;
    }
    if (!companion::WriteAllBytes(argv[2], manifest::EncodeProductSearchContainer(payload))) {
        std::fprintf(stderr, "cannot write the container\n");
        return kExitFailed;
    }
    return kExitOk;
}
