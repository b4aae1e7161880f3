// What a browser asks a control before it trusts a page of the Internet zone with it: whether the
// control is safe for initialisation (before its params are loaded) and for scripting (before
// the page's scripts run), through IObjectSafety.
#pragma once

#include <unknwn.h>

namespace pagehost {

// Whether the control declares itself safe for untrusted data on the interface it is initialised
// through (iid), confirming the option as a browser does. A control without IObjectSafety is not.
bool safeForInitialisation(IUnknown* control, REFIID iid);

// The same for untrusted callers on its dispatch interface.
bool safeForScripting(IUnknown* control);

}  // namespace pagehost
