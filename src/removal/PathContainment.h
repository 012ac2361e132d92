// Joining untrusted relative paths (manifest items, start-menu folders,
// shortcut names) to a directory without ever leaving it: by text (pure
// string logic) and through the platform's links on the way.
#pragma once

#include <string>
#include <unordered_set>

namespace removal {

// The directories one removal pass has found plain (existing, and neither a
// junction nor a symbolic link). A pass walks many items below the same few
// directories: each directory's attributes are then read once, not once per
// item below it. Nothing in a removal pass creates links, so a directory found
// plain stays so for the pass; one that is missing is asked again each time.
class PlainDirectories {
public:
    bool Contains(const std::wstring& path) const { return plain_.count(path) != 0; }
    void Add(const std::wstring& path) { plain_.insert(path); }

private:
    std::unordered_set<std::wstring> plain_;
};

// Joins `relative` to `directory` and normalises the result ("." and empty
// segments dropped, ".." resolved, "/" turned into "\"). True, with `joined`
// set, only when the result lies strictly below `directory`. Refused: absolute
// paths, drive letters and any other colon, UNC and device prefixes, ".."
// climbing above `directory`, segments of dots and blanks other than "." and
// "..", and a result that is `directory` itself. A trailing separator of
// `relative` is kept. `joined` is left empty when the answer is false.
bool JoinInsideDirectory(const std::wstring& directory, const std::wstring& relative, std::wstring& joined);

// True when a directory between `directory` and `item` (both excluded) is a
// link (junction or symbolic link): following it could reach anything. With
// `known`, directories found plain before are not read again, and those found
// plain now are added.
bool PassesThroughLink(const std::wstring& directory, const std::wstring& item, PlainDirectories* known = nullptr);

// JoinInsideDirectory, and no link on the way from `directory` to the result
// (a link as the result itself is fine: it is removed as a link).
bool JoinInsideDirectoryWithoutLinks(const std::wstring& directory, const std::wstring& relative,
                                     std::wstring& joined, PlainDirectories* known = nullptr);

}  // namespace removal
