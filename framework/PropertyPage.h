// A property page object (IPropertyPage) whose face is a child dialog from a resource template.
#pragma once

#include "framework/ComObject.h"
#include "framework/Raii.h"

#include <ocidl.h>

#include <vector>

namespace fw {

class PropertyPage : public ComObject<IPropertyPage> {
public:
    PropertyPage(UINT templateId, UINT captionId);

    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT cmd) override;
    STDMETHODIMP Move(LPCRECT rect) override;
    STDMETHODIMP IsPageDirty() override { return S_FALSE; }
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG* msg) override;

protected:
    ~PropertyPage() override;
    // Moves values between the page's controls and the objects (save: page -> objects).
    virtual void DoDataExchange(bool save) = 0;
    HWND Hwnd() const { return hwnd_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    SIZE MeasureTemplate() const;

    UINT templateId_;
    UINT captionId_;
    ComPtr<IPropertyPageSite> site_;
    std::vector<ComPtr<IUnknown>> objects_;
    HWND hwnd_ = nullptr;
};

}  // namespace fw
