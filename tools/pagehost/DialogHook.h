// Watches every dialog the control opens on this thread: message boxes are printed and answered
// as the page arranged, the open-file dialog and the folder picker are filled in or cancelled,
// and any other dialog is reported and closed with its default button if it has one.
#pragma once

#include "tools/pagehost/UploadWatch.h"

#include <windows.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pagehost {

// What the page has arranged for the dialogs still to come.
struct DialogAnswers {
    int messageBoxButton = IDOK;
    // For the next open-file dialog: the folder and the names picked in it; none means cancel.
    std::optional<std::wstring> fileFolder;
    std::vector<std::wstring> fileNames;
    // For the next folder picker; none means cancel.
    std::optional<std::wstring> folder;
    // Buttons to press, each once, as soon as a dialog shows them (visible and enabled): for
    // dialogs that work on their own and wait for the user only at the end.
    std::vector<std::wstring> buttonsToPress;
};

enum class DialogKind { MessageBox, OpenFile, FolderPicker, Other };

class DialogHook {
public:
    DialogHook();
    DialogHook(const DialogHook&) = delete;
    DialogHook& operator=(const DialogHook&) = delete;
    ~DialogHook();

    bool installed() const { return m_hook != nullptr; }
    DialogAnswers& answers() { return m_answers; }
    UploadWatch& upload() { return m_upload; }

    // Arranges (or with an empty text, withdraws all arrangements) that a button with this text
    // is pressed when a dialog of this thread shows it.
    void pressWhenShown(const std::wstring& buttonText);

private:
    struct Pending {
        UINT_PTR timer;
        HWND dialog;
        DialogKind kind;
        ULONGLONG since;  // when the dialog was activated
    };

    static LRESULT CALLBACK cbtProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR timer, DWORD);
    static void CALLBACK onPollTimer(HWND, UINT, UINT_PTR timer, DWORD);
    static BOOL CALLBACK pressArrangedButtons(HWND window, LPARAM self);

    void onActivate(HWND window);
    void answerMessageBox(HWND box);
    void answerOther(HWND dialog);
    void schedule(HWND dialog, DialogKind kind, ULONGLONG since);
    void runPending(UINT_PTR timer);
    void fillOpenFile(HWND dialog);
    void fillFolderPicker(HWND dialog);

    static DialogHook* s_active;

    HHOOK m_hook = nullptr;
    DialogAnswers m_answers;
    std::set<HWND> m_seen;
    std::vector<Pending> m_pending;
    UINT_PTR m_pollTimer = 0;
    UploadWatch m_upload;
};

}  // namespace pagehost
