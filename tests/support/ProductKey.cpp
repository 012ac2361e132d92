#include "support/ProductKey.h"

#include "base/unique_any.h"
#include "support/TestSupport.h"

namespace testing_support {
namespace {

constexpr wchar_t kSoftware[] = L"Software";
constexpr wchar_t kProductSubkey[] = L"qlumenox_varko";
constexpr wchar_t kProductPath[] = L"Software\\qlumenox_varko";
constexpr DWORD kMaxStringChars = 1024;

base::unique_hkey Open(REGSAM access, REGSAM view, bool create = false) {
    base::unique_hkey key;
    if (create) {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, kProductPath, 0, nullptr, 0, access | view, nullptr, key.put(), nullptr);
    } else {
        ::RegOpenKeyExW(HKEY_CURRENT_USER, kProductPath, 0, access | view, key.put());
    }
    return key;
}

bool Set(const wchar_t* name, DWORD type, const void* data, size_t bytes, REGSAM view) {
    const base::unique_hkey key = Open(KEY_SET_VALUE, view, true);
    return key && ::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data),
                                   static_cast<DWORD>(bytes)) == ERROR_SUCCESS;
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
    return Set(name, REG_DWORD, &value, sizeof(value), view);
}

bool ProductKeyScope::SetString(const wchar_t* name, const std::wstring& value, REGSAM view) {
    return Set(name, REG_SZ, value.c_str(), (value.size() + 1) * sizeof(wchar_t), view);
}

bool ProductKeyScope::GetString(const wchar_t* name, std::wstring& value, REGSAM view) {
    wchar_t buffer[kMaxStringChars] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    const base::unique_hkey key = Open(KEY_QUERY_VALUE, view);
    const bool ok = key && ::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                                              &size) == ERROR_SUCCESS && type == REG_SZ;
    value = ok ? buffer : L"";
    return ok;
}

bool ProductKeyScope::KeyExists(REGSAM view) {
    return testing_support::KeyExists(HKEY_CURRENT_USER, kProductPath, view);
}

}  // namespace testing_support
