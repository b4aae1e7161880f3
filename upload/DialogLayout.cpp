// The upload dialog's layout (see DialogLayout.h). Its controls stand where the template puts them
// in dialog units, which the dialog manager turns into pixels by the dialog font at the window's
// DPI; what is laid out here is measured on the controls themselves, never assumed in pixels.
#include "upload/DialogLayout.h"

#include "framework/Dpi.h"
#include "res/resource.h"

#include <algorithm>

namespace tovalo::upload {
namespace {

// The buttons that share the status line's band, in the order the focus prefers them.
constexpr int kButtons[] = {IDC_UPLOAD_STOP, IDC_UPLOAD_END, IDC_UPLOAD_TOGGLE_LOG};
// The margin that goes with the log when it folds, beyond its own height: at 96 DPI the fold is
// then the 124 pixels it always was.
constexpr int kFoldMarginAt96 = 12;
// Between the status line's end and a button, in dialog units.
constexpr int kGapUnits = 2;

// A control's rectangle in the dialog's client coordinates.
RECT PlaceOf(HWND dialog, int id) {
    RECT rect{};
    HWND control = ::GetDlgItem(dialog, id);
    if (!control || !::GetWindowRect(control, &rect)) return {};
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int ClientHeight(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    return client.bottom;
}

bool Shows(HWND dialog, int id) {
    HWND control = ::GetDlgItem(dialog, id);
    return control && (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

}  // namespace

void DialogLayout::Attach(HWND dialog) {
    dialog_ = dialog;
    dpi_ = fw::DpiOf(dialog);
    statusRight_ = PlaceOf(dialog, IDC_UPLOAD_STATUS).right;
    marginUnderLog_ = ClientHeight(dialog) - PlaceOf(dialog, IDC_UPLOAD_LOG).bottom;
    folded_ = false;
    Refit();
}

void DialogLayout::Refit() {
    if (!dialog_) return;
    const RECT status = PlaceOf(dialog_, IDC_UPLOAD_STATUS);
    RECT gap{0, 0, kGapUnits, 0};
    ::MapDialogRect(dialog_, &gap);
    int right = statusRight_;
    for (int id : kButtons) {
        if (!Shows(dialog_, id)) continue;
        const RECT button = PlaceOf(dialog_, id);
        const bool besideIt = button.top < status.bottom && button.bottom > status.top && button.left >= status.left;
        if (besideIt) right = std::min<int>(right, button.left - gap.right);
    }
    right = std::max<int>(right, status.left);
    if (right != status.right) {
        ::SetWindowPos(::GetDlgItem(dialog_, IDC_UPLOAD_STATUS), nullptr, 0, 0, right - status.left,
                       status.bottom - status.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // A control that went out of sight must not keep the focus, and a button that came takes it
    // from the dialog; only while the dialog is the active window (the dialog manager gives the
    // first focus itself, and another window's focus is not the dialog's to take).
    if (::GetActiveWindow() != dialog_) return;
    HWND focus = ::GetFocus();
    const bool onControl = focus && ::IsChild(dialog_, focus) && ::IsWindowVisible(focus) &&
                           (::GetWindowLongW(focus, GWL_STYLE) & WS_TABSTOP);
    if (!onControl) FocusVisibleControl();
}

bool DialogLayout::FocusableShows() const {
    for (HWND child = ::GetWindow(dialog_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        if ((style & WS_VISIBLE) && (style & WS_TABSTOP) && !(style & WS_DISABLED)) return true;
    }
    return false;
}

bool DialogLayout::KeepsFocus(UINT msg, WPARAM wp) {
    if (!dialog_ || FocusableShows()) return false;
    if (msg == WM_ACTIVATE) {
        if (LOWORD(wp) == WA_INACTIVE) return false;
        if (!HIWORD(wp)) ::SetFocus(dialog_);  // not minimised
    }
    return true;
}

void DialogLayout::FocusVisibleControl() {
    if (!dialog_) return;
    for (int id : kButtons) {
        if (id != IDC_UPLOAD_TOGGLE_LOG && Shows(dialog_, id)) {
            ::SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(dialog_, id)), TRUE);
            return;
        }
    }
    if (::GetFocus() != dialog_) ::SetFocus(dialog_);
}

int DialogLayout::LogFold() const {
    const RECT log = PlaceOf(dialog_, IDC_UPLOAD_LOG);
    return (log.bottom - log.top) + fw::Scaled(kFoldMarginAt96, fw::DpiOf(dialog_));
}

int DialogLayout::UnfoldedClientHeight() const { return PlaceOf(dialog_, IDC_UPLOAD_LOG).bottom + marginUnderLog_; }

void DialogLayout::SetClientHeight(int height) {
    RECT window{};
    ::GetWindowRect(dialog_, &window);
    const int frame = (window.bottom - window.top) - ClientHeight(dialog_);
    ::SetWindowPos(dialog_, nullptr, 0, 0, window.right - window.left, height + frame,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DialogLayout::FoldLog(bool fold) {
    if (!dialog_ || fold == folded_) return;
    // The window changes by the fold from where it stands: at 96 DPI pixel for pixel as always.
    RECT window{};
    ::GetWindowRect(dialog_, &window);
    const int height = (window.bottom - window.top) + (fold ? -LogFold() : LogFold());
    ::MoveWindow(dialog_, window.left, window.top, window.right - window.left, height, TRUE);
    folded_ = fold;
    // Folded, the log is out of sight: it must not take the focus or the Tab key.
    ::ShowWindow(::GetDlgItem(dialog_, IDC_UPLOAD_LOG), fold ? SW_HIDE : SW_SHOWNA);
    Refit();
}

void DialogLayout::AfterDpiChange() {
    if (!dialog_) return;
    const UINT dpi = fw::DpiOf(dialog_);
    if (dpi != dpi_) {
        statusRight_ = ::MulDiv(statusRight_, static_cast<int>(dpi), static_cast<int>(dpi_));
        marginUnderLog_ = ::MulDiv(marginUnderLog_, static_cast<int>(dpi), static_cast<int>(dpi_));
        dpi_ = dpi;
    }
    // The dialog manager scaled the window as it stood, folded or not: its height is set anew
    // from where the controls are now.
    SetClientHeight(UnfoldedClientHeight() - (folded_ ? LogFold() : 0));
    Refit();
}

}  // namespace tovalo::upload
