// Reference count shared by the host's own COM objects (all live on the one UI thread), and the
// IUnknown of those that offer a single interface.
#pragma once

#include <windows.h>

namespace pagehost {

class RefCount {
public:
    ULONG add() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG release() { return static_cast<ULONG>(InterlockedDecrement(&m_refs)); }

private:
    LONG m_refs = 1;  // the creator's reference
};

// IUnknown for a heap object that offers one interface: counted, deleted with its last reference.
template <class Interface, const IID* InterfaceId>
class SingleInterfaceObject : public Interface {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        *object = iid == IID_IUnknown || iid == *InterfaceId ? static_cast<Interface*>(this) : nullptr;
        if (!*object) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return m_refs.add(); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = m_refs.release();
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    SingleInterfaceObject() = default;
    virtual ~SingleInterfaceObject() = default;

private:
    RefCount m_refs;
};

}  // namespace pagehost
