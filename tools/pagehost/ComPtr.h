// Owning wrappers for COM pointers, BSTRs and VARIANTs used throughout the page host.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace pagehost {

// Holds one reference; releases it when replaced or destroyed.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(const ComPtr& other) : m_ptr(other.m_ptr) { addRef(); }
    ComPtr(ComPtr&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    ~ComPtr() { reset(); }

    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(m_ptr, other.m_ptr);
        return *this;
    }

    // Takes over a reference the caller already owns (e.g. fresh from `new`).
    static ComPtr adopt(T* ptr)
    {
        ComPtr result;
        result.m_ptr = ptr;
        return result;
    }

    // Adds a reference of its own.
    static ComPtr share(T* ptr)
    {
        ComPtr result;
        result.m_ptr = ptr;
        result.addRef();
        return result;
    }

    void reset()
    {
        if (m_ptr) {
            std::exchange(m_ptr, nullptr)->Release();
        }
    }

    // For out-parameters: releases what is held and hands out the slot.
    T** put()
    {
        reset();
        return &m_ptr;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

    // Hands the reference to the caller (e.g. an out-parameter of our own interface).
    T* detach() { return std::exchange(m_ptr, nullptr); }

    template <class U>
    ComPtr<U> query(REFIID iid) const
    {
        ComPtr<U> result;
        if (m_ptr) {
            m_ptr->QueryInterface(iid, result.putVoid());
        }
        return result;
    }

    T* get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }

private:
    void addRef()
    {
        if (m_ptr) {
            m_ptr->AddRef();
        }
    }

    T* m_ptr = nullptr;
};

// A BSTR that frees itself.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text)
        : m_bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : m_bstr(std::exchange(other.m_bstr, nullptr)) {}
    ~Bstr() { SysFreeString(m_bstr); }

    BSTR get() const { return m_bstr; }
    BSTR* put()
    {
        SysFreeString(std::exchange(m_bstr, nullptr));
        return &m_bstr;
    }
    BSTR detach() { return std::exchange(m_bstr, nullptr); }
    std::wstring str() const { return m_bstr ? std::wstring(m_bstr, SysStringLen(m_bstr)) : std::wstring(); }

private:
    BSTR m_bstr = nullptr;
};

// A VARIANT that clears itself.
class Variant {
public:
    Variant() { VariantInit(&m_var); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&m_var); }

    VARIANT* get() { return &m_var; }
    const VARIANT* get() const { return &m_var; }
    VARIANT* operator->() { return &m_var; }
    const VARIANT* operator->() const { return &m_var; }

private:
    VARIANT m_var;
};

} // namespace pagehost
