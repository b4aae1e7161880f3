// OLE control base: identity, reference counting, dispatch, class information, property pages.
#include "framework/OleControl.h"

#include "framework/Module.h"

namespace fw {
namespace {

// Default size: 320 x 160 pixels at 96 dpi, in HIMETRIC.
constexpr SIZEL kDefaultExtent = {8467, 4233};

}  // namespace

OleControl::OleControl(const ControlClass& cls) : class_(cls), extent_(kDefaultExtent) {}

STDMETHODIMP OleControl::QueryInterface(REFIID riid, void** out) {
    if (IsEqualIID(riid, class_.primaryDispatch)) return AnswerInterface(static_cast<IDispatch*>(this), out);
    if (IUnknown* extra = QueryExtraInterface(riid)) return AnswerInterface(extra, out);
    return ComObject::QueryInterface(riid, out);
}

// --- IDispatch --------------------------------------------------------------------------------

STDMETHODIMP OleControl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT OleControl::LoadTypeInfo(REFGUID guid, LCID lcid, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    ComPtr<ITypeLib> lib;
    const HRESULT hr = ::LoadRegTypeLib(class_.libid, class_.libMajor, class_.libMinor, lcid, lib.Put());
    if (FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(guid, info);
}

STDMETHODIMP OleControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return LoadTypeInfo(class_.primaryDispatch, lcid, info);
}

STDMETHODIMP OleControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    ModuleStateGuard guard;
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (lcid != 0) {
        // A caller naming a locale binds through the type library, as type-library tools do.
        ComPtr<ITypeInfo> info;
        if (SUCCEEDED(GetTypeInfo(0, lcid, info.Put()))) return info->GetIDsOfNames(names, count, ids);
    }
    return DispatchIdOfName(names, count, ids);
}

STDMETHODIMP OleControl::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO*, UINT* argErr) {
    // A member may run a modal loop (an upload's dialog) in which the container can let the page
    // go and release the control: the object lives until the call has returned.
    const ComPtr<IDispatch> keepAlive(this);
    ModuleStateGuard guard;
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return DispatchInvoke(id, flags, params, result, argErr);
}

// --- Class information and property pages -----------------------------------------------------

STDMETHODIMP OleControl::GetClassInfo(ITypeInfo** info) { return LoadTypeInfo(class_.clsid, 0, info); }

STDMETHODIMP OleControl::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = class_.events;
    return S_OK;
}

STDMETHODIMP OleControl::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    if (class_.propertyPages.empty()) return S_OK;
    const size_t bytes = class_.propertyPages.size() * sizeof(GUID);
    pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(bytes));
    if (!pages->pElems) return E_OUTOFMEMORY;
    std::copy(class_.propertyPages.begin(), class_.propertyPages.end(), pages->pElems);
    pages->cElems = static_cast<ULONG>(class_.propertyPages.size());
    return S_OK;
}

HRESULT OleControl::ShowPropertyPages(HWND parent) {
    CAUUID pages{};
    HRESULT hr = GetPages(&pages);
    if (FAILED(hr)) return hr;
    IUnknown* self = static_cast<IDispatch*>(this);
    const std::wstring caption = Module::ResourceString(class_.userTypeNameId);
    hr = ::OleCreatePropertyFrame(parent, 0, 0, caption.c_str(), 1, &self, pages.cElems, pages.pElems,
                                  ::GetUserDefaultLCID(), 0, nullptr);
    ::CoTaskMemFree(pages.pElems);
    return hr;
}

// --- IOleControl -------------------------------------------------------------------------------

STDMETHODIMP OleControl::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

}  // namespace fw
