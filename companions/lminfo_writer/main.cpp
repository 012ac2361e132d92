// Writes a product-search container ("lminfo.dat") from a plain XML payload
// file, with the same encoder the uninstaller's reader is checked against.
// Usage: lminfo_writer.exe <payload.xml> <output>
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/unique_any.h"
#include "manifest/Settings.h"

namespace {

bool ReadAll(const wchar_t* path, std::string& out) {
    base::unique_hfile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) out.append(buffer, read);
    return true;
}

bool WriteAll(const wchar_t* path, const std::string& bytes) {
    base::unique_hfile file(
        ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: lminfo_writer <payload.xml> <output>\n");
        return 2;
    }
    std::string payload;
    if (!ReadAll(argv[1], payload)) {
        std::fprintf(stderr, "cannot read the payload\n");
        return 1;
    }
    if (!WriteAll(argv[2], manifest::EncodeProductSearchContainer(payload))) {
        std::fprintf(stderr, "cannot write the container\n");
        return 1;
    }
    return 0;
}
