// OLE control base: persistence through property bags, streams and storages.
#include "framework/OleControl.h"

namespace fw {
namespace {
// Stream name inside a storage.
constexpr wchar_t kContents[] = L"Contents";
}  // namespace

std::vector<PropertyRef> OleControl::AllPersistedProperties() {
    // The version comes first so a loader can convert older data; then the base's own extent.
    extentX_ = static_cast<std::uint32_t>(extent_.cx);
    extentY_ = static_cast<std::uint32_t>(extent_.cy);
    std::vector<PropertyRef> props = {{L"_Version", &version_}, {L"_ExtentX", &extentX_}, {L"_ExtentY", &extentY_}};
    std::vector<PropertyRef> own = PersistedProperties();
    props.insert(props.end(), own.begin(), own.end());
    return props;
}

STDMETHODIMP OleControl::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = class_.clsid;
    return S_OK;
}

STDMETHODIMP OleControl::InitNew() {
    // Members keep their constructed values: no property has a default of its own.
    modified_ = false;
    return S_OK;
}

STDMETHODIMP OleControl::IsDirty() { return modified_ ? S_OK : S_FALSE; }

STDMETHODIMP OleControl::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    try {
        BagStore store(bag, log);
        const std::vector<PropertyRef> props = AllPersistedProperties();
        LoadProperties(store, props);
        // Data written by any 1.x or older version has the same shape: nothing to convert.
        version_ = 0x00010000;
        extent_ = {static_cast<LONG>(extentX_), static_cast<LONG>(extentY_)};
        modified_ = false;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP OleControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag) return E_POINTER;
    try {
        BagStore store(bag, nullptr);
        const HRESULT hr = SaveProperties(store, AllPersistedProperties());
        if (SUCCEEDED(hr) && clearDirty) modified_ = false;
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP OleControl::Load(IStream* stream) {
    try {
        StreamStore store;
        const HRESULT hr = store.Load(stream);
        if (FAILED(hr)) return hr;
        LoadProperties(store, AllPersistedProperties());
        version_ = 0x00010000;
        extent_ = {static_cast<LONG>(extentX_), static_cast<LONG>(extentY_)};
        modified_ = false;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP OleControl::Save(IStream* stream, BOOL clearDirty) {
    try {
        StreamStore store;
        HRESULT hr = SaveProperties(store, AllPersistedProperties());
        if (SUCCEEDED(hr)) hr = store.Save(stream);
        if (SUCCEEDED(hr) && clearDirty) modified_ = false;
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP OleControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    try {
        StreamStore store;
        const HRESULT hr = SaveProperties(store, AllPersistedProperties());
        if (FAILED(hr)) return hr;
        size->QuadPart = store.Size();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP OleControl::InitNew(IStorage* storage) {
    if (!storage) return E_POINTER;
    return InitNew();
}

STDMETHODIMP OleControl::Load(IStorage* storage) {
    if (!storage) return E_POINTER;
    ComPtr<IStream> stream;
    const HRESULT hr = storage->OpenStream(kContents, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Put());
    return FAILED(hr) ? hr : Load(stream.Get());
}

STDMETHODIMP OleControl::Save(IStorage* storage, BOOL) {
    if (!storage) return E_POINTER;
    ComPtr<IStream> stream;
    const HRESULT hr =
        storage->CreateStream(kContents, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.Put());
    return FAILED(hr) ? hr : Save(stream.Get(), TRUE);
}

STDMETHODIMP OleControl::SaveCompleted(IStorage*) { return S_OK; }

}  // namespace fw
