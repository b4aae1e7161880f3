// What screen readers speak for a window: a name and a description of the program's own over the
// system's accessible object for the window, whose role, state, value, place and actions stay.
// For controls whose text on screen says little ("S") or nothing (a progress bar) to a listener.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

// Gives the window (a control of this thread) the name and description that accessibility
// clients read (MSAA's accName and accDescription, and UI Automation's Name and HelpText through
// them). An empty name follows the window's text as it changes; an empty description leaves the
// system's. Called again, it changes them; whoever reads
// them next gets the new ones. They go with the window.
void SetAccessibleText(HWND window, std::wstring name, std::wstring description = {});

// Tells accessibility clients that the window's name changed (a status line's new text), so that
// a screen reader speaks it: MSAA's name-change event, and on Windows 8 and later the live-region
// event of UI Automation for a window marked as a live region.
void AnnounceNameChange(HWND window);

// Names the window for accessibility clients through the system's annotations (IAccPropServices),
// over whatever the system's own object for it says, where the window's own object must stay
// the system's (a list view, whose rows and columns UI Automation reads through its own proxy).
void SetAnnotatedName(HWND window, const wchar_t* name);

// Marks the window as a polite live region for UI Automation (Windows 8 and later): its changes
// are read out without taking the focus.
void MarkLiveRegion(HWND window);

// Takes back the annotations above, before the window goes.
void ClearAnnotations(HWND window);

}  // namespace fw
