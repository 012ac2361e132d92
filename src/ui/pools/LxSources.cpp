#include "ui/pools/LxSources.h"

#include "base/unique_any.h"
#include "ui/LxApp.h"

namespace ui {

namespace {
constexpr wchar_t kDocumentExtension[] = L"xml";
// Larger files are not skins: refuse them rather than allocate for them.
constexpr LONGLONG kMaxSourceBytes = 64LL * 1024 * 1024;

std::wstring FileIn(const std::wstring& folder, int id, const wchar_t* ext) {
    return folder + L"\\" + std::to_wstring(id) + L"." + ext;
}
}  // namespace

LxSourceHooks& SourceHooks() {
    static LxSourceHooks hooks;
    return hooks;
}

bool ReadResourceBytes(HMODULE module, int id, const wchar_t* type, std::string& bytes) {
    if (!module) module = LxAppModule::Instance();
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!info) return false;
    HGLOBAL loaded = ::LoadResource(module, info);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = ::SizeofResource(module, info);
    if (!data) return false;
    bytes.assign(static_cast<const char*>(data), size);
    return true;
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    base::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxSourceBytes) return false;
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!content.empty() &&
        !::ReadFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr)) {
        return false;
    }
    content.resize(read);
    bytes = std::move(content);
    return true;
}

std::vector<std::string> CollectDocuments(int id) {
    const LxSourceHooks& hooks = SourceHooks();
    std::vector<std::string> found;
    std::string bytes;
    for (const std::wstring& folder : hooks.skinFolders) {
        if (!folder.empty() && ReadFileBytes(FileIn(folder, id, kDocumentExtension), bytes)) found.push_back(bytes);
    }
    if (hooks.streamProvider && hooks.streamProvider(id, kDocumentExtension, bytes)) found.push_back(bytes);
    if (hooks.resourceModule && ReadResourceBytes(hooks.resourceModule, id, kXmlResourceType, bytes)) {
        found.push_back(bytes);
    }
    if (ReadResourceBytes(nullptr, id, kXmlResourceType, bytes)) found.push_back(bytes);
    return found;
}

bool FindImageBytes(int id, const wchar_t* ext, const wchar_t* resourceType, std::string& bytes) {
    const LxSourceHooks& hooks = SourceHooks();
    bool anyFolder = false;
    for (const std::wstring& folder : hooks.skinFolders) {
        if (folder.empty()) continue;
        anyFolder = true;
        if (ReadFileBytes(FileIn(folder, id, ext), bytes)) return true;
    }
    if (hooks.streamProvider && hooks.streamProvider(id, ext, bytes)) return true;
    if (hooks.resourceModule && ReadResourceBytes(hooks.resourceModule, id, resourceType, bytes)) return true;
    if (hooks.archiveProvider && hooks.archiveProvider(std::to_wstring(id) + L"." + ext, bytes)) return true;
    if (ReadResourceBytes(nullptr, id, resourceType, bytes)) return true;
    return !anyFolder && !hooks.defaultFolder.empty() && ReadFileBytes(FileIn(hooks.defaultFolder, id, ext), bytes);
}

}  // namespace ui
