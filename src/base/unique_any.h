// Owning wrappers for platform handles: one typedef per handle kind, each
// knowing its own empty value and how it is released.
#pragma once

#include <windows.h>
#include <winsvc.h>
#include <utility>

namespace base {

template <typename Traits>
class unique_any {
public:
    using pointer = typename Traits::type;

    unique_any() noexcept : value_(Traits::empty()) {}
    explicit unique_any(pointer value) noexcept : value_(value) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::empty(); }
    bool valid() const noexcept { return value_ != Traits::empty(); }

    pointer release() noexcept { return std::exchange(value_, Traits::empty()); }
    void reset(pointer value = Traits::empty()) noexcept {
        pointer old = std::exchange(value_, value);
        if (old != Traits::empty()) Traits::close(old);
    }
    // For out-parameters of platform calls: releases the current value first.
    pointer* put() noexcept {
        reset();
        return &value_;
    }

private:
    pointer value_;
};

template <typename T, T Empty, auto Close>
struct handle_traits {
    using type = T;
    static T empty() noexcept { return Empty; }
    static void close(T value) noexcept { Close(value); }
};

// HANDLE kinds differ in their empty value: most use NULL, files and
// snapshots use INVALID_HANDLE_VALUE.
struct null_handle_traits {
    using type = HANDLE;
    static HANDLE empty() noexcept { return nullptr; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct invalid_handle_traits {
    using type = HANDLE;
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct hkey_traits {
    using type = HKEY;
    static HKEY empty() noexcept { return nullptr; }
    static void close(HKEY k) noexcept { ::RegCloseKey(k); }
};
struct hmodule_traits {
    using type = HMODULE;
    static HMODULE empty() noexcept { return nullptr; }
    static void close(HMODULE m) noexcept { ::FreeLibrary(m); }
};
struct view_traits {
    using type = void*;
    static void* empty() noexcept { return nullptr; }
    static void close(void* p) noexcept { ::UnmapViewOfFile(p); }
};
struct sc_handle_traits {
    using type = SC_HANDLE;
    static SC_HANDLE empty() noexcept { return nullptr; }
    static void close(SC_HANDLE h) noexcept { ::CloseServiceHandle(h); }
};
struct find_handle_traits {
    using type = HANDLE;
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::FindClose(h); }
};
struct gdi_object_traits {
    using type = HGDIOBJ;
    static HGDIOBJ empty() noexcept { return nullptr; }
    static void close(HGDIOBJ h) noexcept { ::DeleteObject(h); }
};
struct hdc_traits {
    using type = HDC;
    static HDC empty() noexcept { return nullptr; }
    static void close(HDC h) noexcept { ::DeleteDC(h); }
};
struct local_mem_traits {
    using type = HLOCAL;
    static HLOCAL empty() noexcept { return nullptr; }
    static void close(HLOCAL h) noexcept { ::LocalFree(h); }
};
struct hwnd_traits {
    using type = HWND;
    static HWND empty() noexcept { return nullptr; }
    static void close(HWND h) noexcept { ::DestroyWindow(h); }
};
struct hicon_traits {
    using type = HICON;
    static HICON empty() noexcept { return nullptr; }
    static void close(HICON h) noexcept { ::DestroyIcon(h); }
};

using unique_handle = unique_any<null_handle_traits>;      // processes, threads, tokens, events, sections
using unique_hfile = unique_any<invalid_handle_traits>;    // CreateFile, CreateToolhelp32Snapshot
using unique_hkey = unique_any<hkey_traits>;
using unique_hmodule = unique_any<hmodule_traits>;
using unique_view = unique_any<view_traits>;
using unique_sc_handle = unique_any<sc_handle_traits>;
using unique_find = unique_any<find_handle_traits>;
using unique_gdi_object = unique_any<gdi_object_traits>;
using unique_hdc = unique_any<hdc_traits>;
using unique_local = unique_any<local_mem_traits>;
using unique_hwnd = unique_any<hwnd_traits>;
using unique_hicon = unique_any<hicon_traits>;

}  // namespace base
