// Small owners for Windows handles and COM values: ComPtr, UniqueHandle (HWND, HIMAGELIST, GDI), Bstr, Variant.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <utility>

namespace fw {

// Owns one COM reference.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }  // NOLINT: takes a new reference, like assignment
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }

    // Takes over a reference the caller already owns (e.g. from a create function).
    static ComPtr Adopt(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }

    void Reset() {
        if (auto* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    T* Detach() { return std::exchange(p_, nullptr); }

    template <class U>
    ComPtr<U> As(REFIID iid) const {
        ComPtr<U> out;
        if (p_) p_->QueryInterface(iid, out.PutVoid());
        return out;
    }

private:
    T* p_ = nullptr;
};

// Owns a handle released by Close; Null is the empty value.
template <class H, auto Close, H Null = H{}>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(H h) : h_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        Reset(o.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    void Reset(H h = Null) {
        if (h_ != Null) Close(h_);
        h_ = h;
    }
    H Release() { return std::exchange(h_, Null); }
    H Get() const { return h_; }
    explicit operator bool() const { return h_ != Null; }

private:
    H h_ = Null;
};

namespace detail {
inline void CloseWindow(HWND h) { ::DestroyWindow(h); }
inline void CloseImageList(HIMAGELIST h) { ::ImageList_Destroy(h); }
inline void CloseGdi(HGDIOBJ h) { ::DeleteObject(h); }
inline void CloseBitmap(HBITMAP h) { ::DeleteObject(h); }
inline void CloseDc(HDC h) { ::DeleteDC(h); }
inline void CloseHook(HHOOK h) { ::UnhookWindowsHookEx(h); }
inline void CloseIcon(HICON h) { ::DestroyIcon(h); }
}  // namespace detail

using UniqueHwnd = UniqueHandle<HWND, detail::CloseWindow>;
using UniqueImageList = UniqueHandle<HIMAGELIST, detail::CloseImageList>;
using UniqueGdiObject = UniqueHandle<HGDIOBJ, detail::CloseGdi>;
using UniqueBitmap = UniqueHandle<HBITMAP, detail::CloseBitmap>;
using UniqueDc = UniqueHandle<HDC, detail::CloseDc>;
using UniqueHook = UniqueHandle<HHOOK, detail::CloseHook>;
using UniqueIcon = UniqueHandle<HICON, detail::CloseIcon>;

// Puts a GDI object into a DC for a scope and puts the old one back.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
    ~SelectObjectScope() { ::SelectObject(dc_, old_); }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Owns a BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* s) : b_(::SysAllocString(s)) {}
    Bstr(Bstr&& o) noexcept : b_(o.Detach()) {}
    Bstr& operator=(Bstr&& o) noexcept {
        Reset(o.Detach());
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { Reset(); }

    static Bstr Adopt(BSTR b) {
        Bstr s;
        s.b_ = b;
        return s;
    }
    void Reset(BSTR b = nullptr) { ::SysFreeString(std::exchange(b_, b)); }
    BSTR Get() const { return b_; }
    BSTR* Put() {
        Reset();
        return &b_;
    }
    BSTR Detach() { return std::exchange(b_, nullptr); }
    UINT Length() const { return ::SysStringLen(b_); }

private:
    BSTR b_ = nullptr;
};

// Gives a VARIANT the empty value in every byte. VariantInit sets only the type on older
// systems, so a union left over from an earlier use would survive it and could be taken for a
// pointer by whoever sets a type without setting the value. Does not free what v held.
inline void InitWholeVariant(VARIANT& v) { v = VARIANT{}; }

// Owns a VARIANT (cleared on destruction).
class Variant {
public:
    Variant() { InitWholeVariant(v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&v_); }

    VARIANT* Get() { return &v_; }
    const VARIANT* Get() const { return &v_; }
    VARIANT* operator->() { return &v_; }
    const VARIANT* operator->() const { return &v_; }
    VARIANT* Put() {
        ::VariantClear(&v_);
        InitWholeVariant(v_);
        return &v_;
    }
    void Detach(VARIANT* out) {
        *out = v_;
        InitWholeVariant(v_);
    }

private:
    VARIANT v_;
};

}  // namespace fw
