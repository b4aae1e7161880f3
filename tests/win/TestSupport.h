// Shared helpers of the COM tests: the OCX beside the test, invoking members, a property bag,
// a small in-place container, and a hook that answers modal dialogs.
#pragma once

#include "framework/ComObject.h"
#include "framework/Raii.h"

#include <gtest/gtest.h>
#include <ocidl.h>
#include <oleauto.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tovalo_test {

// The fixed identities the tests check against (written out here on purpose, not shared with
// the control: a changed GUID in the control must fail the tests).
extern const GUID kLibId;
extern const CLSID kCtrlClsid;
extern const IID kDispatchIid;
extern const IID kEventsIid;
extern const CLSID kPropPageClsid;

// Full path of Tovalo.ocx beside the test executable.
std::wstring OcxPath();

fw::ComPtr<IDispatch> CreateControl();

// An argument of an Invoke call, as the test table writes it.
struct Arg {
    VARTYPE vt;
    const wchar_t* text = nullptr;
    double number = 0;
};
Arg Text(const wchar_t* s);
Arg I4(std::int32_t n);
Arg UI4(std::uint32_t n);
Arg R8(double n);
Arg Null();
Arg Empty();
Arg Missing();  // VT_ERROR / DISP_E_PARAMNOTFOUND: an omitted optional argument

struct InvokeResult {
    HRESULT hr;
    VARTYPE vt;          // type of the result VARIANT
    std::wstring value;  // the result as text (VariantChangeType to VT_BSTR)
    UINT argErr;
};

// Invokes with arguments given in declared order (the helper reverses them for rgvarg).
InvokeResult Invoke(IDispatch* d, DISPID id, WORD flags, const std::vector<Arg>& args, bool wantResult = true,
                    bool namedPut = true);
DISPID IdOf(IDispatch* d, const wchar_t* name);
InvokeResult Get(IDispatch* d, const wchar_t* name);
HRESULT Put(IDispatch* d, const wchar_t* name, const Arg& value);
InvokeResult Call(IDispatch* d, const wchar_t* name, const std::vector<Arg>& args = {});

// A property bag in memory, as a page's <param> elements or a container's saved state.
class MemoryBag final : public fw::ScopedComObject<IPropertyBag> {
public:
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;

    void SetText(const std::wstring& name, const std::wstring& value);
    bool Has(const std::wstring& name) const { return values_.count(name) != 0; }
    // The value as text, "" when absent.
    std::wstring TextOf(const std::wstring& name) const;
    const std::vector<std::wstring>& WriteOrder() const { return order_; }

private:
    struct Value {
        VARTYPE vt;
        std::wstring text;
        LONG number;
    };
    std::map<std::wstring, Value> values_;
    std::vector<std::wstring> order_;
};

// A top-level window with a client site, in-place site and frame: enough to activate a control.
class TestContainer final : public fw::ScopedComObject<IOleClientSite, fw::AlsoAs<IOleInPlaceSite, IOleWindow>,
                                                       fw::AlsoAs<IOleInPlaceFrame, IOleInPlaceUIWindow>> {
public:
    TestContainer();
    ~TestContainer();

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    // The page's URL, as a browser's site tells it: a local page unless a test says otherwise.
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    std::wstring pageUrl = L"file:///C:/tests/page.html";
    STDMETHODIMP GetContainer(IOleContainer** c) override {
        *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow
    STDMETHODIMP GetWindow(HWND* hwnd) override {
        *hwnd = hwnd_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override {
        ++inPlaceActivations;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override {
        ++uiActivations;
        return S_OK;
    }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override {
        ++uiDeactivations;
        return S_OK;
    }
    STDMETHODIMP OnInPlaceDeactivate() override {
        ++inPlaceDeactivations;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceUIWindow, IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        activeObject = object;  // not kept beyond the test: no reference taken
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    HWND Hwnd() const { return hwnd_; }
    // The control's place in the container window.
    static constexpr RECT kPosition = {10, 20, 410, 220};

    // Embeds the control: client site, optional property bag, in-place activation.
    HRESULT Embed(IDispatch* control, IPropertyBag* params = nullptr);

    int inPlaceActivations = 0;
    int inPlaceDeactivations = 0;
    int uiActivations = 0;
    int uiDeactivations = 0;
    IOleInPlaceActiveObject* activeObject = nullptr;  // as the frame was last told

private:
    HWND hwnd_ = nullptr;
};

// While it lives, answers every dialog box (#32770) of this thread with IDOK as soon as it is
// activated, and records the captions of the dialogs and the texts of every window created.
class DialogAnswerer {
public:
    DialogAnswerer();
    ~DialogAnswerer();
    std::vector<std::wstring> captions;
    std::vector<std::wstring> createdTexts;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp);
    fw::UniqueHook hook_;
};

}  // namespace tovalo_test
