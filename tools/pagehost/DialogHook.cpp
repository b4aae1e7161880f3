// Watches every dialog the control opens on this thread: message boxes are printed and answered
// as the page arranged, the open-file dialog and the folder picker are filled in or cancelled,
// and any other dialog is reported and closed with its default button if it has one.
#include "tools/pagehost/DialogHook.h"

#include "tools/pagehost/MessageLoop.h"
#include "tools/pagehost/Output.h"

#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>

#include <algorithm>
#include <utility>

namespace pagehost {
namespace {

constexpr int kMessageBoxTextId = 0xFFFF;
constexpr UINT kFillDelayMs = 30;
constexpr UINT kPollMs = 100;
// How long an activated file dialog or folder picker may take to show.
constexpr ULONGLONG kShowPatienceMs = 60000;

// Buttons tried, in order, when a message box lacks the one the page asked for.
constexpr int kFallbackButtons[] = {IDOK, IDCANCEL, IDNO, IDYES, IDABORT, IDIGNORE, IDRETRY};

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

bool hasClass(HWND window, const wchar_t* className) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return lstrcmpiW(name, className) == 0;
}

bool hasChildOfClass(HWND window, const wchar_t* className) {
    return FindWindowExW(window, nullptr, className, nullptr) != nullptr;
}

// Line breaks inside a text are shown as \n so that every dialog stays on one output line.
std::wstring oneLine(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            continue;
        }
        if (text[i] == L'\r' || text[i] == L'\n') {
            out += L"\\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

// The module whose code runs the dialog tells what it is: the system's message box, the common
// file dialog or the shell's folder picker.
HMODULE dialogProcModule(HWND dialog) {
    const LONG_PTR proc =
        IsWindowUnicode(dialog) ? GetWindowLongPtrW(dialog, DWLP_DLGPROC) : GetWindowLongPtrA(dialog, DWLP_DLGPROC);
    HMODULE module = nullptr;
    if (proc) {
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(proc), &module);
    }
    return module;
}

HWND fileNameField(HWND dialog) {
    const HWND combo = GetDlgItem(dialog, cmb13);
    return combo ? combo : GetDlgItem(dialog, edt1);
}

DialogKind classify(HWND dialog) {
    const HMODULE module = dialogProcModule(dialog);
    if (module && module == GetModuleHandleW(L"user32.dll") && GetDlgItem(dialog, kMessageBoxTextId)) {
        return DialogKind::MessageBox;
    }
    if (module && module == GetModuleHandleW(L"comdlg32.dll") && fileNameField(dialog)) {
        return DialogKind::OpenFile;
    }
    if (module && module == GetModuleHandleW(L"shell32.dll") && hasChildOfClass(dialog, WC_TREEVIEWW)) {
        return DialogKind::FolderPicker;
    }
    return DialogKind::Other;
}

void press(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void postPress(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The tree fills slowly on a busy machine; a minute stays well inside a page's own time limit.
constexpr ULONGLONG kFolderPatienceMs = 60000;
constexpr DWORD kFolderRetryMs = 50;
constexpr int kFolderRereadEvery = 10;

// The label of the folder picker's selected tree item.
std::wstring selectedTreeText(HWND dialog) {
    const HWND tree = FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
    const auto item = tree ? reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) : nullptr;
    if (!item) {
        return {};
    }
    wchar_t text[MAX_PATH] = {};
    TVITEMW request{};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = text;
    request.cchTextMax = MAX_PATH;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&request));
    return text;
}

// Closes the folder picker's tree down to its top and drops what it read, so that the next
// request reads every folder on its way again.
void forgetTree(HWND dialog) {
    const HWND tree = FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
    const auto top = tree ? reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)) : nullptr;
    if (top) {
        SendMessageW(tree, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET, reinterpret_cast<LPARAM>(top));
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(top));
    }
}

HWND defaultButton(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        // The dialog itself is not visible yet while it is being activated: look at the style.
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (hasClass(child, WC_BUTTONW) && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && (style & WS_VISIBLE) &&
            !(style & WS_DISABLED)) {
            return child;
        }
    }
    return nullptr;
}

// A button's label as the user reads it: mnemonic markers removed ("&Close" -> "Close").
std::wstring buttonLabel(HWND button) {
    std::wstring label;
    const std::wstring text = windowText(button);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            ++i;
        }
        label += text[i];
    }
    return label;
}

std::wstring quotedNames(const std::vector<std::wstring>& names) {
    if (names.size() == 1) {
        return names.front();
    }
    std::wstring text;
    for (const auto& name : names) {
        text += (text.empty() ? L"\"" : L" \"") + name + L"\"";
    }
    return text;
}

}  // namespace

