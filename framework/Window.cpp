// Superclass registration (on first use, not at module load) and the shared window procedure.
#include "framework/Window.h"

#include "framework/Module.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace fw {
namespace {

struct SuperclassInfo {
    std::wstring base;
    std::wstring name;
    ATOM atom;
    WNDPROC baseProc;
    int ownerOffset;  // our slot in the window's extra bytes, after the base class's own
};

std::vector<SuperclassInfo>& Classes() {
    static std::vector<SuperclassInfo> classes;
    return classes;
}

const SuperclassInfo* FindByAtom(ATOM atom) {
    for (const auto& c : Classes()) {
        if (c.atom == atom) return &c;
    }
    return nullptr;
}

const SuperclassInfo* ClassOf(HWND hwnd) {
    return FindByAtom(static_cast<ATOM>(::GetClassLongPtrW(hwnd, GCW_ATOM)));
}

WindowOwner* OwnerOf(HWND hwnd, const SuperclassInfo& info) {
    return reinterpret_cast<WindowOwner*>(::GetWindowLongPtrW(hwnd, info.ownerOffset));
}

LRESULT CALLBACK SuperclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const SuperclassInfo* info = ClassOf(hwnd);
    if (!info) return ::DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
        ::SetWindowLongPtrW(hwnd, info->ownerOffset, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    WindowOwner* owner = OwnerOf(hwnd, *info);
    if (!owner) return ::CallWindowProcW(info->baseProc, hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        const LRESULT result = owner->WindowProc(hwnd, msg, wp, lp);
        ::SetWindowLongPtrW(hwnd, info->ownerOffset, 0);
        owner->OnWindowDestroyed();
        return result;
    }
    return owner->WindowProc(hwnd, msg, wp, lp);
}

const SuperclassInfo* Register(const wchar_t* base) {
    for (const auto& c : Classes()) {
        if (c.base == base) return &c;
    }
    // The common controls register their classes here; the list view's class only exists after it.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!::GetClassInfoExW(nullptr, base, &wc)) return nullptr;
    SuperclassInfo info{base, std::wstring(L"Tovalo.") + base, 0, wc.lpfnWndProc, wc.cbWndExtra};
    wc.lpfnWndProc = SuperclassProc;
    wc.cbWndExtra += static_cast<int>(sizeof(LONG_PTR));
    wc.hInstance = Module::Instance();
    wc.lpszClassName = info.name.c_str();
    wc.style &= ~static_cast<UINT>(CS_GLOBALCLASS);
    info.atom = ::RegisterClassExW(&wc);
    if (!info.atom && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        // Left behind by an earlier load of this module at another address: replace it.
        ::UnregisterClassW(info.name.c_str(), Module::Instance());
        info.atom = ::RegisterClassExW(&wc);
    }
    if (!info.atom) return nullptr;
    Classes().push_back(std::move(info));
    return &Classes().back();
}

}  // namespace

HWND CreateSuperclassWindow(const WindowCreate& create, const RECT& rect, HWND parent, WindowOwner* owner) {
    const SuperclassInfo* info = Register(create.className);
    if (!info) return nullptr;
    return ::CreateWindowExW(create.exStyle, info->name.c_str(), L"", create.style, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, Module::Instance(),
                             owner);
}

LRESULT CallBase(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const SuperclassInfo* info = ClassOf(hwnd);
    return info ? ::CallWindowProcW(info->baseProc, hwnd, msg, wp, lp) : ::DefWindowProcW(hwnd, msg, wp, lp);
}

void UnregisterSuperclasses() {
    for (const auto& c : Classes()) ::UnregisterClassW(c.name.c_str(), Module::Instance());
    Classes().clear();
}

}  // namespace fw
