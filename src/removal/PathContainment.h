// Joining untrusted relative paths (manifest items, start-menu folders) to a
// directory without ever leaving it. Pure string logic, no platform calls.
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

}  // namespace removal
