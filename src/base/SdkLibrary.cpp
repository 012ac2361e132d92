#include "base/SdkLibrary.h"

#include "base/platform.h"

namespace base {

SdkLibrary::SdkLibrary(unique_hmodule module, sdk::GetClassObjectFn get)
    : module_(std::move(module)), get_(get) {}

std::unique_ptr<SdkLibrary> SdkLibrary::Load(const std::wstring& directory) {
    // A bare name would be looked up along the library search path.
    if (directory.empty()) return nullptr;
    std::wstring path = directory;
    EnsureTrailingSeparator(path);
    path += sdk::kSdkLibraryName;
    unique_hmodule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module) return nullptr;
    auto get = reinterpret_cast<sdk::GetClassObjectFn>(::GetProcAddress(module.get(), sdk::kGetClassObjectExport));
    if (get == nullptr) return nullptr;
    return std::unique_ptr<SdkLibrary>(new SdkLibrary(std::move(module), get));
}

bool SdkLibrary::CreateObject(const GUID& clsid, void** out) const {
    *out = nullptr;
    const HRESULT hr = get_(clsid, clsid, out);
    if (hr != S_OK || *out == nullptr) {
        *out = nullptr;
        return false;
    }
    return true;
}

ProductValueLookup::ProductValueLookup(const std::wstring& directory) : library_(SdkLibrary::Load(directory)) {
    if (!library_) return;
    if (library_->CreateObject(sdk::kProductValueLookupId, object_.put_void())) {
        object_->Init();  // the object is used whatever its initialisation answers
    }
}

ProductValueLookup::~ProductValueLookup() {
    object_.reset();  // release before the library that holds its code goes
}

std::wstring ProductValueLookup::Lookup(const std::wstring& key) const {
    if (!object_) return key;
    std::lock_guard<std::mutex> guard(call_lock_);
    const wchar_t* value = object_->GetValue(L"product", key.c_str(), L"value");
    return value ? std::wstring(value) : std::wstring();
}

ProductValueLookup& ProductValueLookup::Instance() {
    // Deliberately never destroyed: static destructors may run after the
    // library's own clean-up, and the process ends right after anyway.
    static ProductValueLookup* instance = new ProductValueLookup(GetModuleDirectory(nullptr));
    return *instance;
}

}  // namespace base
