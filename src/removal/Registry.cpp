#include "removal/Registry.h"

#include <memory>

#include "base/SdkLibrary.h"
#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"
#include "removal/Paths.h"
#include "removal/UtilAbi.h"

namespace removal {

namespace {

// Full access (0xF003F) for the product keys, in the default view.
constexpr REGSAM kTreeAccess = KEY_ALL_ACCESS;
// Read and write (0x2001F); the view flag is added per call.
constexpr REGSAM kReadWriteAccess = KEY_READ | KEY_WRITE;
// The verbs were written by a 32-bit installer.
constexpr REGSAM kShellVerbView = KEY_WOW64_32KEY;
constexpr REGSAM kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

// Buffers for subkey names: the platform's key names are at most 255 characters.
constexpr DWORD kTreeNameChars = 512;
constexpr DWORD kSubKeyNameChars = 256;
constexpr DWORD kFirstSubKey = 0;

constexpr wchar_t kAdvapiName[] = L"Advapi32.dll";
constexpr char kRegDeleteKeyExName[] = "RegDeleteKeyExW";
using RegDeleteKeyExFn = LONG(WINAPI*)(HKEY key, LPCWSTR subkey, REGSAM view, DWORD reserved);

// Looked up once: older systems lack the call and then delete in the default view.
RegDeleteKeyExFn DeleteKeyExEntry() {
    static const RegDeleteKeyExFn entry = [] {
        HMODULE advapi = ::GetModuleHandleW(kAdvapiName);
        if (advapi == nullptr) advapi = ::LoadLibraryW(kAdvapiName);  // stays loaded for the process
        return advapi ? reinterpret_cast<RegDeleteKeyExFn>(::GetProcAddress(advapi, kRegDeleteKeyExName))
                      : nullptr;
    }();
    return entry;
}

// True when the first subkey's name could be read into name.
bool ReadFirstSubKey(HKEY key, wchar_t* name, DWORD capacity) {
    DWORD length = capacity;
    return ::RegEnumKeyExW(key, kFirstSubKey, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::wstring FormatPath(const wchar_t* format, const wchar_t* first, const wchar_t* second = nullptr) {
    std::wstring path = format;
    const auto fill = [&path](const wchar_t* value) {
        const size_t at = path.find(L"%s");
        if (at != std::wstring::npos) path.replace(at, 2, value);
    };
    fill(first);
    if (second != nullptr) fill(second);
    return path;
}

// The utility library's objects are released through their own slot 1.
struct UtilRelease {
    template <typename T>
    void operator()(T* object) const noexcept {
        object->Release();
    }
};

// Loads the library and asks it for one interface; empty parts when anything
// is missing. The object must go before the module that holds its code.
template <typename Interface>
struct UtilObject {
    base::unique_hmodule module;
    std::unique_ptr<Interface, UtilRelease> object;
};

template <typename Interface>
UtilObject<Interface> CreateUtilObject(const std::wstring& library, const GUID& iid) {
    UtilObject<Interface> result;
    // Altered search: the library's own dependencies resolve from its directory.
    result.module.reset(::LoadLibraryExW(library.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!result.module) return result;
    const auto get =
        reinterpret_cast<util::GetClassObjectFn>(::GetProcAddress(result.module.get(), util::kGetClassObjectExport));
    if (get == nullptr) return result;
    void* raw = nullptr;
    get(util::kUtilClassId, iid, &raw);
    // Only the object counts: the library's status is not part of the contract.
    result.object.reset(static_cast<Interface*>(raw));
    return result;
}

}  // namespace

LONG DeleteRegistryTree(HKEY root, const std::wstring& subkey, REGSAM view) {
    if (subkey.empty()) return ERROR_INVALID_PARAMETER;
    view &= kViewFlags;
    base::unique_hkey key;
    LONG status = ::RegOpenKeyExW(root, subkey.c_str(), 0, kTreeAccess | view, key.put());
    if (status != ERROR_SUCCESS) return status;
    wchar_t name[kTreeNameChars];
    while (ReadFirstSubKey(key.get(), name, kTreeNameChars)) {
        status = DeleteRegistryTree(key.get(), name, view);
        if (status != ERROR_SUCCESS) return status;
    }
    key.reset();
    if (view != 0) {
        if (const RegDeleteKeyExFn deleteEx = DeleteKeyExEntry()) return deleteEx(root, subkey.c_str(), view, 0);
    }
    return ::RegDeleteKeyW(root, subkey.c_str());
}

LONG RecurseDeleteSubKey(HKEY parent, const std::wstring& name, REGSAM viewFlags) {
    if (name.empty()) return ERROR_INVALID_PARAMETER;
    const REGSAM view = viewFlags & kViewFlags;
    base::unique_hkey key;
    LONG status = ::RegOpenKeyExW(parent, name.c_str(), 0, kReadWriteAccess | view, key.put());
    if (status != ERROR_SUCCESS) return status;
    wchar_t child[kSubKeyNameChars];
    while (ReadFirstSubKey(key.get(), child, kSubKeyNameChars)) {
        status = RecurseDeleteSubKey(key.get(), child, view);
        if (status != ERROR_SUCCESS) return status;
    }
    key.reset();
    if (const RegDeleteKeyExFn deleteEx = DeleteKeyExEntry()) return deleteEx(parent, name.c_str(), view, 0);
    return ::RegDeleteKeyW(parent, name.c_str());
}

LONG RemoveUninstallInfo() { return RemoveUninstallInfo(base::ProductValueLookup::Instance()); }

LONG RemoveUninstallInfo(const base::ProductValueLookup& lookup) {
    return RemoveUninstallInfoAt(lookup.Lookup(kUninstallInfoValueKey));
}

LONG RemoveUninstallInfoAt(const std::wstring& uninstallKeyPath) {
    if (uninstallKeyPath.empty()) return ERROR_SUCCESS;
    // Each deletion is tried whatever the one before answered.
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, kProductKeyPath, kInstallerView);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, uninstallKeyPath, kInstallerView);
    DeleteRegistryTree(HKEY_CURRENT_USER, uninstallKeyPath);
    return DeleteRegistryTree(HKEY_CURRENT_USER, kProductKeyPath);
}

void RemoveShellVerbs() {
    // The associations key is opened once, in the installer's view; every key
    // below it is then named relative to that handle and so lies in the same
    // view without the flag. With the flag, each relative open walks its path
    // one level at a time looking for a view node, which costs a second open
    // per level for the same key.
    const std::wstring shellFormat = kShellKeyFormat;
    const size_t cut = shellFormat.find(L'\\');
    base::unique_hkey associations;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, shellFormat.substr(0, cut).c_str(), 0, KEY_READ | kShellVerbView,
                        associations.put()) != ERROR_SUCCESS) {
        return;
    }
    const std::wstring relativeFormat = shellFormat.substr(cut + 1);
    for (const wchar_t* extension : kShellVerbExtensions) {
        // The extension's Shell key is opened once for its three verbs; a verb
        // that is not there simply fails to open below it.
        base::unique_hkey shellKey;
        const std::wstring shellPath = FormatPath(relativeFormat.c_str(), extension);
        if (::RegOpenKeyExW(associations.get(), shellPath.c_str(), 0, kReadWriteAccess, shellKey.put()) !=
            ERROR_SUCCESS) {
            continue;
        }
        for (const wchar_t* verb : kShellVerbNames) RecurseDeleteSubKey(shellKey.get(), verb, 0);
    }
}

