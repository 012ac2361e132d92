// The readers of outside input that the fuzz driver feeds, one table entry
// each, with their seed files in seeds/<name>/.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fuzz {

// Where a reader may act, all inside one private temporary directory: an
// installation directory (the readers' "executable's directory") and the two
// shell folders; the current user's registry root stands in a private key.
struct Workspace {
    std::wstring root;      // ends in a backslash
    std::wstring install;   // root + "app\"
    std::wstring desktop;   // root + "desk\"
    std::wstring programs;  // root + "progs\"
    HKEY userRoot = nullptr;
};

struct FuzzTarget {
    const char* name;
    bool xml;  // XML text: the driver checks the nesting measure against the parser's tree
    std::vector<std::string> (*builtinSeeds)();  // beside the files of seeds/<name>/
    void (*run)(const std::string& input, const Workspace& workspace);
};

const std::vector<FuzzTarget>& Targets();

}  // namespace fuzz
