// Names and descriptions for screen readers (see AccessibleText.h). The window answers WM_GETOBJECT
// for its client object with an object of ours that takes every answer from the system's object
// for the window, except the name and the description, which it reads from the window's texts at
// each call (a client may keep the object while the name changes).
#include "framework/AccessibleText.h"

#include "framework/ComObject.h"
#include "framework/Raii.h"

#include <commctrl.h>
#include <oleacc.h>

#include <iterator>
#include <utility>

namespace fw {
namespace {

constexpr UINT_PTR kSubclassId = 0x4143;  // "AC"
// The window's texts hang on it as a property: the subclass's own data cannot be read back with
// the 64-bit import libraries of every toolchain (GetWindowSubclass is missing from some).
constexpr wchar_t kTextsProperty[] = L"TovaloAccessibleTexts";
// The window as a UI Automation live region (Windows 8 on), and how it speaks: politely.
constexpr GUID kLiveSettingProperty = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kLivePolite = 1;
constexpr DWORD kLiveRegionChanged = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED

struct Texts {
    std::wstring name;
    std::wstring description;
};

LRESULT CALLBACK TextsProc(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data);

// The window's texts while it has them (null once it is gone: the object then answers as the
// system's does).
Texts* TextsOf(HWND window) {
    return ::IsWindow(window) ? static_cast<Texts*>(::GetPropW(window, kTextsProperty)) : nullptr;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT Answer(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

class NamedAccessible final : public ComObject<AlsoAs<IAccessible, IDispatch>, IOleWindow> {
public:
    NamedAccessible(HWND window, ComPtr<IAccessible> system) : window_(window), system_(std::move(system)) {}

    // IDispatch: the system object's.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return system_->GetTypeInfoCount(count); }
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return system_->GetTypeInfo(index, lcid, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        return system_->GetIDsOfNames(iid, names, count, lcid, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override {
        return system_->Invoke(id, iid, lcid, flags, params, result, excep, argErr);
    }

    // IAccessible: the name and the description are ours.
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
        const Texts* texts = IsSelf(child) ? TextsOf(window_) : nullptr;
        if (!texts) return system_->get_accName(child, name);
        return Answer(texts->name.empty() ? WindowText(window_) : texts->name, name);
    }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override {
        const Texts* texts = IsSelf(child) ? TextsOf(window_) : nullptr;
        if (texts && !texts->description.empty()) return Answer(texts->description, description);
        return system_->get_accDescription(child, description);
    }
    STDMETHODIMP get_accParent(IDispatch** parent) override { return system_->get_accParent(parent); }
    STDMETHODIMP get_accChildCount(LONG* count) override { return system_->get_accChildCount(count); }
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override { return system_->get_accChild(child, out); }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override { return system_->get_accValue(child, value); }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override { return system_->get_accRole(child, role); }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override { return system_->get_accState(child, state); }
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override { return system_->get_accHelp(child, help); }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return system_->get_accHelpTopic(file, child, topic);
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return system_->get_accKeyboardShortcut(child, keys);
    }
    STDMETHODIMP get_accFocus(VARIANT* focus) override { return system_->get_accFocus(focus); }
    STDMETHODIMP get_accSelection(VARIANT* selection) override { return system_->get_accSelection(selection); }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
        return system_->get_accDefaultAction(child, action);
    }
    STDMETHODIMP accSelect(LONG flags, VARIANT child) override { return system_->accSelect(flags, child); }
    STDMETHODIMP accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        return system_->accLocation(left, top, width, height, child);
    }
    STDMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return system_->accNavigate(direction, start, end);
    }
    STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* child) override { return system_->accHitTest(x, y, child); }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override { return system_->accDoDefaultAction(child); }
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

    // IOleWindow: how a client finds the window of an object (WindowFromAccessibleObject).
    STDMETHODIMP GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = window_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    ~NamedAccessible() override = default;

    HWND window_;
    ComPtr<IAccessible> system_;
};

LRESULT CALLBACK TextsProc(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    switch (msg) {
    case WM_GETOBJECT:
        if (static_cast<DWORD>(lp) == static_cast<DWORD>(OBJID_CLIENT)) {
            ComPtr<IAccessible> system;
            if (SUCCEEDED(::CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible), system.PutVoid())) &&
                system) {
                const auto named = ComPtr<IAccessible>::Adopt(new NamedAccessible(window, std::move(system)));
                return ::LresultFromObject(__uuidof(IAccessible), wp, named.Get());
            }
        }
        break;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(window, TextsProc, kSubclassId);
        ::RemovePropW(window, kTextsProperty);
        delete reinterpret_cast<Texts*>(data);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(window, msg, wp, lp);
}

// The accessibility annotations of the system (Windows 8 and later know the live setting).
ComPtr<IAccPropServices> PropertyServices() {
    ComPtr<IAccPropServices> services;
    ::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices, services.PutVoid());
    return services;
}

}  // namespace

void SetAccessibleText(HWND window, std::wstring name, std::wstring description) {
    if (!window) return;
    if (Texts* texts = TextsOf(window)) {
        texts->name = std::move(name);
        texts->description = std::move(description);
        return;
    }
    auto* texts = new Texts{std::move(name), std::move(description)};
    if (!::SetPropW(window, kTextsProperty, texts)) {
        delete texts;
        return;
    }
    if (!::SetWindowSubclass(window, TextsProc, kSubclassId, reinterpret_cast<DWORD_PTR>(texts))) {
        ::RemovePropW(window, kTextsProperty);
        delete texts;
    }
}

void AnnounceNameChange(HWND window) {
    if (!window) return;
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
    ::NotifyWinEvent(kLiveRegionChanged, window, OBJID_CLIENT, CHILDID_SELF);
}

void SetAnnotatedName(HWND window, const wchar_t* name) {
    const ComPtr<IAccPropServices> services = PropertyServices();
    if (!services || !window || !name) return;
    services->SetHwndPropStr(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, name);
}

void MarkLiveRegion(HWND window) {
    const ComPtr<IAccPropServices> services = PropertyServices();
    if (!services || !window) return;
    VARIANT polite{};
    polite.vt = VT_I4;
    polite.lVal = kLivePolite;
    services->SetHwndProp(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kLiveSettingProperty, polite);
}

void ClearAnnotations(HWND window) {
    const ComPtr<IAccPropServices> services = PropertyServices();
    if (!services || !window) return;
    const MSAAPROPID given[] = {PROPID_ACC_NAME, kLiveSettingProperty};
    services->ClearHwndProps(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, given,
                             static_cast<int>(std::size(given)));
}

}  // namespace fw
