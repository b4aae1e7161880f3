// Drops files on a window as the shell does: an OLE drag of a data object that carries the
// shell's file list (CF_HDROP), released over the middle of the window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pagehost {

// Drags paths (Windows paths) onto window and drops them; returns what the target did with
// them: "copy", "move", "link" or "none" (it refused, or nothing there takes drops).
std::wstring dropFiles(HWND window, const std::vector<std::wstring>& paths);

}  // namespace pagehost
