#include "support/ProductKey.h"

#include "base/unique_any.h"

namespace testing_support {
namespace {

constexpr wchar_t kSoftware[] = L"Software";
constexpr wchar_t kProductSubkey[] = L"qlumenox_varko";
constexpr wchar_t kProductPath[] = L"Software\\qlumenox_varko";

bool Open(REGSAM access, REGSAM view, bool create, base::unique_hkey& key) {
    if (create) {
        return ::RegCreateKeyExW(HKEY_CURRENT_USER, kProductPath, 0, nullptr, 0, access | view, nullptr, key.put(),
                                 nullptr) == ERROR_SUCCESS;
    }
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, kProductPath, 0, access | view, key.put()) == ERROR_SUCCESS;
}

}  // namespace

ProductKeyScope::ProductKeyScope() { Clear(); }
ProductKeyScope::~ProductKeyScope() { Clear(); }

void ProductKeyScope::Clear() {
    for (const REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)}) {
        base::unique_hkey software;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSoftware, 0, KEY_ALL_ACCESS | view, software.put()) ==
            ERROR_SUCCESS) {
            ::RegDeleteTreeW(software.get(), kProductSubkey);
        }
    }
}

bool ProductKeyScope::SetDword(const wchar_t* name, uint32_t value, REGSAM view) {
    base::unique_hkey key;
    return Open(KEY_SET_VALUE, view, true, key) &&
           ::RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
               ERROR_SUCCESS;
}

bool ProductKeyScope::SetString(const wchar_t* name, const std::wstring& value, REGSAM view) {
    base::unique_hkey key;
    return Open(KEY_SET_VALUE, view, true, key) &&
           ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool ProductKeyScope::GetString(const wchar_t* name, std::wstring& value, REGSAM view) {
    value.clear();
    base::unique_hkey key;
    if (!Open(KEY_QUERY_VALUE, view, false, key)) return false;
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    value = buffer;
    return true;
}

bool ProductKeyScope::HasValue(const wchar_t* name, REGSAM view) {
    base::unique_hkey key;
    return Open(KEY_QUERY_VALUE, view, false, key) &&
           ::RegQueryValueExW(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool ProductKeyScope::KeyExists(REGSAM view) {
    base::unique_hkey key;
    return Open(KEY_QUERY_VALUE, view, false, key);
}

}  // namespace testing_support
