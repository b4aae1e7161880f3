// What a screen reader meets in a window (see Accessibility.h).
#include "tools/pagehost/Accessibility.h"

#include "framework/Raii.h"

#include <oleacc.h>

#include <vector>

namespace pagehost {
namespace {

std::wstring bstrText(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

}  // namespace

SpokenText spokenText(HWND window) {
    fw::ComPtr<IAccessible> accessible;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          accessible.PutVoid())) ||
        !accessible) {
        return {};
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    fw::Bstr name, description;
    accessible->get_accName(self, name.Put());
    accessible->get_accDescription(self, description.Put());
    return {bstrText(name.Get()), bstrText(description.Get())};
}

std::wstring describeDialog(HWND dialog) {
    // Another program's window (a page in another lane, on the same display) may have taken the
    // display's focus: the dialog is made the active window of its thread first, as it is for a
    // user looking at it, and gives the focus where it gives it then.
    if (GetActiveWindow() != dialog && IsWindowEnabled(dialog)) {
        SetActiveWindow(dialog);
    }
    RECT client{};
    GetClientRect(dialog, &client);
    std::wstring lines = L"client " + std::to_wstring(client.right) + L"," + std::to_wstring(client.bottom) + L"\n";
    const HWND focus = GetFocus();
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        const SpokenText spoken = spokenText(child);
        lines += std::to_wstring(GetDlgCtrlID(child)) + L" " + className(child) +
                 ((style & WS_VISIBLE) ? L" shown " : L" hidden ") + std::to_wstring(place.left) + L"," +
                 std::to_wstring(place.top) + L"," + std::to_wstring(place.right - place.left) + L"," +
                 std::to_wstring(place.bottom - place.top) + L" name=[" + spoken.name + L"] description=[" +
                 spoken.description + L"]" + ((style & WS_TABSTOP) ? L" tabstop" : L"") +
                 (child == focus ? L" focus" : L"") + L"\n";
    }
    std::wstring tab = L"tab:";
    std::vector<HWND> seen;
    for (HWND item = GetNextDlgTabItem(dialog, nullptr, FALSE); item && seen.size() < 32;
         item = GetNextDlgTabItem(dialog, item, FALSE)) {
        bool again = false;
        for (HWND earlier : seen) {
            again = again || earlier == item;
        }
        if (again) {
            break;
        }
        seen.push_back(item);
        tab += L" " + std::to_wstring(GetDlgCtrlID(item));
    }
    lines += tab + L"\n";
    std::wstring where = L"none";
    if (focus == dialog) {
        where = L"dialog";
    } else if (focus && IsChild(dialog, focus)) {
        where = std::to_wstring(GetDlgCtrlID(focus));
    } else if (focus) {
        wchar_t caption[64] = {};
        GetWindowTextW(GetAncestor(focus, GA_ROOT), caption, 64);
        where = L"outside (" + className(focus) + L" in \"" + caption + L"\")";
    }
    lines += L"focus: " + where;
    return lines;
}

}  // namespace pagehost