CCommonRegister& CCommonRegister::Instance() {
    // Never destroyed: it holds nothing, and the worker may still use it while
    // the process winds down.
    static CCommonRegister* instance = new CCommonRegister();
    return *instance;
}

// Only the installation directory's copy: the uninstaller runs elevated, and
// letting the library search go on to the current directory or PATH when the
// library is missing would load whatever DLL of that name lies there.
std::wstring CCommonRegister::DefaultLibraryPath() { return base::GetExeDirectoryWithSeparator() + util::kUtilLibraryName; }

bool CCommonRegister::InvokeUtilInterfaceA() const { return InvokeUtilInterfaceA(DefaultLibraryPath()); }

int CCommonRegister::InvokeUtilInterfaceB() const { return InvokeUtilInterfaceB(DefaultLibraryPath()); }

bool CCommonRegister::InvokeUtilInterfaceA(const std::wstring& libraryPath) {
    UtilObject<util::IUtilA> loaded = CreateUtilObject<util::IUtilA>(libraryPath, util::kUtilInterfaceAId);
    if (!loaded.object) return false;
    return loaded.object->Run(util::kUtilARunArgument) == 0;
}

int CCommonRegister::InvokeUtilInterfaceB(const std::wstring& libraryPath) {
    UtilObject<util::IUtilB> loaded = CreateUtilObject<util::IUtilB>(libraryPath, util::kUtilInterfaceBId);
    if (!loaded.object) return 0;
    return loaded.object->Run();
}

}  // namespace removal
