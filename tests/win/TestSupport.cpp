// Shared helpers of the COM tests.
#include "tests/win/TestSupport.h"

#include <urlmon.h>

#include <algorithm>

namespace tovalo_test {

const GUID kLibId = {0x27888BA0, 0x61E0, 0x44A2, {0x91, 0xB0, 0x26, 0x3E, 0x36, 0xDE, 0xDE, 0x5A}};
const CLSID kCtrlClsid = {0x3B0B4102, 0x58CA, 0x4165, {0xB0, 0xCD, 0x09, 0x70, 0xFE, 0xC6, 0xFF, 0x13}};
const IID kDispatchIid = {0x41A0E706, 0x4A2E, 0x4350, {0xBA, 0x9E, 0x15, 0x7A, 0xA0, 0xFD, 0x4B, 0x7A}};
const IID kEventsIid = {0xB3396CFF, 0x436F, 0x4FBF, {0x88, 0x73, 0x3C, 0xB0, 0xE6, 0xD0, 0x48, 0xFD}};
const CLSID kPropPageClsid = {0x0359A32D, 0x5F17, 0x40CD, {0x81, 0x9F, 0x51, 0x96, 0xF4, 0xE5, 0xE9, 0x20}};

std::wstring OcxPath() {
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path(exe);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"Tovalo.ocx";
}

fw::ComPtr<IDispatch> CreateControl() {
    fw::ComPtr<IDispatch> d;
    const HRESULT hr = ::CoCreateInstance(kCtrlClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, d.PutVoid());
    EXPECT_EQ(hr, S_OK) << "is Tovalo.ocx registered?";
    return d;
}

Arg Text(const wchar_t* s) { return {VT_BSTR, s, 0}; }
Arg I4(std::int32_t n) { return {VT_I4, nullptr, static_cast<double>(n)}; }
Arg UI4(std::uint32_t n) { return {VT_UI4, nullptr, static_cast<double>(n)}; }
Arg R8(double n) { return {VT_R8, nullptr, n}; }
Arg Null() { return {VT_NULL}; }
Arg Empty() { return {VT_EMPTY}; }
Arg Missing() { return {VT_ERROR}; }

namespace {

void Fill(const Arg& a, VARIANT& v) {
    ::VariantInit(&v);
    v.vt = a.vt;
    switch (a.vt) {
    case VT_BSTR:
        v.bstrVal = ::SysAllocString(a.text);
        break;
    case VT_I4:
        v.lVal = static_cast<LONG>(a.number);
        break;
    case VT_UI4:
        v.ulVal = static_cast<ULONG>(a.number);
        break;
    case VT_R8:
        v.dblVal = a.number;
        break;
    case VT_ERROR:
        v.scode = DISP_E_PARAMNOTFOUND;
        break;
    default:
        break;
    }
}

std::wstring AsText(VARIANT& v) {
    if (v.vt == VT_EMPTY) return L"";
    if (v.vt == VT_BSTR && !v.bstrVal) return L"<null>";
    fw::Variant text;
    if (FAILED(::VariantChangeType(text.Get(), &v, 0, VT_BSTR))) return L"<?>";
    return std::wstring(text->bstrVal, ::SysStringLen(text->bstrVal));
}

}  // namespace

InvokeResult Invoke(IDispatch* d, DISPID id, WORD flags, const std::vector<Arg>& args, bool wantResult, bool namedPut) {
    std::vector<VARIANT> rgvarg(args.size());
    for (size_t i = 0; i < args.size(); ++i) Fill(args[i], rgvarg[args.size() - 1 - i]);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{rgvarg.data(), nullptr, static_cast<UINT>(args.size()), 0};
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && namedPut) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    fw::Variant result;
    InvokeResult r{};
    r.argErr = 0xFFFFFFFFu;
    r.hr = d->Invoke(id, IID_NULL, 0, flags, &params, wantResult ? result.Get() : nullptr, nullptr, &r.argErr);
    r.vt = result->vt;
    r.value = AsText(*result.Get());
    for (VARIANT& v : rgvarg) ::VariantClear(&v);
    return r;
}

DISPID IdOf(IDispatch* d, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    auto* n = const_cast<LPOLESTR>(name);
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &n, 1, 0, &id), S_OK)
        << "no member " << testing::PrintToString(std::wstring(name));
    return id;
}

InvokeResult Get(IDispatch* d, const wchar_t* name) { return Invoke(d, IdOf(d, name), DISPATCH_PROPERTYGET, {}); }

HRESULT Put(IDispatch* d, const wchar_t* name, const Arg& value) {
    return Invoke(d, IdOf(d, name), DISPATCH_PROPERTYPUT, {value}, false).hr;
}

InvokeResult Call(IDispatch* d, const wchar_t* name, const std::vector<Arg>& args) {
    return Invoke(d, IdOf(d, name), DISPATCH_METHOD, args);
}

// --- MemoryBag ---------------------------------------------------------------------------------

