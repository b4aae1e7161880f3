// The control's list view as a view of its rows (FileRows): an owner-data list view, which holds no
// rows of its own. It is told how many rows there are and asks for what it shows: texts and images
// (LVN_GETDISPINFO), the row whose name a typed text starts (LVN_ODFINDITEM). So a folder load
// costs the list view nothing per row, in any view. The selection, the focus and the selection mark
// are the list view's own; this keeps them on the rows they were on as rows come in at the top.
// The list-view messages about rows live here. Texts are wide, so a name or path keeps every
// character whatever the system's code page.
#pragma once

#include "control/FileRows.h"

#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <vector>

namespace tovalo {

class RowsView {
public:
    explicit RowsView(const FileRows& rows) : rows_(rows) {}
    RowsView(const RowsView&) = delete;
    RowsView& operator=(const RowsView&) = delete;

    // The list view (created with LVS_OWNERDATA) that shows the rows from now on, told of every row
    // at once; nullptr when it goes.
    void Attach(HWND list);

    // Tells the list view of the rows that came in at the top since it was last told (rows only
    // come in at the top). Until then it shows the rows it knew, where they were.
    void Show();
    // After the rows at these view indices (ascending, each once) left the model, all of them
    // when `all`: they leave the view, and the rows that stay keep their selection and focus.
    void Removed(const std::vector<std::size_t>& rows, bool all);

    // The index of the first selected row after `from` (-1: from the top), or -1.
    int NextSelected(int from) const;
    // The selection mark (the row a click or the page selected last), or -1.
    int SelectionMark() const;
    // The model's row shown at this index, or nullptr.
    const FileRow* Shown(int row) const;

    // Lays the items out again after rows came or went (icon view): a row the list view has just
    // been told of has no place of its own until then.
    void Arrange() const;

    // Answers the list view's questions (its WM_NOTIFY, reflected to the control): what the
    // notification's code asks for; 0 for a notification that asks nothing of the rows.
    LRESULT Answer(NMHDR* notification) const;

private:
    // Rows at the top of the model that the list view has not been told of.
    std::size_t Unshown() const { return rows_.Count() > shown_ ? rows_.Count() - shown_ : 0; }
    void Describe(LVITEMW& item) const;
    int Find(const NMLVFINDITEMW& find) const;

    const FileRows& rows_;
    HWND list_ = nullptr;
    std::size_t shown_ = 0;  // the row count the list view was last told
};

}  // namespace tovalo
