// Argument checking and coercion for table-driven Invoke; result helpers.
#include "framework/Dispatch.h"

#include "framework/Text.h"

namespace fw {

namespace {

bool IsMissing(const VARIANT& v) { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

const VARIANT& Deref(const VARIANT& v) {
    return v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal ? *v.pvarVal : v;
}

// Converts one argument to the declared type. Null, undefined and empty values become a null
// BSTR for text parameters: handlers read it as empty (or as "missing" where that matters).
HRESULT Coerce(const VARIANT& source, VARTYPE type, VARIANT& out) {
    const VARIANT& src = Deref(source);
    // References and objects that point nowhere are refused here rather than followed.
    if ((src.vt & VT_BYREF) && !src.byref) return DISP_E_TYPEMISMATCH;
    if ((src.vt == VT_DISPATCH && !src.pdispVal) || (src.vt == VT_UNKNOWN && !src.punkVal)) return DISP_E_TYPEMISMATCH;
    if (type == VT_BSTR && (src.vt == VT_NULL || src.vt == VT_EMPTY)) {
        out.vt = VT_BSTR;
        out.bstrVal = nullptr;
        return S_OK;
    }
    // The API takes a non-const source but does not change it.
    auto* in = const_cast<VARIANT*>(&src);
    if (type == VT_VARIANT) return ::VariantCopyInd(&out, in);
    return ::VariantChangeType(&out, in, 0, type);
}

}  // namespace

HRESULT PrepareCall(const MemberInfo& member, WORD flags, const DISPPARAMS* params, PreparedCall& call, UINT* argErr) {
    static const DISPPARAMS kNoParams = {nullptr, nullptr, 0, 0};
    if (!params) params = &kNoParams;
    const UINT argc = params->cArgs;
    if (argc && !params->rgvarg) return E_INVALIDARG;

    const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (member.kind == MemberKind::Property && isPut) {
        if (!member.writable) return DISP_E_MEMBERNOTFOUND;
        if (argc != 1) return DISP_E_BADPARAMCOUNT;
        // The value is the one named DISPID_PROPERTYPUT argument; tolerate callers that do not name it.
        if (params->cNamedArgs > 1 ||
            (params->cNamedArgs == 1 && (!params->rgdispidNamedArgs || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))) {
            return DISP_E_PARAMNOTFOUND;
        }
        call.op = PreparedCall::Op::Put;
        call.count = 1;
        if (IsMissing(params->rgvarg[0]) || FAILED(Coerce(params->rgvarg[0], member.type, call.args[0]))) {
            if (argErr) *argErr = 0;
            return DISP_E_TYPEMISMATCH;
        }
        return S_OK;
    }
    if (member.kind == MemberKind::Property) {
        if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
        if (params->cNamedArgs) return DISP_E_NONAMEDARGS;
        if (argc != 0) return DISP_E_BADPARAMCOUNT;
        call.op = PreparedCall::Op::Get;
        return S_OK;
    }
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (params->cNamedArgs) return DISP_E_NONAMEDARGS;
    if (argc != member.paramCount) return DISP_E_BADPARAMCOUNT;
    call.op = PreparedCall::Op::Call;
    call.count = member.paramCount;
    for (UINT i = 0; i < argc; ++i) {
        const UINT slot = argc - 1 - i;  // rgvarg holds the arguments last to first
        const VARIANT& arg = params->rgvarg[slot];
        if (IsMissing(arg)) {
            if (argErr) *argErr = slot;
            return DISP_E_PARAMNOTOPTIONAL;
        }
        if (FAILED(Coerce(arg, member.params[i], call.args[i]))) {
            if (argErr) *argErr = slot;
            return DISP_E_TYPEMISMATCH;
        }
    }
    return S_OK;
}

bool SameMemberName(const wchar_t* a, const wchar_t* b) {
    return ::CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

std::string ArgText(const VARIANT& v) { return v.vt == VT_BSTR ? AnsiFromBstr(v.bstrVal) : std::string(); }
bool ArgIsNullText(const VARIANT& v) { return v.vt != VT_BSTR || v.bstrVal == nullptr; }

void SetResultText(VARIANT& result, std::string_view ansi) {
    ::VariantClear(&result);
    BSTR b = BstrFromAnsi(ansi);
    if (!b) throw std::bad_alloc();
    result.vt = VT_BSTR;
    result.bstrVal = b;
}

void SetResultUI4(VARIANT& result, std::uint32_t value) {
    ::VariantClear(&result);
    result.vt = VT_UI4;
    result.ulVal = value;
}

void SetResultI4(VARIANT& result, std::int32_t value) {
    ::VariantClear(&result);
    result.vt = VT_I4;
    result.lVal = value;
}

}  // namespace fw
