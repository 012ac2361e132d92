// Registry clean-up: the product's keys, the uninstall information, the
// context-menu verbs on the image file types, and the calls into the viewer's
// utility library.
#pragma once

#include <windows.h>

#include <array>
#include <string>

namespace base {
class ProductValueLookup;
}

namespace removal {

// The product's own settings key, under both HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
constexpr wchar_t kProductKeyPath[] = L"Software\\qlumenox_varko";
// Product value whose answer is the installer's uninstall-information key path.
constexpr wchar_t kUninstallInfoValueKey[] = L"UNINSTALL_INFO_REG";

// The product family's installer is a 32-bit program: on 64-bit Windows its
// machine-wide keys (the product key, the uninstall information, the class
// registration) land in the 32-bit registry view. Both builds open those keys
// in that view, so the 64-bit build meets them where the 32-bit build does.
// Keys that Windows shares between the views (the user's Software tree) are
// opened as they are.
constexpr REGSAM kInstallerView = KEY_WOW64_32KEY;

// An extension's verbs live under this key of HKEY_CLASSES_ROOT; filled with the extension.
constexpr wchar_t kShellKeyFormat[] = L"SystemFileAssociations\\%s\\Shell";

// The viewer's verbs; the leading blanks are part of the names (they sort the
// entries first in the menu) and keep them apart from anybody else's verbs.
constexpr std::array<const wchar_t*, 3> kShellVerbNames = {
    L"      lumenox0_open", L"      lumenox1_print", L"      lumenox2_compress"};

// Every image type the viewer registers its verbs for, in removal order.
constexpr std::array<const wchar_t*, 92> kShellVerbExtensions = {
    L".jxr",  L".wdp",  L".hdp",   L".pcd",  L".pcx",  L".xbm",  L".bmp",  L".pfm",  L".cut",  L".iff",
    L".lbm",  L".xpm",  L".pct",   L".pict", L".pic",  L".j2k",  L".j2c",  L".jng",  L".png",  L".dds",
    L".jp2",  L".pbm",  L".pgm",   L".ppm",  L".psd",  L".exr",  L".jpg",  L".jif",  L".jpeg", L".jpe",
    L".g3",   L".ras",  L".hdr",   L".koa",  L".3fr",  L".arw",  L".bay",  L".bmq",  L".cap",  L".cine",
    L".cr2",  L".crw",  L".cs1",   L".dc2",  L".dcr",  L".drf",  L".dsc",  L".dng",  L".erf",  L".fff",
    L".ia",   L".iiq",  L".k25",   L".kc2",  L".kdc",  L".mdc",  L".mef",  L".mos",  L".mrw",  L".nef",
    L".nrw",  L".orf",  L".pef",   L".ptx",  L".pxn",  L".qtk",  L".raf",  L".raw",  L".rdc",  L".rw2",
    L".rwl",  L".rwz",  L".sr2",   L".srf",  L".srw",  L".sti",  L".x3f",  L".gif",  L".mng",  L".sgi",
    L".rgb",  L".rgba", L".bw",    L".ico",  L".wap",  L".wbmp", L".wbm",  L".webp", L".tga",  L".targa",
    L".tif",  L".tiff"};

// Deletes root\subkey with everything below it, in the given registry view
// (0: the process's default view). Returns the platform's error code, 0 on
// success. An empty subkey path is refused (ERROR_INVALID_PARAMETER): it would
// name the root itself.
LONG DeleteRegistryTree(HKEY root, const std::wstring& subkey, REGSAM view = 0);

// Deletes parent\name with everything below it in the registry view the
// parent was opened in (viewFlags: KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0).
LONG RecurseDeleteSubKey(HKEY parent, const std::wstring& name, REGSAM viewFlags);

// Deletes the product keys of both hives and the uninstall-information key
// that the process-wide product value lookup names; the machine's keys in the
// installer's view. Returns the last
// deletion's code, 0 when the lookup names no key (then nothing is deleted).
LONG RemoveUninstallInfo();
// The same through a given lookup.
LONG RemoveUninstallInfo(const base::ProductValueLookup& lookup);
// The same with the lookup's answer already resolved.
LONG RemoveUninstallInfoAt(const std::wstring& uninstallKeyPath);

// Deletes the viewer's verbs of every extension in the table from the 32-bit
// view of HKEY_CLASSES_ROOT (where the 32-bit installer wrote them).
void RemoveShellVerbs();

// Process-wide registration object: created on first use, kept until exit.
// Its two calls hand file-type clean-up steps to the viewer's utility library.
class CCommonRegister {
public:
    static CCommonRegister& Instance();

    // The library is the one in the installation directory (the executable's
    // own), see DefaultLibraryPath.
    // True when the library's first operation answered 0; false without the
    // library, its export or its object.
    bool InvokeUtilInterfaceA() const;
    // What the library's second operation answered; 0 without the library.
    int InvokeUtilInterfaceB() const;

    // The same with the library at the given full path.
    static bool InvokeUtilInterfaceA(const std::wstring& libraryPath);
    static int InvokeUtilInterfaceB(const std::wstring& libraryPath);
    // qlumenoxutil.dll in the executable's directory.
    static std::wstring DefaultLibraryPath();

    CCommonRegister(const CCommonRegister&) = delete;
    CCommonRegister& operator=(const CCommonRegister&) = delete;

private:
    CCommonRegister() = default;
};

}  // namespace removal
