// What a browser asks a control before it trusts a page of the Internet zone with it.
#include "tools/pagehost/ZoneSafety.h"

#include "framework/Raii.h"

#include <objsafe.h>

namespace pagehost {
namespace {

// The control must offer the option and accept having it switched on.
bool safeFor(IUnknown* control, REFIID iid, DWORD option) {
    if (!control) {
        return false;
    }
    const auto safety = fw::ComPtr<IUnknown>(control).As<IObjectSafety>(IID_IObjectSafety);
    if (!safety) {
        return false;
    }
    DWORD supported = 0;
    DWORD enabled = 0;
    if (FAILED(safety->GetInterfaceSafetyOptions(iid, &supported, &enabled)) || !(supported & option)) {
        return false;
    }
    return SUCCEEDED(safety->SetInterfaceSafetyOptions(iid, option, option));
}

}  // namespace

bool safeForInitialisation(IUnknown* control, REFIID iid) {
    return safeFor(control, iid, INTERFACESAFE_FOR_UNTRUSTED_DATA);
}

bool safeForScripting(IUnknown* control) { return safeFor(control, IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER); }

}  // namespace pagehost
