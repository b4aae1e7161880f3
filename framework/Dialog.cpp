// Modal dialogs and message boxes.
#include "framework/Dialog.h"

#include "framework/Dpi.h"
#include "framework/Module.h"
#include "framework/Text.h"

#include <optional>

namespace fw {

INT_PTR Dialog::RunModal() {
    if (!Create()) return -1;
    // As the system's own modal loop does it: the owner takes no input while the dialog runs. The
    // loop is ours so that a dialog hears of WM_QUIT before it is destroyed.
    const bool ownerDisabled = parent_ && ::IsWindowEnabled(parent_) && !::EnableWindow(parent_, FALSE);
    ::ShowWindow(hwnd_, SW_SHOW);
    ended_ = false;
    MSG msg{};
    while (!ended_ && hwnd_) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            // The thread is ending: the dialog is told, and every loop below this one ends too.
            OnQuit();
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!hwnd_ || !::IsDialogMessageW(hwnd_, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    // The owner comes back before the dialog goes, so that it is the window activated next.
    if (ownerDisabled && ::IsWindow(parent_)) ::EnableWindow(parent_, TRUE);
    if (hwnd_) ::DestroyWindow(hwnd_);
    return result_;
}

bool Dialog::Create() {
    // The awareness a window is made with is its own for life; the thread's goes back at once, so
    // that nothing else this thread runs meanwhile sees it changed.
    std::optional<PerMonitorDpiScope> perMonitor;
    if (followMonitorDpi_) perMonitor.emplace();
    return ::CreateDialogParamW(Module::Instance(), MAKEINTRESOURCEW(templateId_), parent_, Proc,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

bool Dialog::OnCommand(WORD id, WORD, HWND) {
    switch (id) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

void Dialog::End(INT_PTR result) {
    result_ = result;
    ended_ = true;
}

INT_PTR CALLBACK Dialog::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        reinterpret_cast<Dialog*>(lp)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    return self ? self->Handle(msg, wp, lp) : FALSE;
}

INT_PTR Dialog::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCDESTROY) {
        // Destroyed, maybe from outside (with its owner) while a handler of it is still on the
        // stack: from now on it has no window to touch.
        hwnd_ = nullptr;
        return FALSE;
    }
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
    default: {
        INT_PTR result = FALSE;
        if (!OnMessage(msg, wp, lp, &result)) return FALSE;
        ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
    }
    }
}

namespace {
std::wstring ModuleName() {
    const std::wstring path = Module::Path();
    const size_t start = path.find_last_of(L"\\/") + 1;
    const size_t dot = path.rfind(L'.');
    return path.substr(start, dot == std::wstring::npos || dot < start ? std::wstring::npos : dot - start);
}
}  // namespace

int ShowMessageBox(std::wstring_view text, UINT type) {
    const std::wstring body(text);
    return ::MessageBoxW(::GetActiveWindow(), body.c_str(), ModuleName().c_str(), type);
}

int ShowMessageBoxAnsi(const std::string& text, UINT type) { return ShowMessageBox(ToWide(text), type); }

}  // namespace fw
