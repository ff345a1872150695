// Owning wrappers for Win32 handles, keys, searches, modules and COM
// pointers. One template, one traits type per kind of handle.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <tlhelp32.h>
#include <winsvc.h>  // left out by WIN32_LEAN_AND_MEAN
#include <utility>

namespace vek {

template <typename T, typename Traits>
class UniqueResource {
public:
    UniqueResource() noexcept = default;
    explicit UniqueResource(T value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    T get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // For out-parameters: closes what is held and hands out the slot.
    T* put() noexcept {
        reset();
        return &value_;
    }
    T release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    void reset(T value = Traits::Invalid()) noexcept {
        if (valid()) Traits::Close(value_);
        value_ = value;
    }

private:
    T value_ = Traits::Invalid();
};

namespace traits {
struct Handle {  // process, thread, mutex, event, snapshot: NULL on failure
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct File {  // CreateFile, CreateToolhelp32Snapshot: INVALID_HANDLE_VALUE on failure
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct Find {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::FindClose(h); }
};
struct ChangeNotification {  // FindFirstChangeNotification: INVALID_HANDLE_VALUE on failure
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::FindCloseChangeNotification(h); }
};
struct RegKey {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY k) { ::RegCloseKey(k); }
};
struct Module {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE m) { ::FreeLibrary(m); }
};
struct Resource {
    static HGLOBAL Invalid() { return nullptr; }
    static void Close(HGLOBAL r) { ::FreeResource(r); }
};
struct Service {  // OpenSCManager, OpenService, CreateService: NULL on failure
    static SC_HANDLE Invalid() { return nullptr; }
    static void Close(SC_HANDLE s) { ::CloseServiceHandle(s); }
};
struct Local {  // blocks the system allocates for the caller (security descriptors)
    static HLOCAL Invalid() { return nullptr; }
    static void Close(HLOCAL p) { ::LocalFree(p); }
};
}  // namespace traits

using UniqueHandle = UniqueResource<HANDLE, traits::Handle>;
using UniqueFile = UniqueResource<HANDLE, traits::File>;
using UniqueFind = UniqueResource<HANDLE, traits::Find>;
using UniqueChangeNotification = UniqueResource<HANDLE, traits::ChangeNotification>;
using UniqueKey = UniqueResource<HKEY, traits::RegKey>;
using UniqueModule = UniqueResource<HMODULE, traits::Module>;
using UniqueResourceData = UniqueResource<HGLOBAL, traits::Resource>;
using UniqueService = UniqueResource<SC_HANDLE, traits::Service>;
using UniqueLocal = UniqueResource<HLOCAL, traits::Local>;

// COM interface pointer: releases on destruction.
template <typename I>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    I* get() const noexcept { return p_; }
    I* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    I** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    void reset() noexcept {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

private:
    I* p_ = nullptr;
};

// COM or OLE initialised for the lifetime of the scope, uninitialised on
// every path where the initialisation succeeded.
template <HRESULT (*Init)(), void (*Uninit)()>
class InitScope {
public:
    InitScope() : hr_(Init()) {}
    ~InitScope() {
        if (SUCCEEDED(hr_)) Uninit();
    }
    InitScope(const InitScope&) = delete;
    InitScope& operator=(const InitScope&) = delete;
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

namespace detail {
inline HRESULT ComInit() { return ::CoInitialize(nullptr); }
inline void ComUninit() { ::CoUninitialize(); }
inline HRESULT OleInit() { return ::OleInitialize(nullptr); }
inline void OleUninit() { ::OleUninitialize(); }
}  // namespace detail

using ComScope = InitScope<detail::ComInit, detail::ComUninit>;
using OleScope = InitScope<detail::OleInit, detail::OleUninit>;

}  // namespace vek
