// The control's rows through the list view's own messages (see ListRows.h).
#include "control/ListRows.h"

#include <commctrl.h>

#include <vector>

namespace tovalo::rows {

int Count(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

namespace {
// Far above any path (32,767 characters); a text from a page may be longer and is then read up
// to here.
constexpr size_t kMaxCellChars = size_t{1} << 19;
}  // namespace

std::wstring Cell(HWND list, int row, int column) {
    // A path may be longer than MAX_PATH: read until the text no longer fills the buffer, so that
    // no caller ever sees a cut path (which could name another file).
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<size_t>(
            ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < buffer.size() || buffer.size() >= kMaxCellChars) {
            return std::wstring(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

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
