// Superclassed system window classes: registered lazily under the module, routed to their owners;
// and the plain window that holds one of them and passes its notifications back to it.
#pragma once

#include <windows.h>

namespace fw {

// The object a superclass window reports its messages to.
class WindowOwner {
public:
    virtual LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) = 0;
    // Called after the window is gone (WM_NCDESTROY has run); the handle is invalid now.
    virtual void OnWindowDestroyed() = 0;

protected:
    ~WindowOwner() = default;
};

struct WindowCreate {
    const wchar_t* className;  // the system class to superclass, e.g. WC_LISTVIEWW
    DWORD style;
    DWORD exStyle;
    // The window hears what it tells its parent (WM_NOTIFY, WM_COMMAND) as OCM_NOTIFY and
    // OCM_COMMAND: it is placed in a reflector window (below) instead of straight in the container's.
    bool reflect = false;
};

// Creates a window of the superclass of create.className as a child of parent. Messages go to
// owner->WindowProc from WM_NCCREATE on; the owner passes what it does not handle to CallBase.
HWND CreateSuperclassWindow(const WindowCreate& create, const RECT& rect, HWND parent, WindowOwner* owner);

// The system class's own handling of a message for a window of one of our superclasses.
LRESULT CallBase(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// A plain window at rect in parent that holds one child window at its own size (resized with it)
// and sends that child's WM_NOTIFY and WM_COMMAND back to it as OCM_NOTIFY and OCM_COMMAND: a
// system control notifies the window it was created in, and a control built on one must hear it.
// Its children notify in Unicode.
HWND CreateReflectorWindow(const RECT& rect, HWND parent);

// Removes the classes this module registered (module unload).
void UnregisterSuperclasses();

}  // namespace fw
