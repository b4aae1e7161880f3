// Owning wrappers for the BSTRs and VARIANTs of the page host (COM pointers are the framework's fw::ComPtr).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace pagehost {

// A BSTR that frees itself.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text) : m_bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : m_bstr(std::exchange(other.m_bstr, nullptr)) {}
    ~Bstr() { SysFreeString(m_bstr); }

    BSTR get() const { return m_bstr; }
    BSTR* put() {
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

}  // namespace pagehost
