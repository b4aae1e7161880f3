// Superclass registration (on first use, not at module load, safe on any thread) and the shared
// window procedure.
#include "framework/Window.h"

#include "framework/Lock.h"
#include "framework/Module.h"

#include <commctrl.h>
#include <olectl.h>

#include <array>
#include <atomic>
#include <string>

namespace fw {
namespace {

// A registered superclass. Written once before it is published, never changed afterwards.
struct SuperclassInfo {
    std::wstring base;
    std::wstring name;
    ATOM atom;
    WNDPROC baseProc;
    int ownerOffset;  // our slot in the window's extra bytes, after the base class's own
};

// The registry of superclasses, shared by every apartment thread of the process. Entries live in
// a fixed array, so a pointer to one stays valid while others are added; registration takes the
// lock, while the window procedure reads the published entries without it, on every message.
constexpr size_t kMaxSuperclasses = 16;

struct Registry {
    SlimLock lock;
    std::array<SuperclassInfo, kMaxSuperclasses> entries;
    std::atomic<size_t> published{0};  // entries [0, published) are complete
    std::atomic<ATOM> reflector{0};    // the reflector class, once registered
};

constexpr wchar_t kReflectorClass[] = L"Tovalo.Reflector";

Registry& Classes() {
    static Registry registry;  // constructed once, thread-safely
    return registry;
}

const SuperclassInfo* FindByAtom(ATOM atom) {
    Registry& r = Classes();
    const size_t count = r.published.load(std::memory_order_acquire);
    for (size_t i = 0; i < count; ++i) {
        if (r.entries[i].atom == atom) return &r.entries[i];
    }
    return nullptr;
}

const SuperclassInfo* ClassOf(HWND hwnd) { return FindByAtom(static_cast<ATOM>(::GetClassLongPtrW(hwnd, GCW_ATOM))); }

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
    Registry& r = Classes();
    LockScope hold(r.lock);
    const size_t count = r.published.load(std::memory_order_relaxed);
    for (size_t i = 0; i < count; ++i) {
        if (r.entries[i].base == base) return &r.entries[i];
    }
    if (count == kMaxSuperclasses) return nullptr;
    // The common controls register their classes here; the list view's class only exists after it.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!::GetClassInfoExW(nullptr, base, &wc)) return nullptr;
    SuperclassInfo& info = r.entries[count];
    info = SuperclassInfo{base, std::wstring(L"Tovalo.") + base, 0, wc.lpfnWndProc, wc.cbWndExtra};
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
    if (!info.atom) {
        info = SuperclassInfo{};
        return nullptr;
    }
    r.published.store(count + 1, std::memory_order_release);
    return &info;
}

// The window the reflector holds, when it is the one that sent a message.
HWND HeldWindow(HWND reflector, HWND from) { return from && ::GetParent(from) == reflector ? from : nullptr; }

LRESULT CALLBACK ReflectorProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NOTIFY:
        if (HWND from = HeldWindow(hwnd, lp ? reinterpret_cast<const NMHDR*>(lp)->hwndFrom : nullptr)) {
            return ::SendMessageW(from, OCM_NOTIFY, wp, lp);
        }
        break;
    case WM_COMMAND:
        if (HWND from = HeldWindow(hwnd, reinterpret_cast<HWND>(lp))) return ::SendMessageW(from, OCM_COMMAND, wp, lp);
        break;
    case WM_NOTIFYFORMAT:
        if (lp == NF_QUERY) return NFR_UNICODE;
        break;
    case WM_SIZE:
        if (HWND held = ::GetWindow(hwnd, GW_CHILD)) {
            ::SetWindowPos(held, nullptr, 0, 0, LOWORD(lp), HIWORD(lp), SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return 0;
    case WM_SETFOCUS:
        if (HWND held = ::GetWindow(hwnd, GW_CHILD)) ::SetFocus(held);
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        // Only top-level windows hear of new colours or settings (high contrast); containers
        // pass them down to their children, and the held window must hear them too.
        if (HWND held = ::GetWindow(hwnd, GW_CHILD)) ::SendMessageW(held, msg, wp, lp);
        break;
    case WM_ERASEBKGND:
        return TRUE;  // the child covers every pixel
    default:
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

ATOM RegisterReflector() {
    Registry& r = Classes();
    if (const ATOM atom = r.reflector.load(std::memory_order_acquire)) return atom;
    LockScope hold(r.lock);
    if (const ATOM atom = r.reflector.load(std::memory_order_relaxed)) return atom;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ReflectorProc;
    wc.hInstance = Module::Instance();
    wc.lpszClassName = kReflectorClass;
    ATOM atom = ::RegisterClassExW(&wc);
    if (!atom && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        // Left behind by an earlier load of this module at another address: replace it.
        ::UnregisterClassW(kReflectorClass, Module::Instance());
        atom = ::RegisterClassExW(&wc);
    }
    r.reflector.store(atom, std::memory_order_release);
    return atom;
}

}  // namespace

HWND CreateReflectorWindow(const RECT& rect, HWND parent) {
    if (!RegisterReflector()) return nullptr;
    return ::CreateWindowExW(0, kReflectorClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, Module::Instance(),
                             nullptr);
}

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
    Registry& r = Classes();
    LockScope hold(r.lock);
    const size_t count = r.published.exchange(0, std::memory_order_acq_rel);
    for (size_t i = 0; i < count; ++i) {
        ::UnregisterClassW(r.entries[i].name.c_str(), Module::Instance());
        r.entries[i] = SuperclassInfo{};
    }
    if (r.reflector.exchange(0, std::memory_order_acq_rel)) ::UnregisterClassW(kReflectorClass, Module::Instance());
}

}  // namespace fw
