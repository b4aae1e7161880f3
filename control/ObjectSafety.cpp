// IObjectSafety of the control: safe for untrusted callers and data on every page that the build's
// site list admits (every page without a list), unsafe on any other; nothing is stored.
#include "control/TovaloCtrl.h"

#include "framework/Module.h"

namespace tovalo {
namespace {

constexpr DWORD kSafeBits = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

// Whether the control has riid (asked through its own QueryInterface, reference dropped at once).
HRESULT HasInterface(IUnknown& outer, REFIID riid) {
    IUnknown* found = nullptr;
    const HRESULT hr = outer.QueryInterface(riid, reinterpret_cast<void**>(&found));
    if (found) found->Release();
    return hr;
}

}  // namespace

STDMETHODIMP CTovaloCtrl::XObjSafe::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) {
    fw::ModuleStateGuard guard;
    const HRESULT hr = HasInterface(*this, riid);
    // Both options are reported whatever the interface: the control is safe as a whole, or, on a
    // page its site list does not admit, not at all.
    if (supported) *supported = kSafeBits;
    if (enabled) *enabled = Owner().PageAllowed() ? kSafeBits : 0;
    return hr;
}

STDMETHODIMP CTovaloCtrl::XObjSafe::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) {
    fw::ModuleStateGuard guard;
    if (FAILED(HasInterface(*this, riid))) return E_NOINTERFACE;
    if (mask & ~kSafeBits) return E_FAIL;
    // Options can be switched on (they are on already) but never off.
    if (mask & ~(enabled & kSafeBits)) return E_FAIL;
    // A page that the site list does not admit cannot have the control marked safe.
    if (mask && !Owner().PageAllowed()) return E_FAIL;
    return S_OK;
}

}  // namespace tovalo