DialogHook* DialogHook::s_active = nullptr;

DialogHook::DialogHook() {
    if (s_active) {
        return;  // one hook per thread; a second one would print every dialog twice
    }
    m_hook = SetWindowsHookExW(WH_CBT, cbtProc, nullptr, GetCurrentThreadId());
    if (m_hook) {
        s_active = this;
    }
}

DialogHook::~DialogHook() {
    for (const auto& pending : m_pending) {
        KillTimer(nullptr, pending.timer);
    }
    if (m_pollTimer) {
        KillTimer(nullptr, m_pollTimer);
    }
    if (m_hook) {
        UnhookWindowsHookEx(m_hook);
        s_active = nullptr;
    }
}

LRESULT CALLBACK DialogHook::cbtProc(int code, WPARAM wParam, LPARAM lParam) {
    DialogHook* self = s_active;
    if (self && code == HCBT_ACTIVATE) {
        self->onActivate(reinterpret_cast<HWND>(wParam));
    } else if (self && code == HCBT_DESTROYWND) {
        self->m_seen.erase(reinterpret_cast<HWND>(wParam));
        self->m_upload.onDestroy(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(self ? self->m_hook : nullptr, code, wParam, lParam);
}

void DialogHook::onActivate(HWND window) {
    // A dialog is activated again whenever a box it opened closes: handle each one once.
    if (!hasClass(window, L"#32770") || !m_seen.insert(window).second) {
        return;
    }
    switch (const DialogKind kind = classify(window)) {
    case DialogKind::MessageBox:
        answerMessageBox(window);
        break;
    case DialogKind::OpenFile:
    case DialogKind::FolderPicker:
        printLine(L"DIALOG " + oneLine(windowText(window)));
        schedule(window, kind, GetTickCount64());
        break;
    case DialogKind::Other:
        if (UploadWatch::isUploadDialog(window)) {
            m_upload.onOpen(window);  // it works and closes itself: no default button is pressed
        } else {
            answerOther(window);
        }
        break;
    }
}

void DialogHook::answerMessageBox(HWND box) {
    printLine(L"MSGBOX " + oneLine(windowText(GetDlgItem(box, kMessageBoxTextId))));
    int button = m_answers.messageBoxButton;
    if (!GetDlgItem(box, button)) {
        const auto found = std::find_if(std::begin(kFallbackButtons), std::end(kFallbackButtons),
                                        [box](int id) { return GetDlgItem(box, id) != nullptr; });
        button = found != std::end(kFallbackButtons) ? *found : IDCANCEL;
    }
    postPress(box, button);
}

void DialogHook::answerOther(HWND dialog) {
    printLine(L"DIALOG " + oneLine(windowText(dialog)));
    // A dialog that offers a default button (an About box) is closed with it; one that offers
    // none (a dialog that works and closes itself) is left to run.
    if (const HWND button = defaultButton(dialog)) {
        postPress(dialog, GetDlgCtrlID(button));
    }
}

void DialogHook::schedule(HWND dialog, DialogKind kind, ULONGLONG since) {
    // The shell fills these dialogs after they appear; answer from the dialog's own message loop.
    if (const UINT_PTR timer = SetTimer(nullptr, 0, kFillDelayMs, onTimer)) {
        m_pending.push_back({timer, dialog, kind, since});
    } else {
        postPress(dialog, IDCANCEL);
    }
}

void CALLBACK DialogHook::onTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (s_active) {
        s_active->runPending(timer);
    }
}

void DialogHook::runPending(UINT_PTR timer) {
    const auto found = std::find_if(m_pending.begin(), m_pending.end(),
                                    [timer](const Pending& pending) { return pending.timer == timer; });
    if (found == m_pending.end()) {
        return;
    }
    const Pending pending = *found;
    m_pending.erase(found);
    if (!IsWindow(pending.dialog)) {
        return;
    }
    // The folder picker is activated before it shows, and while it fills its tree a message loop
    // may run this timer: wait until the dialog shows (its modal loop runs then), as a user would.
    if (!IsWindowVisible(pending.dialog)) {
        if (GetTickCount64() - pending.since < kShowPatienceMs) {
            schedule(pending.dialog, pending.kind, pending.since);
        } else {
            printError(L"pagehost: a dialog was activated but never shown; it is cancelled");
            postPress(pending.dialog, IDCANCEL);
        }
        return;
    }
    if (pending.kind == DialogKind::OpenFile) {
        fillOpenFile(pending.dialog);
    } else {
        fillFolderPicker(pending.dialog);
    }
    // Whatever was not accepted (a name that does not exist) ends as a cancel, never as a hang.
    if (IsWindow(pending.dialog) && IsWindowVisible(pending.dialog)) {
        postPress(pending.dialog, IDCANCEL);
    }
}

void DialogHook::fillOpenFile(HWND dialog) {
    const std::optional<std::wstring> folder = std::exchange(m_answers.fileFolder, std::nullopt);
    const std::vector<std::wstring> names = std::exchange(m_answers.fileNames, {});
    const HWND field = fileNameField(dialog);
    if (!folder || names.empty() || !field) {
        return;
    }
    // First into the folder (as a user typing it would), then the names inside it: several
    // names are only accepted relative to the dialog's current folder.
    SetWindowTextW(field, folder->c_str());
    press(dialog, IDOK);
    if (IsWindowVisible(dialog)) {
        SetWindowTextW(field, quotedNames(names).c_str());
        press(dialog, IDOK);
    }
}

void DialogHook::fillFolderPicker(HWND dialog) {
    const std::optional<std::wstring> folder = std::exchange(m_answers.folder, std::nullopt);
    if (!folder) {
        return;
    }
    // The picker fills its tree lazily and may not reach a folder at the first request (Wine's
    // does not, the first time it walks a drive): ask again until the tree's selection is that
    // folder, and never press OK on another one (which would hand the control a wrong folder).
    const std::wstring leaf = folder->substr(folder->find_last_of(L'\\') + 1);
    const ULONGLONG started = GetTickCount64();
    int attempts = 0;
    std::wstring selected;
    while (GetTickCount64() - started < kFolderPatienceMs) {
        ++attempts;
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder->c_str()));
        selected = selectedTreeText(dialog);
        if (lstrcmpiW(selected.c_str(), leaf.c_str()) == 0) {
            press(dialog, IDOK);
            return;
        }
        // The tree reads a folder's children once, when it first opens it. A folder that changed
        // as it was read (other runs make and remove folders in the same temporary folder) may
        // have lost the way to this one for good: now and then the tree forgets what it read.
        if (attempts % kFolderRereadEvery == 0) forgetTree(dialog);
        if (!pumpMessages(kFolderRetryMs)) {
            return;  // the thread is quitting: the picker ends (and is cancelled), not waited on
        }
    }
    // The page's output then shows the cancel; this says why, for whoever reads the failure.
    printError(L"pagehost: the folder picker never selected " + *folder + L" (" + std::to_wstring(attempts) +
               L" requests in " + std::to_wstring((GetTickCount64() - started) / 1000) + L" s; its selection: \"" +
               selected + L"\")");
}

