// The product's key under the current user, cleared in both registry views when
// a test starts and again when it ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace testing_support {

class ProductKeyScope {
public:
    ProductKeyScope();
    ~ProductKeyScope();
    ProductKeyScope(const ProductKeyScope&) = delete;
    ProductKeyScope& operator=(const ProductKeyScope&) = delete;

    static void Clear();
    // view: 0 (default), KEY_WOW64_32KEY or KEY_WOW64_64KEY.
    static bool SetDword(const wchar_t* name, uint32_t value, REGSAM view = 0);
    static bool SetString(const wchar_t* name, const std::wstring& value, REGSAM view = 0);
    static bool GetString(const wchar_t* name, std::wstring& value, REGSAM view = 0);
    static bool KeyExists(REGSAM view = 0);
};

}  // namespace testing_support
