// Keys pressed in a control's window as a browser hands them to an ActiveX control: the window
// has the focus, each key message goes first to the control's TranslateAccelerator (where the
// control takes the keys it wants from the browser), and what it leaves is translated and
// dispatched to the window. The keyboard's state holds the modifiers meanwhile, so the window
// reads Ctrl as held. Nothing here depends on which window of the display has the input focus.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>

namespace pagehost {

// keys: names joined by "+", modifiers first: "ctrl+a", "delete", "enter", "shift+tab".
// Throws HostError for a name it does not know.
void pressKeys(HWND window, const std::wstring& keys, IOleInPlaceActiveObject* control);

}  // namespace pagehost