STDMETHODIMP MemoryBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    const auto it = values_.find(name);
    if (it == values_.end()) return E_INVALIDARG;
    const VARTYPE wanted = value->vt;
    fw::Variant stored;
    stored->vt = it->second.vt;
    if (it->second.vt == VT_BSTR) {
        stored->bstrVal = ::SysAllocStringLen(it->second.text.data(), static_cast<UINT>(it->second.text.size()));
    } else {
        stored->lVal = it->second.number;
    }
    ::VariantInit(value);
    // Like a browser's bag: converts on request, hands out the stored type otherwise.
    if (wanted == VT_EMPTY || wanted == stored->vt) return ::VariantCopy(value, stored.Get());
    return ::VariantChangeType(value, stored.Get(), 0, wanted);
}

STDMETHODIMP MemoryBag::Write(LPCOLESTR name, VARIANT* value) {
    Value v{value->vt, L"", 0};
    if (value->vt == VT_BSTR) {
        if (value->bstrVal) v.text.assign(value->bstrVal, ::SysStringLen(value->bstrVal));
    } else if (value->vt == VT_I4) {
        v.number = value->lVal;
    } else {
        return E_INVALIDARG;
    }
    values_[name] = v;
    order_.push_back(name);
    return S_OK;
}

void MemoryBag::SetText(const std::wstring& name, const std::wstring& value) {
    values_[name] = Value{VT_BSTR, value, 0};
}

std::wstring MemoryBag::TextOf(const std::wstring& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) return L"";
    return it->second.vt == VT_BSTR ? it->second.text : std::to_wstring(it->second.number);
}

// --- TestContainer -----------------------------------------------------------------------------

TestContainer::TestContainer() {
    hwnd_ = ::CreateWindowExW(0, L"STATIC", L"Tovalo test container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 480,
                              300, nullptr, nullptr, nullptr, nullptr);
}

TestContainer::~TestContainer() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

STDMETHODIMP TestContainer::GetMoniker(DWORD, DWORD which, IMoniker** moniker) {
    if (!moniker) return E_POINTER;
    *moniker = nullptr;
    if (which != OLEWHICHMK_CONTAINER || pageUrl.empty()) return E_NOTIMPL;
    return ::CreateURLMonikerEx(nullptr, pageUrl.c_str(), moniker, URL_MK_UNIFORM);
}

STDMETHODIMP TestContainer::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    *frame = this;
    *doc = nullptr;
    *pos = kPosition;
    *clip = kPosition;
    info->fMDIApp = FALSE;
    info->hwndFrame = hwnd_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT TestContainer::Embed(IDispatch* control, IPropertyBag* params) {
    fw::ComPtr<IOleObject> ole = fw::ComPtr<IDispatch>(control).As<IOleObject>(IID_IOleObject);
    if (!ole) return E_NOINTERFACE;
    HRESULT hr = ole->SetClientSite(this);
    if (FAILED(hr)) return hr;
    if (params) {
        auto bag = fw::ComPtr<IDispatch>(control).As<IPersistPropertyBag>(IID_IPersistPropertyBag);
        hr = bag ? bag->Load(params, nullptr) : E_NOINTERFACE;
    } else {
        auto stream = fw::ComPtr<IDispatch>(control).As<IPersistStreamInit>(IID_IPersistStreamInit);
        hr = stream ? stream->InitNew() : E_NOINTERFACE;
    }
    if (FAILED(hr)) return hr;
    RECT pos = kPosition;
    return ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, hwnd_, &pos);
}

// --- DialogAnswerer ----------------------------------------------------------------------------

namespace {
thread_local DialogAnswerer* t_answerer = nullptr;

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    return name;
}
}  // namespace

DialogAnswerer::DialogAnswerer() {
    t_answerer = this;
    hook_.Reset(::SetWindowsHookExW(WH_CBT, Hook, nullptr, ::GetCurrentThreadId()));
}

DialogAnswerer::~DialogAnswerer() {
    hook_.Reset();
    t_answerer = nullptr;
}

LRESULT CALLBACK DialogAnswerer::Hook(int code, WPARAM wp, LPARAM lp) {
    if (t_answerer && code == HCBT_CREATEWND) {
        const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lp);
        const LPCWSTR name = create->lpcs->lpszName;
        if (name && !IS_INTRESOURCE(name)) t_answerer->createdTexts.emplace_back(name);
    }
    if (t_answerer && code == HCBT_ACTIVATE) {
        const auto hwnd = reinterpret_cast<HWND>(wp);
        if (ClassOf(hwnd) == L"#32770") {
            wchar_t caption[256] = {};
            ::GetWindowTextW(hwnd, caption, 256);
            t_answerer->captions.emplace_back(caption);
            ::PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace tovalo_test

namespace {
// COM and OLE for the whole run, on the test thread (a single-threaded apartment).
class OleEnvironment final : public testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(::OleInitialize(nullptr), S_OK); }
    void TearDown() override { ::OleUninitialize(); }
};
[[maybe_unused]] testing::Environment* const g_ole = testing::AddGlobalTestEnvironment(new OleEnvironment);
}  // namespace
