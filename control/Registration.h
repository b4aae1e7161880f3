// Self-registration of Tovalo.ocx: the type library, the control class and the property page.
#pragma once

#include <windows.h>

namespace tovalo {

// S_OK, SELFREG_E_TYPELIB or SELFREG_E_CLASS.
HRESULT RegisterServer();
HRESULT UnregisterServer();

}  // namespace tovalo
