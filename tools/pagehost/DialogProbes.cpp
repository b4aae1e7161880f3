// The system dialogs the control opens, opened by the host itself, so that pages can check how
// the host answers them without the control.
#include "tools/pagehost/DialogProbes.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cwchar>
#include <string_view>
#include <vector>

namespace pagehost {
namespace {

constexpr WORD kCloseId = 100;
constexpr UINT_PTR kShowTimer = 1;
constexpr UINT kShowDelayMs = 300;

INT_PTR onTimer(HWND dialog)
{
    KillTimer(dialog, kShowTimer);
    ShowWindow(GetDlgItem(dialog, kCloseId), SW_SHOW);
    return TRUE;
}

INT_PTR onCommand(HWND dialog, WORD id)
{
    if (id != kCloseId && id != IDCANCEL) {
        return FALSE;
    }
    EndDialog(dialog, id);
    return TRUE;
}

INT_PTR CALLBACK probeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetTimer(dialog, kShowTimer, kShowDelayMs, nullptr);
        return TRUE;
    case WM_TIMER:
        return onTimer(dialog);
    case WM_COMMAND:
        return onCommand(dialog, LOWORD(wParam));
    default:
        return FALSE;
    }
}

void appendText(std::vector<WORD>& words, std::wstring_view text)
{
    words.insert(words.end(), text.begin(), text.end());
    words.push_back(0);
}

// An in-memory template: the dialog, then its one push button, hidden at first.
std::vector<WORD> probeTemplate()
{
    std::vector<WORD> words;
    const DWORD dialogStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT;
    words.insert(words.end(), {LOWORD(dialogStyle), HIWORD(dialogStyle), 0, 0, 1, 10, 10, 120, 40});
    words.insert(words.end(), {0, 0}); // no menu, the system dialog class
    appendText(words, L"probe");
    words.push_back(8);
    appendText(words, L"MS Shell Dlg");
    if (words.size() % 2) {
        words.push_back(0); // items start on a DWORD boundary
    }
    const DWORD buttonStyle = WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON;
    words.insert(words.end(), {LOWORD(buttonStyle), HIWORD(buttonStyle), 0, 0, 40, 15, 40, 14, kCloseId});
    words.insert(words.end(), {0xFFFF, 0x0080}); // the button class
    appendText(words, L"닫기");
    words.push_back(0); // no creation data
    return words;
}

} // namespace

std::wstring openFileProbe(HWND owner)
{
    std::vector<wchar_t> buffer(10000, L'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner;
    request.lpstrFilter = L"*.*\0*.*\0";
    request.lpstrFile = buffer.data();
    request.nMaxFile = static_cast<DWORD>(buffer.size());
    request.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameW(&request)) {
        return L"cancel";
    }
    // "folder\0name\0name\0\0" for several names, "path\0\0" for one.
    std::wstring joined;
    for (const wchar_t* part = buffer.data(); *part; part += std::wcslen(part) + 1) {
        joined += (joined.empty() ? L"" : L"|") + std::wstring(part);
    }
    return joined;
}

std::wstring folderPickerProbe(HWND owner)
{
    wchar_t display[MAX_PATH] = {};
    BROWSEINFOW request{};
    request.hwndOwner = owner;
    request.pszDisplayName = display;
    request.lpszTitle = L"select directory";
    request.ulFlags = BIF_BROWSEINCLUDEFILES;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&request);
    if (!item) {
        return L"cancel";
    }
    wchar_t path[MAX_PATH] = {};
    const BOOL converted = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    return converted ? std::wstring(path) : std::wstring(L"no path");
}

int messageBoxProbe(const std::wstring& text, UINT type)
{
    return MessageBoxW(nullptr, text.c_str(), L"pagehost", type);
}

std::wstring dialogProbe(HWND owner)
{
    const std::vector<WORD> words = probeTemplate();
    const INT_PTR ended = DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                                  reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), owner,
                                                  probeDialogProc, 0);
    return ended == kCloseId ? L"closed" : ended == IDCANCEL ? L"cancel" : L"failed";
}

} // namespace pagehost
