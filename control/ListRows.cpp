// The file list's rows, kept and shown (see ListRows.h).
#include "control/ListRows.h"

#include <string>
#include <string_view>
#include <utility>

namespace tovalo {
namespace {

void SetState(HWND list, int row, UINT mask, UINT state) {
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// The list view's own type-ahead: case does not count, a partial text names the rows it starts.
bool NameMatches(std::wstring_view name, std::wstring_view wanted, bool partial) {
    if (partial ? name.size() < wanted.size() : name.size() != wanted.size()) return false;
    if (wanted.empty()) return true;
    const int length = static_cast<int>(wanted.size());
    return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.data(), length, wanted.data(), length) ==
           CSTR_EQUAL;
}

}  // namespace

void FileListRows::Attach(HWND list) {
    list_ = list;
    shown_ = rows_.Count();
    if (list_) ::SendMessageW(list_, LVM_SETITEMCOUNT, shown_, 0);
}

void FileListRows::Add(FileRow row) {
    rows_.AddAtTop(std::move(row));
    if (batchDepth_ == 0) Show();
}

void FileListRows::Remove(const std::vector<std::size_t>& rows) {
    if (rows.empty()) return;
    const bool all = rows.size() == rows_.Count();
    rows_.Remove(rows);
    if (list_) {
        if (all) {
            ::SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
        } else {
            // From the bottom up, so that no row still to go moves. The list view moves the
            // selection, the focus and the mark of the rows below each one itself.
            for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
                ::SendMessageW(list_, LVM_DELETEITEM, static_cast<WPARAM>(*row), 0);
            }
        }
    }
    shown_ = rows_.Count();
}

void FileListRows::Clear() {
    rows_.Clear();
    if (list_) ::SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    shown_ = 0;
}

void FileListRows::Restyle(const std::function<FileRow::Look(const FileRow&)>& look) {
    for (std::size_t row = 0, count = rows_.Count(); row < count; ++row) rows_.SetLook(row, look(rows_.At(row)));
    // The list view asks for the new images and types as it draws the rows again.
    if (list_) ::InvalidateRect(list_, nullptr, TRUE);
}

FileListRows::Batch::Batch(FileListRows& list) : list_(list) {
    if (list_.batchDepth_++ == 0) list_.HoldRedraw(true);
}

FileListRows::Batch::~Batch() {
    if (--list_.batchDepth_ > 0) return;
    list_.Show();
    list_.HoldRedraw(false);
}

FileListRows::Pause::Pause(FileListRows& list) : list_(list) {
    if (list_.batchDepth_ == 0) return;
    list_.Show();
    list_.HoldRedraw(false);
    if (list_.list_) ::UpdateWindow(list_.list_);
}

FileListRows::Pause::~Pause() {
    if (list_.batchDepth_ > 0) list_.HoldRedraw(true);
}

void FileListRows::HoldRedraw(bool hold) {
    if (!list_) return;
    ::SendMessageW(list_, WM_SETREDRAW, hold ? FALSE : TRUE, 0);
    // Turned back on, the list view does not repaint by itself what changed meanwhile.
    if (!hold) ::InvalidateRect(list_, nullptr, TRUE);
}

void FileListRows::Show() {
    const std::size_t added = Unshown();
    if (!list_ || shown_ == rows_.Count()) {
        shown_ = rows_.Count();
        return;
    }
    // The list view keeps its selection by index: read it before the count grows, and move it down
    // by the rows that came in above, as a list view that holds its rows moves it itself.
    std::vector<int> selected;
    if (added && ::SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0) > 0) {
        for (int row = NextSelected(-1); row >= 0; row = NextSelected(row)) selected.push_back(row);
    }
    const auto focus =
        added ? static_cast<int>(::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)) : -1;
    const int mark = added ? SelectionMark() : -1;
    shown_ = rows_.Count();
    ::SendMessageW(list_, LVM_SETITEMCOUNT, shown_, LVSICF_NOSCROLL);
    if (!added) return;
    const int shift = static_cast<int>(added);
    if (!selected.empty()) {
        SetState(list_, -1, LVIS_SELECTED, 0);
        for (int row : selected) SetState(list_, row + shift, LVIS_SELECTED, LVIS_SELECTED);
    }
    if (focus >= 0) SetState(list_, focus + shift, LVIS_FOCUSED, LVIS_FOCUSED);
    if (mark >= 0 || !selected.empty()) ::SendMessageW(list_, LVM_SETSELECTIONMARK, 0, mark >= 0 ? mark + shift : -1);
}

