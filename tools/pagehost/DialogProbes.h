// The system dialogs the control opens, opened by the host itself, so that pages can check how
// the host answers them without the control.
#pragma once

#include <windows.h>

#include <string>

namespace pagehost {

// A multi-selection open-file dialog: "cancel", a single path, or "folder|name|name". With ansi,
// through the 8-bit entry point in the system code page, as the control calls it.
std::wstring openFileProbe(HWND owner, bool ansi);

// The shell's folder picker that also shows files: "cancel" or the picked path.
std::wstring folderPickerProbe(HWND owner, bool ansi);

// A message box; returns the identifier of the pressed button.
int messageBoxProbe(const std::wstring& text, UINT type);

// A dialog that waits for one plain (not default) button, "닫기", which shows only after a
// moment, as a dialog that works first and then waits for the user shows it: "closed" or "cancel".
std::wstring dialogProbe(HWND owner);

}  // namespace pagehost
