// The host's top-level window, in which the control is placed at the top left.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace pagehost {

struct WindowDestroy {
    void operator()(HWND window) const { DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroy>;

// Creates and shows a frame whose client area is width x height at the screen's top left.
UniqueWindow createFrameWindow(const std::wstring& title, int width, int height);

}  // namespace pagehost
