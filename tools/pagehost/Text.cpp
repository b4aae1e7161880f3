// Text helpers: UTF-8 <-> UTF-16 and the textual form of script values.
#include "tools/pagehost/Text.h"

#include "framework/Raii.h"
#include "tools/pagehost/OleValues.h"

#include <cmath>
#include <cstdio>
#include <cwchar>

namespace pagehost {

std::string toUtf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int inLength = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), inLength, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), inLength, result.data(), size, nullptr, nullptr);
    return result;
}

std::wstring fromUtf8(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int inLength = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), inLength, nullptr, 0);
    std::wstring result(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), inLength, result.data(), size);
    return result;
}

std::wstring numberText(double value) {
    if (std::isnan(value)) {
        return L"NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? L"-Infinity" : L"Infinity";
    }
    wchar_t buffer[64];
    if (value == std::floor(value) && std::fabs(value) < 1e21) {
        std::swprintf(buffer, 64, L"%.0f", value);
        return buffer;
    }
    for (int precision = 1; precision <= 17; ++precision) {
        std::swprintf(buffer, 64, L"%.*g", precision, value);
        if (std::wcstod(buffer, nullptr) == value) {
            break;
        }
    }
    return buffer;
}

std::wstring asciiLower(std::wstring_view text) {
    std::wstring result(text);
    for (auto& ch : result) {
        if (ch >= L'A' && ch <= L'Z') {
            ch = static_cast<wchar_t>(ch - L'A' + L'a');
        }
    }
    return result;
}

namespace {

std::wstring dispatchDefaultText(IDispatch* object) {
    if (!object) {
        return L"null";
    }
    DISPPARAMS none{};
    Variant result;
    if (FAILED(
            object->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.get(), nullptr, nullptr)) ||
        result->vt == VT_DISPATCH) {
        return L"[object]";
    }
    return scriptValueText(*result.get());
}

}  // namespace

std::wstring scriptValueText(const VARIANT& value) {
    switch (value.vt) {
    case VT_EMPTY:
        return L"undefined";
    case VT_NULL:
        return L"null";
    case VT_BOOL:
        return value.boolVal ? L"true" : L"false";
    case VT_BSTR:
        return value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : std::wstring();
    case VT_R8:
        return numberText(value.dblVal);
    case VT_R4:
        return numberText(value.fltVal);
    case VT_DISPATCH:
        return dispatchDefaultText(value.pdispVal);
    default:
        break;
    }
    // Integers of every width (and anything else the automation library can render).
    Variant copy;
    if (FAILED(VariantCopyInd(copy.get(), const_cast<VARIANT*>(&value)))) {
        return L"[unprintable]";
    }
    if (copy->vt != value.vt) {
        return scriptValueText(*copy.get());
    }
    if (FAILED(VariantChangeTypeEx(copy.get(), copy.get(), LOCALE_INVARIANT, 0, VT_BSTR))) {
        return L"[unprintable]";
    }
    return scriptValueText(*copy.get());
}

}  // namespace pagehost
