// The system dialogs the control opens, opened by the host itself, so that pages can check how
// the host answers them without the control.
#include "tools/pagehost/DialogProbes.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace pagehost {
namespace {

constexpr WORD kCloseId = 100;
constexpr UINT_PTR kShowTimer = 1;
constexpr UINT kShowDelayMs = 300;

INT_PTR onTimer(HWND dialog) {
    KillTimer(dialog, kShowTimer);
    ShowWindow(GetDlgItem(dialog, kCloseId), SW_SHOW);
    return TRUE;
}

INT_PTR onCommand(HWND dialog, WORD id) {
    if (id != kCloseId && id != IDCANCEL) {
        return FALSE;
    }
    EndDialog(dialog, id);
    return TRUE;
}

INT_PTR CALLBACK probeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
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

std::wstring systemText(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

void appendText(std::vector<WORD>& words, std::wstring_view text) {
    words.insert(words.end(), text.begin(), text.end());
    words.push_back(0);
}

// An in-memory template: the dialog, then its one push button, hidden at first.
std::vector<WORD> probeTemplate() {
    std::vector<WORD> words;
    const DWORD dialogStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT;
    words.insert(words.end(), {LOWORD(dialogStyle), HIWORD(dialogStyle), 0, 0, 1, 10, 10, 120, 40});
    words.insert(words.end(), {0, 0});  // no menu, the system dialog class
    appendText(words, L"probe");
    words.push_back(8);
    appendText(words, L"MS Shell Dlg");
    if (words.size() % 2) {
        words.push_back(0);  // items start on a DWORD boundary
    }
    const DWORD buttonStyle = WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON;
    words.insert(words.end(), {LOWORD(buttonStyle), HIWORD(buttonStyle), 0, 0, 40, 15, 40, 14, kCloseId});
    words.insert(words.end(), {0xFFFF, 0x0080});  // the button class
    appendText(words, L"닫기");
    words.push_back(0);  // no creation data
    return words;
}

}  // namespace

std::wstring openFileProbe(HWND owner, bool ansi) {
    constexpr DWORD kFlags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
    constexpr size_t kBufferSize = 10000;
    std::wstring names;
    if (ansi) {
        std::vector<char> buffer(kBufferSize, '\0');
        OPENFILENAMEA request{};
        request.lStructSize = sizeof(request);
        request.hwndOwner = owner;
        request.lpstrFilter = "*.*\0*.*\0";
        request.lpstrFile = buffer.data();
        request.nMaxFile = static_cast<DWORD>(buffer.size());
        request.Flags = kFlags;
        if (!GetOpenFileNameA(&request)) {
            return L"cancel";
        }
        const auto last = std::search_n(buffer.begin(), buffer.end(), 2, '\0');
        names = systemText(std::string_view(buffer.data(), static_cast<size_t>(last - buffer.begin())));
    } else {
        std::vector<wchar_t> buffer(kBufferSize, L'\0');
        OPENFILENAMEW request{};
        request.lStructSize = sizeof(request);
        request.hwndOwner = owner;
        request.lpstrFilter = L"*.*\0*.*\0";
        request.lpstrFile = buffer.data();
        request.nMaxFile = static_cast<DWORD>(buffer.size());
        request.Flags = kFlags;
        if (!GetOpenFileNameW(&request)) {
            return L"cancel";
        }
        const auto last = std::search_n(buffer.begin(), buffer.end(), 2, L'\0');
        names.assign(buffer.begin(), last);
    }
    // "folder\0name\0name" for several names, "path" for one.
    std::replace(names.begin(), names.end(), L'\0', L'|');
    return names;
}

std::wstring folderPickerProbe(HWND owner, bool ansi) {
    PIDLIST_ABSOLUTE item = nullptr;
    if (ansi) {
        char display[MAX_PATH] = {};
        BROWSEINFOA request{};
        request.hwndOwner = owner;
        request.pszDisplayName = display;
        request.lpszTitle = "select directory";
        request.ulFlags = BIF_BROWSEINCLUDEFILES;
        item = SHBrowseForFolderA(&request);
    } else {
        wchar_t display[MAX_PATH] = {};
        BROWSEINFOW request{};
        request.hwndOwner = owner;
        request.pszDisplayName = display;
        request.lpszTitle = L"select directory";
        request.ulFlags = BIF_BROWSEINCLUDEFILES;
        item = SHBrowseForFolderW(&request);
    }
    if (!item) {
        return L"cancel";
    }
    wchar_t path[MAX_PATH] = {};
    const BOOL converted = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    return converted ? std::wstring(path) : std::wstring(L"no path");
}

int messageBoxProbe(const std::wstring& text, UINT type) {
    return MessageBoxW(nullptr, text.c_str(), L"pagehost", type);
}

std::wstring dialogProbe(HWND owner) {
    const std::vector<WORD> words = probeTemplate();
    const INT_PTR ended = DialogBoxIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), owner, probeDialogProc, 0);
    return ended == kCloseId ? L"closed" : ended == IDCANCEL ? L"cancel" : L"failed";
}

}  // namespace pagehost
