#include "manifest/InstalledItems.h"

#include "base/XmlConfigDocument.h"
#include "removal/SelfRemovalScript.h"

namespace manifest {

std::vector<std::wstring> ReadListedPaths(base::XmlConfigDocument& manifestDoc, const char* elementPath) {
    std::vector<std::wstring> paths;
    if (!manifestDoc.SelectPath(elementPath)) return paths;
    do {
        std::wstring relative;
        manifestDoc.GetWideAttribute("path", relative);
        paths.push_back(std::move(relative));
    } while (manifestDoc.NextSibling(nullptr));
    return paths;
}

bool RemoveListedItems(const std::wstring& installDir, const char* elementPath, bool directoryList) {
    base::XmlConfigDocument manifestDoc;
    if (!manifestDoc.LoadFile(installDir + removal::kManifestFileName)) return false;
    return removal::RemoveListedItems(installDir, ReadListedPaths(manifestDoc, elementPath), directoryList);
}

void RemoveInstalledFiles(const std::wstring& installDir, std::wstring& recordedDir,
                          removal::DesktopFolderQuery desktops) {
    // Both lists come from one reading of the manifest: it may list itself,
    // and the file pass would take it away before the directory pass reads it.
    removal::InstalledItems listed;
    base::XmlConfigDocument manifestDoc;
    if (manifestDoc.LoadFile(installDir + removal::kManifestFileName)) {
        listed.files = ReadListedPaths(manifestDoc, kFileListPath);
        listed.directories = ReadListedPaths(manifestDoc, kDirListPath);
    }
    removal::RemoveInstalledFiles(installDir, recordedDir, listed, desktops);
}

}  // namespace manifest
