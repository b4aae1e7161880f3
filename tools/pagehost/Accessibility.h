// What a screen reader meets in a window, read through MSAA as one reads it
// (AccessibleObjectFromWindow): the name and description of a control, and a dialog's controls
// with where they stand, whether they show, which has the focus and the order of the Tab key.
#pragma once

#include <windows.h>

#include <string>

namespace pagehost {

struct SpokenText {
    std::wstring name;
    std::wstring description;
};
// The window's client object's accName and accDescription ("" where it gives none).
SpokenText spokenText(HWND window);

// The size of the dialog's client area, one line per control of the dialog in the order of its
// windows (which is the order of the Tab key), then the Tab order itself and the focus:
//   client W,H
//   ID CLASS shown|hidden X,Y,W,H name=[..] description=[..] [tabstop] [focus]
//   tab: ID ID ... (the controls Tab reaches from the first, as the dialog manager walks them)
//   focus: ID, or "dialog" when the dialog itself has it, or "none"
// Places are in pixels of the dialog's client area. The dialog is made its thread's active window
// first (another program may hold the display's focus), so the focus is the one it gives then.
std::wstring describeDialog(HWND dialog);

}  // namespace pagehost
