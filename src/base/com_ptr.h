// Reference-holding pointer for COM-style objects, and a COM apartment scope.
#pragma once

#include <objbase.h>
#include <utility>

namespace base {

template <typename T>
class com_ptr {
public:
    com_ptr() noexcept = default;
    explicit com_ptr(T* adopt) noexcept : p_(adopt) {}
    com_ptr(const com_ptr& other) noexcept : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    com_ptr(com_ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    com_ptr& operator=(com_ptr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~com_ptr() { reset(); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept {
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    T* detach() noexcept { return std::exchange(p_, nullptr); }

private:
    T* p_ = nullptr;
};

// Initialises COM for the calling thread and undoes it when the scope ends,
// but only when the initialisation succeeded.
class com_apartment {
public:
    explicit com_apartment(DWORD model) noexcept : hr_(::CoInitializeEx(nullptr, model)) {}
    com_apartment(const com_apartment&) = delete;
    com_apartment& operator=(const com_apartment&) = delete;
    ~com_apartment() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    bool ok() const noexcept { return SUCCEEDED(hr_); }
    HRESULT result() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

// BSTR owner.
class unique_bstr {
public:
    unique_bstr() noexcept = default;
    explicit unique_bstr(const wchar_t* text) noexcept : s_(::SysAllocString(text)) {}
    unique_bstr(const unique_bstr&) = delete;
    unique_bstr& operator=(const unique_bstr&) = delete;
    ~unique_bstr() { ::SysFreeString(s_); }
    BSTR get() const noexcept { return s_; }
    explicit operator bool() const noexcept { return s_ != nullptr; }

private:
    BSTR s_ = nullptr;
};

}  // namespace base
