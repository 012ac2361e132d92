// Sweep of a desktop folder for shortcuts that point into the uninstaller's directory.
#pragma once

#include <string>

namespace removal {

// True when `file` is a shell link whose target still exists and whose long
// path holds the running executable's directory (both lower-cased).
bool IsLinkIntoOwnDirectory(const std::wstring& file);

// Deletes every entry of `folder` for which IsLinkIntoOwnDirectory holds.
// An empty folder is skipped.
void RemoveDesktopLinks(const std::wstring& folder);

}  // namespace removal
