// Writes the scrambled extra-action file ("expandtask.dat") from a plain XML
// file, with the same scrambling the uninstaller's reader undoes.
// Usage: expandtask_writer.exe <actions.xml> <output>
#include <windows.h>

#include <cstdio>
#include <string>

#include "../common/FileBytes.h"
#include "manifest/ExpandTask.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: expandtask_writer <actions.xml> <output>\n");
        return kExitUsage;
    }
    std::string text;
    if (!companion::ReadAllBytes(argv[1], text)) {
        std::fprintf(stderr, "cannot read the action file\n");
        return kExitFailed;
    }
    if (!companion::WriteAllBytes(argv[2], manifest::ScrambleExpandTaskText(text))) {
        std::fprintf(stderr, "cannot write the scrambled file\n");
        return kExitFailed;
    }
    return kExitOk;
}
