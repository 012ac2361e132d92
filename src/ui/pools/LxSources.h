// Where pool documents and images come from, in order: the optional skin
// folders, a stream provider, a resource module, an archive provider (images
// only), the program's own resources, and the default folder (images only,
// when no folder is set). The hooks exist for hosts that ship their skins
// apart from the program; the uninstaller sets none of them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ui {

// The resource types of the library's documents and images.
constexpr wchar_t kXmlResourceType[] = L"XML";
constexpr wchar_t kPngResourceType[] = L"PNG";
constexpr wchar_t kJpgResourceType[] = L"JPG";

struct LxSourceHooks {
    // Up to two folders holding "<id>.<ext>" files; the first is tried first.
    std::wstring skinFolders[2];
    // Bytes of document or image `id` with extension `ext` ("xml", "png", "jpg").
    std::function<bool(int id, const wchar_t* ext, std::string& bytes)> streamProvider;
    HMODULE resourceModule = nullptr;
    // Bytes of the archive entry "<id>.<ext>" (images only).
    std::function<bool(const std::wstring& entry, std::string& bytes)> archiveProvider;
    // Folder of last resort for images when no skin folder is set.
    std::wstring defaultFolder;
};

// The process-wide hooks; empty unless a host fills them before loading.
LxSourceHooks& SourceHooks();

// Resource `id` of `type` in `module` (the application module when null).
bool ReadResourceBytes(HMODULE module, int id, const wchar_t* type, std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string& bytes);

// Every source that holds document `id`, in the order of precedence.
std::vector<std::string> CollectDocuments(int id);

// The first source that yields image `id` of extension `ext` ("png" / "jpg").
bool FindImageBytes(int id, const wchar_t* ext, const wchar_t* resourceType, std::string& bytes);

}  // namespace ui
