// Display scale and contrast: the dots per inch of a window, pixel sizes given at 96 DPI scaled
// to it, whether the user asked for high contrast, and a scope in which new top-level windows
// follow the DPI of the monitor they are on.
#pragma once

#include <windows.h>

namespace fw {

// The DPI at which pixel sizes in the code are given: 100 % scale.
constexpr UINT kBaseDpi = 96;

// The messages of a DPI change (Windows 8.1 on; the headers give them only to builds for it): a
// top-level window moved to a monitor of another DPI, and each child after its parent.
constexpr UINT kDpiChanged = 0x02E0;             // WM_DPICHANGED
constexpr UINT kDpiChangedAfterParent = 0x02E3;  // WM_DPICHANGED_AFTERPARENT

// The dots per inch of the window as Windows reports them to this thread: GetDpiForWindow where
// it exists (Windows 10 1607 on; a window moved to another monitor may change it), else the
// window's device context (the system's DPI). kBaseDpi when neither answers.
UINT DpiOf(HWND window);

// A length given at 96 DPI at this DPI, rounded to the nearest pixel; at 96 DPI exactly itself.
inline int Scaled(int pixelsAt96, UINT dpi) { return ::MulDiv(pixelsAt96, static_cast<int>(dpi), kBaseDpi); }

// Whether the user turned high contrast on (the colours of the system then stand for everything).
bool HighContrastOn();

// While it lives, windows this thread creates follow the DPI of their monitor, and the dialog
// manager lays a dialog out again when it moves to a monitor of another DPI (per-monitor v2,
// Windows 10 1703 on). Elsewhere nothing changes: the window has the DPI of the process.
class PerMonitorDpiScope {
public:
    PerMonitorDpiScope();
    ~PerMonitorDpiScope();
    PerMonitorDpiScope(const PerMonitorDpiScope&) = delete;
    PerMonitorDpiScope& operator=(const PerMonitorDpiScope&) = delete;

private:
    void* previous_ = nullptr;  // the thread's context before, when it was changed
};

}  // namespace fw
