// Class factories: creation without aggregation, server locks.
#include "framework/ClassFactory.h"

#include "framework/Module.h"

namespace fw {

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() {
    Module::Lock();
    return 2;  // a static object: the count is not its lifetime
}

STDMETHODIMP_(ULONG) ClassFactory::Release() {
    Module::Unlock();
    return 1;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(riid, out);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
    if (lock)
        Module::Lock();
    else
        Module::Unlock();
    return S_OK;
}

HRESULT GetClassObject(std::span<ClassFactory* const> factories, REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (ClassFactory* factory : factories) {
        if (IsEqualCLSID(factory->Clsid(), clsid)) return factory->QueryInterface(riid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace fw
