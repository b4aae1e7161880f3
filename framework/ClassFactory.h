// A class factory object per creatable class, and the lookup DllGetClassObject walks.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <new>
#include <span>

namespace fw {

// Creates a new object and asks it for riid.
using CreateInstanceFn = HRESULT (*)(REFIID riid, void** out);

// A static object (one per class); its references and LockServer keep the module loaded. Its
// IUnknown is written here, not by ComObject: a static object is never deleted, and its references
// count as locks of the module rather than as a live object.
class ClassFactory final : public IClassFactory {
public:
    constexpr ClassFactory(const CLSID& clsid, CreateInstanceFn create) : clsid_(clsid), create_(create) {}
    const CLSID& Clsid() const { return clsid_; }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    const CLSID& clsid_;
    CreateInstanceFn create_;
};

// DllGetClassObject over the module's factories.
HRESULT GetClassObject(std::span<ClassFactory* const> factories, REFCLSID clsid, REFIID riid, void** out);

// Creates T (reference count 1), asks it for riid and drops the creation reference.
template <class T>
HRESULT CreateComObject(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    T* object = new (std::nothrow) T();
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
}

}  // namespace fw
