// IObjectSafety of the control: safe for untrusted callers and data, always; nothing is stored.
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
    // Both options are reported whatever the answer: the control is safe as a whole.
    if (supported) *supported = kSafeBits;
    if (enabled) *enabled = kSafeBits;
    return hr;
}

STDMETHODIMP CTovaloCtrl::XObjSafe::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) {
    fw::ModuleStateGuard guard;
    if (FAILED(HasInterface(*this, riid))) return E_NOINTERFACE;
    if (mask & ~kSafeBits) return E_FAIL;
    // Options can be switched on (they are on already) but never off.
    if (mask & ~(enabled & kSafeBits)) return E_FAIL;
    return S_OK;
}

}  // namespace tovalo
