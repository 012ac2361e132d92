// Writes the scrambled extra-action file ("expandtask.dat") from a plain XML
// file, with the same scrambling the uninstaller's reader undoes.
// Usage: expandtask_writer.exe <actions.xml> <output>
#include <windows.h>

#include <string>

#include "../common/FileBytes.h"
#include "manifest/ExpandTask.h"

int wmain(int argc, wchar_t** argv) {
    return companion::RunWriter(argc, argv, "expandtask_writer <actions.xml> <output>",
                                [](const std::string& input) { return manifest::ScrambleExpandTaskText(input); });
}
