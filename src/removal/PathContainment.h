// Joining untrusted relative paths (manifest items, start-menu folders,
// shortcut names) to a directory without ever leaving it: by text (pure
// string logic) and through the platform's links on the way.
#pragma once

#include <string>

namespace removal {

// Joins `relative` to `directory` and normalises the result ("." and empty
// segments dropped, ".." resolved, "/" turned into "\"). True, with `joined`
// set, only when the result lies strictly below `directory`. Refused: absolute
// paths, drive letters and any other colon, UNC and device prefixes, ".."
// climbing above `directory`, segments of dots and blanks other than "." and
// "..", and a result that is `directory` itself. A trailing separator of
// `relative` is kept. `joined` is left empty when the answer is false.
bool JoinInsideDirectory(const std::wstring& directory, const std::wstring& relative, std::wstring& joined);

// True when a directory between `directory` and `item` (both excluded) is a
// link (junction or symbolic link): following it could reach anything.
bool PassesThroughLink(const std::wstring& directory, const std::wstring& item);

// JoinInsideDirectory, and no link on the way from `directory` to the result
// (a link as the result itself is fine: it is removed as a link).
bool JoinInsideDirectoryWithoutLinks(const std::wstring& directory, const std::wstring& relative,
                                     std::wstring& joined);

}  // namespace removal
