// Modal dialogs from resource templates, and the module's message boxes.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace fw {

class Dialog {
public:
    explicit Dialog(UINT templateId, HWND parent = nullptr) : templateId_(templateId), parent_(parent) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog until End (or until it is destroyed, or the thread's WM_QUIT comes); returns
    // End's value, or -1 if it could not be shown.
    INT_PTR RunModal();

protected:
    // Handlers. The default OnCommand sends IDOK and IDCANCEL (Enter, Escape, the close box) to
    // OnOK and OnCancel, which end the dialog with that value.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    virtual void OnOK() { End(IDOK); }
    virtual void OnCancel() { End(IDCANCEL); }
    // Any other message; return true when handled (the result goes to *result).
    virtual bool OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }
    // The thread's WM_QUIT reached the modal loop: the dialog is destroyed next, and the message
    // is posted again for the loops below.
    virtual void OnQuit() {}

    void End(INT_PTR result);
    HWND Hwnd() const { return hwnd_; }
    // The dialog is made to follow the DPI of its monitor, whatever the process's awareness: the
    // dialog manager lays it out again when it moves to another (see PerMonitorDpiScope).
    void FollowMonitorDpi() { followMonitorDpi_ = true; }

private:
    bool Create();
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR Handle(UINT msg, WPARAM wp, LPARAM lp);

    UINT templateId_;
    HWND parent_;
    HWND hwnd_ = nullptr;
    INT_PTR result_ = IDCANCEL;
    bool ended_ = false;
    bool followMonitorDpi_ = false;
};

// A message box captioned with the module's name, owned by the active window of the thread.
// Returns the button pressed.
int ShowMessageBox(std::wstring_view text, UINT type = MB_OK | MB_ICONEXCLAMATION);
// The same for a text in the system code page.
int ShowMessageBoxAnsi(const std::string& text, UINT type = MB_OK | MB_ICONEXCLAMATION);

}  // namespace fw
