// Late-bound dispatch from a member table: name lookup, argument checks and coercion, error codes.
#pragma once

#include "framework/Raii.h"

#include <oaidl.h>

#include <array>
#include <cstdint>
#include <exception>
#include <new>
#include <span>
#include <string>

namespace fw {

enum class MemberKind : std::uint8_t { Method, Property };

// What the dispatch machinery needs to know of a member, independent of its handlers.
struct MemberInfo {
    const wchar_t* name;
    DISPID id;
    MemberKind kind;
    VARTYPE type;                     // property type, or method result (VT_EMPTY: none)
    std::array<VARTYPE, 4> params{};  // method parameters, in declared order
    std::uint8_t paramCount = 0;
    bool writable = false;  // property has a setter
};

// Handlers receive their arguments converted to the declared types, in declared order. A text
// argument may hold a null BSTR: the caller passed null, undefined or nothing usable as text.
using DispArgs = std::span<const VARIANT>;

template <class T>
struct DispMember {
    MemberInfo info;
    void (*get)(T& self, DispArgs args, VARIANT& result);  // method call, or property get
    void (*put)(T& self, const VARIANT& value);            // property put; nullptr if read-only
};

// Table builders: a method with its parameter types and result, a property with getter and setter.
template <class T>
constexpr DispMember<T> DispMethod(const wchar_t* name, DISPID id, VARTYPE result,
                                   std::initializer_list<VARTYPE> params, void (*call)(T&, DispArgs, VARIANT&)) {
    DispMember<T> m{{name, id, MemberKind::Method, result, {}, 0, false}, call, nullptr};
    for (VARTYPE vt : params) m.info.params[m.info.paramCount++] = vt;
    return m;
}

template <class T>
constexpr DispMember<T> DispProperty(const wchar_t* name, DISPID id, VARTYPE type, void (*get)(T&, DispArgs, VARIANT&),
                                     void (*put)(T&, const VARIANT&)) {
    return {{name, id, MemberKind::Property, type, {}, 0, put != nullptr}, get, put};
}

// An Invoke call checked against a member: which handler runs and the converted arguments.
class PreparedCall {
public:
    enum class Op { Get, Put, Call };
    Op op = Op::Get;
    std::array<VARIANT, 4> args{};  // owned: cleared on destruction
    std::uint8_t count = 0;

    PreparedCall() = default;
    PreparedCall(const PreparedCall&) = delete;
    PreparedCall& operator=(const PreparedCall&) = delete;
    ~PreparedCall() {
        for (VARIANT& v : args) ::VariantClear(&v);
    }

    // The converted arguments as handlers see them.
    DispArgs Args() const { return DispArgs(args.data(), count); }
};

// Checks flags and arguments of an Invoke call against a member and converts the arguments.
// Fails with DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT, DISP_E_NONAMEDARGS,
// DISP_E_PARAMNOTOPTIONAL or DISP_E_TYPEMISMATCH (*argErr = index of the argument in rgvarg).
HRESULT PrepareCall(const MemberInfo& member, WORD flags, const DISPPARAMS* params, PreparedCall& call, UINT* argErr);

// Case-insensitive comparison of member names.
bool SameMemberName(const wchar_t* a, const wchar_t* b);

// GetIDsOfNames over a table: the first name is the member, the rest (parameter names) are
// not bound and get DISPID_UNKNOWN, which the result reports as DISP_E_UNKNOWNNAME.
template <class T>
HRESULT TableIdsOfNames(std::span<const DispMember<T>> table, LPOLESTR* names, UINT count, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    HRESULT hr = DISP_E_UNKNOWNNAME;
    ids[0] = DISPID_UNKNOWN;
    for (const DispMember<T>& m : table) {
        if (names[0] && SameMemberName(m.info.name, names[0])) {
            ids[0] = m.info.id;
            hr = S_OK;
            break;
        }
    }
    for (UINT i = 1; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

template <class T>
HRESULT TableInvoke(std::span<const DispMember<T>> table, T& self, DISPID id, WORD flags, DISPPARAMS* params,
                    VARIANT* result, UINT* argErr) noexcept {
    const DispMember<T>* member = nullptr;
    for (const DispMember<T>& m : table) {
        if (m.info.id == id) {
            member = &m;
            break;
        }
    }
    if (!member) return DISP_E_MEMBERNOTFOUND;
    try {
        PreparedCall call;
        const HRESULT hr = PrepareCall(member->info, flags, params, call, argErr);
        if (FAILED(hr)) return hr;
        if (call.op == PreparedCall::Op::Put) {
            member->put(self, call.args[0]);
            return S_OK;
        }
        Variant value;
        member->get(self, call.Args(), *value.Get());
        // The caller's result is storage to write, not a value to free: callers may hand in
        // one that was never initialised.
        if (result) value.Detach(result);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_FAIL;  // nothing may leave through the COM boundary
    }
}

// Argument and result helpers for handlers.
std::string ArgText(const VARIANT& v);       // null BSTR -> ""
std::wstring ArgWideText(const VARIANT& v);  // the same, every character kept (local paths)
bool ArgIsNullText(const VARIANT& v);
void SetResultText(VARIANT& result, std::string_view ansi);
void SetResultUI4(VARIANT& result, std::uint32_t value);
void SetResultI4(VARIANT& result, std::int32_t value);

}  // namespace fw
