// Display scale and contrast (see Dpi.h). The per-window DPI functions came with Windows 10 and
// are looked up at run time, so that the module still loads on Windows 7.
#include "framework/Dpi.h"

namespace fw {
namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SetThreadDpiAwarenessContextFn = void*(WINAPI*)(void*);
using IsValidDpiAwarenessContextFn = BOOL(WINAPI*)(void*);

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2.
void* const kPerMonitorV2 = reinterpret_cast<void*>(static_cast<INT_PTR>(-4));

template <class Function>
Function User32Function(const char* name) {
    // user32 is loaded in every process that has windows; its functions stay put.
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

UINT DpiOf(HWND window) {
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window)) return dpi;
    }
    const HDC dc = ::GetDC(window);
    const int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 0;
    if (dc) ::ReleaseDC(window, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

PerMonitorDpiScope::PerMonitorDpiScope() {
    static const auto setContext = User32Function<SetThreadDpiAwarenessContextFn>("SetThreadDpiAwarenessContext");
    static const auto isValid = User32Function<IsValidDpiAwarenessContextFn>("IsValidDpiAwarenessContext");
    // Per-monitor v2 is valid from Windows 10 1703 on; earlier the dialog manager would not lay a
    // dialog out again, so the window keeps the process's behaviour.
    if (setContext && isValid && isValid(kPerMonitorV2)) previous_ = setContext(kPerMonitorV2);
}

PerMonitorDpiScope::~PerMonitorDpiScope() {
    static const auto setContext = User32Function<SetThreadDpiAwarenessContextFn>("SetThreadDpiAwarenessContext");
    if (previous_ && setContext) setContext(previous_);
}

}  // namespace fw
