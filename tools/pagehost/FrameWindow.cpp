// The host's top-level window, in which the control is placed at the top left.
#include "tools/pagehost/FrameWindow.h"

namespace pagehost {
namespace {

constexpr wchar_t kClassName[] = L"TovaloPageHostFrame";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

LRESULT onClose() {
    return 0;  // the page decides when the host ends, not the window's close box
}

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        return onClose();
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool registerFrameClass(HINSTANCE instance) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kClassName, &existing)) {
        return true;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = frameProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
}

}  // namespace

UniqueWindow createFrameWindow(const std::wstring& title, int width, int height) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!registerFrameClass(instance)) {
        return nullptr;
    }
    RECT rect{0, 0, width, height};
    AdjustWindowRectEx(&rect, kStyle, FALSE, 0);
    UniqueWindow frame(CreateWindowExW(0, kClassName, title.c_str(), kStyle, 0, 0, rect.right - rect.left,
                                       rect.bottom - rect.top, nullptr, nullptr, instance, nullptr));
    if (frame) {
        ShowWindow(frame.get(), SW_SHOWNORMAL);
        UpdateWindow(frame.get());
    }
    return frame;
}

}  // namespace pagehost
