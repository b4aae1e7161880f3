// CTovaloPropPage: the control's property page (caption "일반"); it binds no properties.
#pragma once

#include "framework/PropertyPage.h"

namespace tovalo {

class CTovaloPropPage final : public fw::PropertyPage {
public:
    CTovaloPropPage();

protected:
    void DoDataExchange(bool) override {}

private:
    ~CTovaloPropPage() override = default;
};

HRESULT CreateTovaloPropPage(REFIID riid, void** out);

}  // namespace tovalo
