// Screenshots of the host window as PNG files.
#pragma once

#include <windows.h>

#include <string>

namespace pagehost {

// Copies what the screen shows of the window (frame included) into a PNG file.
// Returns an empty text on success, otherwise what went wrong.
std::wstring saveWindowPng(HWND window, const std::wstring& path);

}  // namespace pagehost
