// Argument checking and coercion for table-driven Invoke; result helpers.
#include "framework/Dispatch.h"

#include "framework/DispatchRules.h"
#include "framework/Text.h"

#include <algorithm>
#include <tuple>

namespace fw {

namespace {

static_assert(rules::kMethod == DISPATCH_METHOD && rules::kPropertyGet == DISPATCH_PROPERTYGET &&
              rules::kPropertyPut == DISPATCH_PROPERTYPUT && rules::kPropertyPutRef == DISPATCH_PROPERTYPUTREF &&
              rules::kPropertyPutId == DISPID_PROPERTYPUT);
static_assert(rules::kEmpty == VT_EMPTY && rules::kNull == VT_NULL && rules::kText == VT_BSTR &&
              rules::kDispatch == VT_DISPATCH && rules::kUnknown == VT_UNKNOWN && rules::kVariant == VT_VARIANT &&
              rules::kByRef == VT_BYREF);
static_assert(std::tuple_size_v<decltype(MemberInfo::params)> == rules::kMaxParams);

bool IsMissing(const VARIANT& v) { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

const VARIANT& Deref(const VARIANT& v) { return v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal ? *v.pvarVal : v; }

rules::ArgShape ShapeOf(const VARIANT& arg) {
    const VARIANT& v = Deref(arg);
    const bool nullPointer =
        ((v.vt & VT_BYREF) && !v.byref) || (v.vt == VT_DISPATCH && !v.pdispVal) || (v.vt == VT_UNKNOWN && !v.punkVal);
    return {v.vt, nullPointer, IsMissing(arg)};
}

HRESULT ResultOf(rules::Outcome outcome) {
    switch (outcome) {
    case rules::Outcome::Ok:
        return S_OK;
    case rules::Outcome::InvalidArgument:
        return E_INVALIDARG;
    case rules::Outcome::MemberNotFound:
        return DISP_E_MEMBERNOTFOUND;
    case rules::Outcome::BadParamCount:
        return DISP_E_BADPARAMCOUNT;
    case rules::Outcome::NoNamedArgs:
        return DISP_E_NONAMEDARGS;
    case rules::Outcome::ParamNotFound:
        return DISP_E_PARAMNOTFOUND;
    case rules::Outcome::ParamNotOptional:
        return DISP_E_PARAMNOTOPTIONAL;
    case rules::Outcome::TypeMismatch:
        return DISP_E_TYPEMISMATCH;
    }
    return E_UNEXPECTED;
}

// Carries out one planned conversion into out (which is empty).
HRESULT Convert(const VARIANT& source, const rules::ArgPlan& plan, VARIANT& out) {
    // The APIs take a non-const source but do not change it.
    auto* in = const_cast<VARIANT*>(&Deref(source));
    switch (plan.conversion) {
    case rules::Conversion::NullText:
        out.vt = VT_BSTR;
        out.bstrVal = nullptr;
        return S_OK;
    case rules::Conversion::CopyValue:
        return ::VariantCopyInd(&out, in);
    case rules::Conversion::ChangeType:
        return ::VariantChangeType(&out, in, 0, plan.wanted);
    case rules::Conversion::Refuse:
        break;
    }
    return DISP_E_TYPEMISMATCH;
}

}  // namespace

HRESULT PrepareCall(const MemberInfo& member, WORD flags, const DISPPARAMS* params, PreparedCall& call, UINT* argErr) {
    static const DISPPARAMS kNoParams = {nullptr, nullptr, 0, 0};
    if (!params) params = &kNoParams;
    const rules::CallShape shape = {flags,
                                    params->cArgs,
                                    params->rgvarg != nullptr,
                                    params->cNamedArgs,
                                    params->rgdispidNamedArgs != nullptr,
                                    params->cNamedArgs && params->rgdispidNamedArgs ? params->rgdispidNamedArgs[0] : 0};
    // Only as many arguments as a member can take are looked at; more fail on their count.
    std::array<rules::ArgShape, rules::kMaxParams> args{};
    const size_t looked = params->rgvarg ? std::min<size_t>(params->cArgs, args.size()) : 0;
    for (size_t i = 0; i < looked; ++i) args[i] = ShapeOf(params->rgvarg[i]);
    const std::span<const VARTYPE> declared(member.params.data(), member.paramCount);
    const rules::MemberShape memberShape = {member.kind == MemberKind::Property, member.writable, member.type,
                                            declared};
    const rules::CallPlan plan = rules::PlanCall(memberShape, shape, std::span(args.data(), looked));
    if (plan.outcome != rules::Outcome::Ok) {
        if (argErr && plan.failedSlot != rules::kNoArgument) *argErr = plan.failedSlot;
        return ResultOf(plan.outcome);
    }
    call.op = plan.op == rules::Op::Put    ? PreparedCall::Op::Put
              : plan.op == rules::Op::Call ? PreparedCall::Op::Call
                                           : PreparedCall::Op::Get;
    call.count = plan.count;
    for (std::uint8_t i = 0; i < plan.count; ++i) {
        const rules::ArgPlan& arg = plan.args[i];
        if (FAILED(Convert(params->rgvarg[arg.slot], arg, call.args[i]))) {
            if (argErr) *argErr = arg.slot;
            return DISP_E_TYPEMISMATCH;
        }
    }
    return S_OK;
}

bool SameMemberName(const wchar_t* a, const wchar_t* b) {
    return ::CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

std::string ArgText(const VARIANT& v) { return v.vt == VT_BSTR ? AnsiFromBstr(v.bstrVal) : std::string(); }
std::wstring ArgWideText(const VARIANT& v) {
    if (v.vt != VT_BSTR || !v.bstrVal) return {};
    return std::wstring(v.bstrVal, ::SysStringLen(v.bstrVal));
}
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
