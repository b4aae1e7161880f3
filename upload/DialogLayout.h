// The upload dialog's layout at any display scale: the status line kept clear of the buttons that
// show, the log folded away by its own height, the focus on a control the user can see, and all
// of it again after the dialog moved to a monitor of another DPI.
#pragma once

#include <windows.h>

namespace tovalo::upload {

class DialogLayout {
public:
    // The dialog as its template made it, the log shown.
    void Attach(HWND dialog);

    // After buttons were shown or hidden: the status line ends before the first button that shows
    // beside it (it has its full width when none does), and in the active dialog the focus leaves
    // a control that is no longer seen, and the dialog itself for a button that came.
    void Refit();

    // Folds the log away or unfolds it: the window loses or gains the log's height and the margin
    // under it (124 pixels at 96 DPI), and the log leaves or rejoins the Tab order.
    void FoldLog(bool fold);

    // The dialog is activated or given the focus (WM_ACTIVATE, WM_SETFOCUS): true when it keeps the
    // focus itself, since none of its controls that take the focus shows (the dialog manager would
    // give it to a status line); the message is then handled.
    bool KeepsFocus(UINT msg, WPARAM wp);

    // The dialog manager has laid the dialog out for a new DPI: the status line, the fold and the
    // window's height follow.
    void AfterDpiChange();

    // Whether a control that takes the focus (a Tab stop) shows.
    bool FocusableShows() const;

private:
    // The focus on a visible control: "S" when it shows, else "종료" when it shows, else the
    // dialog itself.
    void FocusVisibleControl();
    // What the log area adds to the window's height, in pixels.
    int LogFold() const;
    // The client height with the log shown.
    int UnfoldedClientHeight() const;
    void SetClientHeight(int height);

    HWND dialog_ = nullptr;
    UINT dpi_ = 96;           // the DPI the lengths below are in
    int statusRight_ = 0;     // the status line's right edge at its full width
    int marginUnderLog_ = 0;  // from the log's bottom to the client area's
    bool folded_ = false;
};

}  // namespace tovalo::upload
