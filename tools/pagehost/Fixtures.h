// Things a page arranges around the control: files of any size (sparse), the colour of a pixel
// of the list's header, and the control's test switch for "an upload is running".
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace pagehost {

// Creates (or replaces) a file of the given size, with the folders above it. It starts with the
// text (in the system code page), the rest are zeros that, where the file system allows, are not
// stored (a 4 GiB file costs nothing). Returns the file's Windows path; throws HostError when it
// cannot be made.
std::wstring makeFile(const std::wstring& path, std::uint64_t size, const std::wstring& text = {});

// The size of a file, or -1 when there is none at that path.
double fileSize(const std::wstring& path);

// The colour at (x, y) of the list view's header window as painted now, "RRGGBB"; throws
// HostError when the list has no header or the point is outside it.
std::wstring headerPixel(HWND list, int x, int y);

}  // namespace pagehost
