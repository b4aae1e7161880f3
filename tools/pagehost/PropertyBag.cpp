// The property bag through which the control loads the <param> values of its <object>.
#include "tools/pagehost/PropertyBag.h"

#include "tools/pagehost/Text.h"

namespace pagehost {

fw::ComPtr<IPropertyBag> PropertyBag::create(std::vector<PageParam> params) {
    return fw::ComPtr<IPropertyBag>::Adopt(new PropertyBag(std::move(params)));
}

STDMETHODIMP PropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog* /*log*/) {
    if (!name || !value) {
        return E_POINTER;
    }
    const std::wstring wanted = asciiLower(name);
    for (const auto& param : m_params) {
        if (asciiLower(param.name) != wanted) {
            continue;
        }
        const VARTYPE asked = value->vt;
        VARIANT text;
        VariantInit(&text);
        text.vt = VT_BSTR;
        text.bstrVal = SysAllocStringLen(param.value.data(), static_cast<UINT>(param.value.size()));
        if (!text.bstrVal) {
            return E_OUTOFMEMORY;
        }
        if (asked == VT_EMPTY || asked == VT_BSTR) {
            *value = text;
            return S_OK;
        }
        VariantInit(value);
        const HRESULT hr = VariantChangeType(value, &text, 0, asked);
        VariantClear(&text);
        return hr;
    }
    return E_INVALIDARG;
}

STDMETHODIMP PropertyBag::Write(LPCOLESTR /*name*/, VARIANT* /*value*/) {
    return E_NOTIMPL;  // the page is only ever read
}

}  // namespace pagehost
