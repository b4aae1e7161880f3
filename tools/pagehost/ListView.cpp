// What the page may ask of the control's list view: rows, cells, images, columns, selection,
// double-clicks and the view mode, all through the list view's own messages.
#include "tools/pagehost/ListView.h"

#include "tools/pagehost/HostError.h"

#include <commctrl.h>

#include <vector>

namespace pagehost {
namespace {

bool hasClass(HWND window, const wchar_t* className) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return lstrcmpiW(name, className) == 0;
}

bool hasHeaderChild(HWND window) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (hasClass(child, WC_HEADERW)) {
            return true;
        }
    }
    return false;
}

struct Search {
    HWND byClass = nullptr;
    HWND byHeader = nullptr;

    void consider(HWND window) {
        if (!byClass && hasClass(window, WC_LISTVIEWW)) {
            byClass = window;
        } else if (!byHeader && hasHeaderChild(window)) {
            byHeader = window;
        }
    }
};

BOOL CALLBACK considerChild(HWND window, LPARAM search) {
    reinterpret_cast<Search*>(search)->consider(window);
    return TRUE;
}

std::wstring rowText(HWND window, int row, int column) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<size_t>(
            SendMessageW(window, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < buffer.size() || buffer.size() >= 65536) {
            return std::wstring(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
        }
        buffer.resize(buffer.size() * 4);
    }
}

}  // namespace

HWND findListWindow(HWND controlWindow) {
    if (!controlWindow) {
        return nullptr;
    }
    Search search;
    search.consider(controlWindow);
    EnumChildWindows(controlWindow, considerChild, reinterpret_cast<LPARAM>(&search));
    return search.byClass ? search.byClass : search.byHeader;
}

HWND ListView::window() const {
    if (!m_window || !IsWindow(m_window)) {
        throw HostError(L"the page has no control with a list view");
    }
    return m_window;
}

void ListView::checkRow(int row) const {
    if (row < 0 || row >= rowCount()) {
        throw HostError(L"row " + std::to_wstring(row) + L" does not exist (the list has " +
                        std::to_wstring(rowCount()) + L" rows)");
    }
}

void ListView::checkColumn(int column) const {
    if (column < 0 || column >= columnCount()) {
        throw HostError(L"column " + std::to_wstring(column) + L" does not exist");
    }
}

int ListView::rowCount() const { return static_cast<int>(SendMessageW(window(), LVM_GETITEMCOUNT, 0, 0)); }

std::wstring ListView::cell(int row, int column) const {
    checkRow(row);
    checkColumn(column);
    return rowText(window(), row, column);
}

int ListView::image(int row) const {
    checkRow(row);
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    if (!SendMessageW(window(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
        throw HostError(L"the list view does not tell the image of row " + std::to_wstring(row));
    }
    return item.iImage;
}

void ListView::select(int row) const {
    checkRow(row);
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(window(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    SendMessageW(window(), LVM_SETSELECTIONMARK, 0, row);
}

void ListView::deselect() const {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = 0;
    SendMessageW(window(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    SendMessageW(window(), LVM_SETSELECTIONMARK, 0, -1);
}

void ListView::doubleClick(int row) const {
    checkRow(row);
    // As a real double-click does: the row becomes the only selected one, then the clicks land on it.
    deselect();
    select(row);
    SendMessageW(window(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT label{};
    label.left = LVIR_LABEL;
    SendMessageW(window(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&label));
    const LPARAM point = MAKELPARAM((label.left + label.right) / 2, (label.top + label.bottom) / 2);
    SendMessageW(window(), WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    SendMessageW(window(), WM_LBUTTONUP, 0, point);
}

std::wstring ListView::view() const {
    switch (GetWindowLongW(window(), GWL_STYLE) & LVS_TYPEMASK) {
    case LVS_ICON:
        return L"icon";
    case LVS_REPORT:
        return L"report";
    case LVS_SMALLICON:
        return L"smallicon";
    default:
        return L"list";
    }
}

int ListView::columnCount() const {
    const auto header = reinterpret_cast<HWND>(SendMessageW(window(), LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

std::wstring ListView::columnText(int column) const {
    checkColumn(column);
    wchar_t buffer[260] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = buffer;
    info.cchTextMax = 260;
    SendMessageW(window(), LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
    return buffer;
}

int ListView::columnWidth(int column) const {
    checkColumn(column);
    // The header keeps the widths in every view; the list view reports its item width instead
    // while it shows icons.
    const auto header = reinterpret_cast<HWND>(SendMessageW(window(), LVM_GETHEADER, 0, 0));
    HDITEMW item{};
    item.mask = HDI_WIDTH;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return item.cxy;
}

std::wstring ListView::selectedRows() const {
    std::wstring rows;
    int row = -1;
    for (int left = rowCount(); left > 0; --left) {
        const auto next =
            static_cast<int>(SendMessageW(window(), LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
        if (next <= row) {
            break;
        }
        row = next;
        rows += (rows.empty() ? L"" : L",") + std::to_wstring(row);
    }
    return rows;
}

unsigned long ListView::extendedStyle() const {
    return static_cast<unsigned long>(SendMessageW(window(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

unsigned long ListView::backgroundColor() const {
    const auto color = static_cast<COLORREF>(SendMessageW(window(), LVM_GETBKCOLOR, 0, 0));
    return (static_cast<unsigned long>(GetRValue(color)) << 16) | (static_cast<unsigned long>(GetGValue(color)) << 8) |
           GetBValue(color);
}

}  // namespace pagehost
