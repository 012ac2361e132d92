#include "manifest/InstallLoader.h"

#include <windows.h>

#include "removal/Launch.h"

namespace manifest {

void QInstallLoader::Init(const std::wstring& kind, const std::wstring& path) {
    kind_ = kind;
    path_ = path;
    parameters_ = kSetDefaultOffParameters;
}

int32_t QInstallLoader::Run() const {
    if (path_.empty()) return kLoaderEmptyPath;
    const DWORD attributes = ::GetFileAttributesW(path_.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return kLoaderFileMissing;
    return removal::LaunchWithChain(path_, parameters_, show_) ? kLoaderStarted : kLoaderAllLaunchesFailed;
}

}  // namespace manifest
