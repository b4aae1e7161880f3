// The control's rows through the list view's own messages (see ListRows.h).
#include "control/ListRows.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace tovalo::rows {

int Count(HWND list) { return static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

namespace {
// Far above any path (32,767 characters of at most two bytes); a text from a page may be longer
// and is then read up to here.
constexpr size_t kMaxCellBytes = size_t{1} << 20;
}  // namespace

std::string Cell(HWND list, int row, int column) {
    // A path may be longer than MAX_PATH: read until the text no longer fills the buffer, so that
    // no caller ever sees a cut path (which could name another file). A multi-byte character that
    // does not fit is left out whole, so a text is complete only with two bytes to spare.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<size_t>(
            ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length + 2 < buffer.size() || buffer.size() >= kMaxCellBytes) {
            return std::string(buffer.data(), std::min(length, buffer.size() - 1));
        }
        buffer.resize(buffer.size() * 2);
    }
}

int InsertAtTop(HWND list, const std::string& name, int image) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = 0;
    item.pszText = const_cast<char*>(name.c_str());
    item.iImage = image;
    return static_cast<int>(::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetCell(HWND list, int row, int column, const std::string& text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    ::SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void SetImage(HWND list, int row, int image) {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = image;
    ::SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

int NextSelected(HWND list, int from) {
    return static_cast<int>(
        ::SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(from), MAKELPARAM(LVNI_SELECTED, 0)));
}

void Arrange(HWND list) { ::SendMessageA(list, LVM_ARRANGE, LVA_DEFAULT, 0); }

}  // namespace tovalo::rows
