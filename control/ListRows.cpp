// The control's rows through the list view's own messages (see ListRows.h).
#include "control/ListRows.h"

#include <commctrl.h>

namespace tovalo::rows {

int InsertAtTop(HWND list, const std::wstring& name, int image) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = 0;
    item.pszText = const_cast<wchar_t*>(name.c_str());
    item.iImage = image;
    return static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetCell(HWND list, int row, int column, const std::wstring& text) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void SetImage(HWND list, int row, int image) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = image;
    ::SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

int NextSelected(HWND list, int from) {
    return static_cast<int>(
        ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(from), MAKELPARAM(LVNI_SELECTED, 0)));
}

void Arrange(HWND list) { ::SendMessageW(list, LVM_ARRANGE, LVA_DEFAULT, 0); }

}  // namespace tovalo::rows
