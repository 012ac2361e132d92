// Writes the scrambled extra-action file ("expandtask.dat") from a plain XML
// file, with the same scrambling the uninstaller's reader undoes.
// Usage: expandtask_writer.exe <actions.xml> <output>
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/unique_any.h"
#include "manifest/ExpandTask.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr DWORD kChunkBytes = 64 * 1024;

bool ReadAll(const wchar_t* path, std::string& out) {
    base::unique_hfile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string buffer(kChunkBytes, '\0');
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer.data(), kChunkBytes, &read, nullptr) && read > 0) out.append(buffer, 0, read);
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
        std::fprintf(stderr, "usage: expandtask_writer <actions.xml> <output>\n");
        return kExitUsage;
    }
    std::string text;
    if (!ReadAll(argv[1], text)) {
        std::fprintf(stderr, "cannot read the action file\n");
        return kExitFailed;
    }
    if (!WriteAll(argv[2], manifest::ScrambleExpandTaskText(text))) {
        std::fprintf(stderr, "cannot write the scrambled file\n");
        return kExitFailed;
    }
    return kExitOk;
}