std::vector<std::size_t> FileListRows::Selected() {
    Show();
    std::vector<std::size_t> selected;
    for (int row = NextSelected(-1); row >= 0 && static_cast<std::size_t>(row) < rows_.Count();
         row = NextSelected(row)) {
        selected.push_back(static_cast<std::size_t>(row));
    }
    return selected;
}

const FileRow* FileListRows::AtSelectionMark() const { return Shown(SelectionMark()); }

const FileRow* FileListRows::AtFocus() const {
    if (!list_) return nullptr;
    return Shown(static_cast<int>(::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)));
}

void FileListRows::SelectAll() {
    Show();
    if (list_ && shown_ > 0) SetState(list_, -1, LVIS_SELECTED, LVIS_SELECTED);
}

int FileListRows::NextSelected(int from) const {
    if (!list_) return -1;
    return static_cast<int>(
        ::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(from), MAKELPARAM(LVNI_SELECTED, 0)));
}

int FileListRows::SelectionMark() const {
    return list_ ? static_cast<int>(::SendMessageW(list_, LVM_GETSELECTIONMARK, 0, 0)) : -1;
}

const FileRow* FileListRows::Shown(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= shown_) return nullptr;
    // Rows the list view has not been told of yet sit above the ones it shows.
    const std::size_t at = static_cast<std::size_t>(row) + Unshown();
    return at < rows_.Count() ? &rows_.At(at) : nullptr;
}

void FileListRows::Arrange() {
    Show();
    if (list_) ::SendMessageW(list_, LVM_ARRANGE, LVA_DEFAULT, 0);
}

LRESULT FileListRows::Answer(NMHDR* notification) const {
    if (!list_ || !notification || notification->hwndFrom != list_) return 0;
    switch (notification->code) {
    case LVN_GETDISPINFOW:
        Describe(reinterpret_cast<NMLVDISPINFOW*>(notification)->item);
        return 0;
    case LVN_ODFINDITEMW:
        return Find(*reinterpret_cast<const NMLVFINDITEMW*>(notification));
    case LVN_GETINFOTIPW:
        DescribeTip(*reinterpret_cast<NMLVGETINFOTIPW*>(notification));
        return 0;
    default:
        return 0;
    }
}

void FileListRows::Describe(LVITEMW& item) const {
    const FileRow* row = Shown(item.iItem);
    if (row && (item.mask & LVIF_IMAGE)) item.iImage = row->image;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    item.pszText[0] = L'\0';
    if (!row || item.iSubItem < 0 || item.iSubItem >= kColumnCount) return;
    // Cut to the list view's buffer, as it would cut a text it held; whoever reads a cell asks
    // again with a larger buffer when the text filled it.
    const std::wstring text = row->Text(static_cast<Column>(item.iSubItem));
    ::lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
}

void FileListRows::DescribeTip(NMLVGETINFOTIPW& tip) const {
    const FileRow* row = Shown(tip.iItem);
    if (!row || !tip.pszText || tip.cchTextMax <= 0) return;
    // A server entry's path column is the page's reference, nothing a user can find.
    const std::wstring text = row->IsServerEntry() ? row->name : row->name + L"\n" + row->path;
    ::lstrcpynW(tip.pszText, text.c_str(), tip.cchTextMax);
}

int FileListRows::Find(const NMLVFINDITEMW& find) const {
    const LVFINDINFOW& what = find.lvfi;
    // Rows are found by name only: they carry no item data, and a place is not a row's own.
    if (!(what.flags & (LVFI_STRING | LVFI_PARTIAL)) || !what.psz) return -1;
    const std::wstring_view wanted(what.psz);
    const bool partial = (what.flags & LVFI_PARTIAL) != 0;
    const int count = static_cast<int>(shown_);
    const int start = find.iStart > 0 && find.iStart < count ? find.iStart : 0;
    for (int step = 0; step < count; ++step) {
        int row = start + step;
        if (row >= count) {
            if (!(what.flags & LVFI_WRAP)) break;
            row -= count;
        }
        const FileRow* shown = Shown(row);
        if (shown && NameMatches(shown->name, wanted, partial)) return row;
    }
    return -1;
}

}  // namespace tovalo
