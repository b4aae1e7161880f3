// The property bag through which the control loads the <param> values of its <object>.
#pragma once

#include "framework/ComObject.h"
#include "framework/Raii.h"
#include "tools/pagehost/Page.h"

#include <ocidl.h>

#include <vector>

namespace pagehost {

// Read-only bag over the page's params: names match without regard to case, values are texts
// handed out as VT_BSTR, or converted when the reader asks for another type.
class PropertyBag final : public fw::ComObject<IPropertyBag> {
public:
    static fw::ComPtr<IPropertyBag> create(std::vector<PageParam> params);

    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;

private:
    explicit PropertyBag(std::vector<PageParam> params) : m_params(std::move(params)) {}
    ~PropertyBag() override = default;

    std::vector<PageParam> m_params;
};

}  // namespace pagehost
