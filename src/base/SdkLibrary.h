// The SDK base library as the uninstaller sees it: the loaded module, its
// class-object export, and the product value lookup built on it.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "base/SdkAbi.h"
#include "base/com_ptr.h"
#include "base/unique_any.h"

namespace base {

// qsdxbase.dll loaded by full path from one directory.
class SdkLibrary {
public:
    // Null when the file is missing, does not load or lacks the export.
    static std::unique_ptr<SdkLibrary> Load(const std::wstring& directory);

    // Asks the library for an object whose interface identifier equals its class
    // identifier. Success is a zero status with an object.
    bool CreateObject(const GUID& clsid, void** out) const;

private:
    SdkLibrary(unique_hmodule module, sdk::GetClassObjectFn get);

    unique_hmodule module_;
    sdk::GetClassObjectFn get_;
};

class ProductValueLookup {
public:
    // Loads the library from the directory (with or without trailing separator).
    explicit ProductValueLookup(const std::wstring& directory);
    ~ProductValueLookup();
    ProductValueLookup(const ProductValueLookup&) = delete;
    ProductValueLookup& operator=(const ProductValueLookup&) = delete;

    // The SDK object's answer for the key (empty when it has none); the key
    // itself without an object.
    std::wstring Lookup(const std::wstring& key) const;
    bool HasObject() const noexcept { return static_cast<bool>(object_); }

    // Process-wide instance over the executable's directory, created once on
    // first use and kept until exit.
    static ProductValueLookup& Instance();

private:
    std::unique_ptr<SdkLibrary> library_;
    com_ptr<sdk::IProductValueLookup> object_;
    // The returned text lives only until the next call on the object, and both
    // the main thread and the removal worker look values up.
    mutable std::mutex call_lock_;
};

inline std::wstring LookupProductValue(const std::wstring& key) {
    return ProductValueLookup::Instance().Lookup(key);
}

}  // namespace base
