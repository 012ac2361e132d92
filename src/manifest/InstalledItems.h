// The manifest's lists of installed files and directories, read for the
// removal, which works on the lists alone.
#pragma once

#include <string>
#include <vector>

#include "removal/FileRemoval.h"

namespace base {
class XmlConfigDocument;
}

namespace manifest {

// Element paths of the manifest's two lists.
constexpr char kFileListPath[] = "packet\\installfile\\filelist\\item";
constexpr char kDirListPath[] = "packet\\installfile\\dirlist\\item";

// The "path" of the element at `elementPath` and of every element after it
// at its level, in order (empty for an element without one); no paths when
// the element is missing.
std::vector<std::wstring> ReadListedPaths(base::XmlConfigDocument& manifestDoc, const char* elementPath);

// Removes the items listed at `elementPath` of "installconfig.xml" in
// `installDir` (see removal::RemoveListedItems); false when the manifest
// cannot be read.
bool RemoveListedItems(const std::wstring& installDir, const char* elementPath, bool directoryList);

// The manifest-driven removal: both lists from one reading of the manifest,
// then removal::RemoveInstalledFiles (with empty lists when it cannot be read).
void RemoveInstalledFiles(const std::wstring& installDir, std::wstring& recordedDir,
                          removal::DesktopFolderQuery desktops = &removal::QueryDesktopFolders);

}  // namespace manifest
