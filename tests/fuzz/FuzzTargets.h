// The readers of outside input that the fuzz driver feeds, one table entry
// each. A new reader (the UI layouts and pools, say) is one more entry, with
// its seed files in seeds/<name>/.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fuzz {

// Where a target lets its reader act, all inside one private temporary
// directory: an installation directory (the "executable's directory" of the
// readers) and the two shell folders. The current user's registry root stands
// in a private key while a target runs.
struct Workspace {
    std::wstring root;      // ends in a backslash
    std::wstring install;   // root + "app\"
    std::wstring desktop;   // root + "desk\"
    std::wstring programs;  // root + "progs\"
    HKEY userRoot = nullptr;
};

struct FuzzTarget {
    const char* name;
    // The input is XML text: the driver checks the nesting measure against
    // the parser's own tree for it.
    bool xml;
    // Seeds made in code, in addition to the files of seeds/<name>/.
    std::vector<std::string> (*builtinSeeds)();
    // Feeds one input to the reader (written where the reader expects it).
    void (*run)(const std::string& input, const Workspace& workspace);
};

const std::vector<FuzzTarget>& Targets();

}  // namespace fuzz