void DialogHook::pressWhenShown(const std::wstring& buttonText) {
    if (buttonText.empty()) {
        m_answers.buttonsToPress.clear();
    } else {
        m_answers.buttonsToPress.push_back(buttonText);
    }
    if (!m_answers.buttonsToPress.empty() && !m_pollTimer) {
        m_pollTimer = SetTimer(nullptr, 0, kPollMs, onPollTimer);
    } else if (m_answers.buttonsToPress.empty() && m_pollTimer) {
        KillTimer(nullptr, std::exchange(m_pollTimer, 0));
    }
}

void CALLBACK DialogHook::onPollTimer(HWND, UINT, UINT_PTR, DWORD) {
    DialogHook* self = s_active;
    if (!self) {
        return;
    }
    EnumThreadWindows(GetCurrentThreadId(), pressArrangedButtons, reinterpret_cast<LPARAM>(self));
    if (self->m_answers.buttonsToPress.empty() && self->m_pollTimer) {
        KillTimer(nullptr, std::exchange(self->m_pollTimer, 0));
    }
}

BOOL CALLBACK DialogHook::pressArrangedButtons(HWND window, LPARAM selfParam) {
    auto* self = reinterpret_cast<DialogHook*>(selfParam);
    auto& wanted = self->m_answers.buttonsToPress;
    if (!hasClass(window, L"#32770") || !IsWindowVisible(window)) {
        return TRUE;
    }
    for (HWND child = GetWindow(window, GW_CHILD); child && !wanted.empty(); child = GetWindow(child, GW_HWNDNEXT)) {
        if (!hasClass(child, WC_BUTTONW) || !IsWindowVisible(child) || !IsWindowEnabled(child)) {
            continue;
        }
        const auto found = std::find(wanted.begin(), wanted.end(), buttonLabel(child));
        if (found != wanted.end()) {
            wanted.erase(found);
            postPress(window, GetDlgCtrlID(child));
        }
    }
    return TRUE;
}

}  // namespace pagehost
