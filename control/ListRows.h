// The file list's rows, kept (FileRows) and shown (the control's list view) by one object: rows are
// added, removed, cleared and given their looks here, and the list view is kept in step in the same
// call. The list view is an owner-data one, which holds no rows of its own: it is told how many
// there are and asks for what it shows, texts and images (LVN_GETDISPINFO) and the row whose name a
// typed text starts (LVN_ODFINDITEM), and the tip over a row (LVN_GETINFOTIP); so a folder load
// costs the list view nothing per row, in any view. The selection, the focus and the selection mark are the list view's
// own; this keeps them on the rows they were on as rows come in at the top. Every list-view message about rows lives
// here. Texts are wide, so a name or path keeps every character whatever the system's code page.
#pragma once

#include "control/FileRows.h"

#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <functional>
#include <vector>

namespace tovalo {

class FileListRows {
public:
    FileListRows() = default;
    FileListRows(const FileListRows&) = delete;
    FileListRows& operator=(const FileListRows&) = delete;

    const FileRows& Rows() const { return rows_; }

    // The list view (created with LVS_OWNERDATA) that shows the rows from now on, told of every row
    // at once; nullptr when it goes.
    void Attach(HWND list);

    // A new row at the top. The list view is told of it at once, or when the outermost batch ends.
    void Add(FileRow row);
    // The rows at these view indices (ascending, each once) leave the model and the view, all of
    // them at once when that is every row; the rows that stay keep their selection and focus.
    void Remove(const std::vector<std::size_t>& rows);
    void Clear();
    // Every row gets the look this gives it (type text and image); the view draws them again.
    void Restyle(const std::function<FileRow::Look(const FileRow&)>& look);

    // Rows added, removed or given new looks together are drawn once, when the outermost batch
    // ends (however it ends): a list view redrawn for every row costs milliseconds per row. Rows
    // added in a batch reach the list view then too (or at a Pause, or when arranged).
    class Batch {
    public:
        explicit Batch(FileListRows& list);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        FileListRows& list_;
    };
    // While something the user must see the rows for is shown inside a batch (a message box): the
    // list view is told of the rows so far and draws them, and is held again afterwards (if it is
    // still there: the page may go while a message box is up).
    class Pause {
    public:
        explicit Pause(FileListRows& list);
        ~Pause();
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;

    private:
        FileListRows& list_;
    };

    // The model's rows at the selected view indices, top down (the list view is told of every row
    // first: the selection is its own).
    std::vector<std::size_t> Selected();
    // The row at the selection mark (the row a click or the page selected last), or nullptr.
    const FileRow* AtSelectionMark() const;
    // The row with the focus (the one the keyboard acts on), or nullptr.
    const FileRow* AtFocus() const;
    // Every row selected (the list view is told of every row first).
    void SelectAll();

    // Tells the list view of every row and lays the items out again (icon view): a row the list
    // view has just been told of has no place of its own until then.
    void Arrange();

    // Answers the list view's questions (its WM_NOTIFY, reflected to the control): what the
    // notification's code asks for; 0 for a notification that asks nothing of the rows.
    LRESULT Answer(NMHDR* notification) const;

private:
    // Tells the list view of the rows that came in at the top since it was last told (rows only
    // come in at the top). Until then it shows the rows it knew, where they were.
    void Show();
    void HoldRedraw(bool hold);
    // Rows at the top of the model that the list view has not been told of.
    std::size_t Unshown() const { return rows_.Count() > shown_ ? rows_.Count() - shown_ : 0; }
    int NextSelected(int from) const;
    int SelectionMark() const;
    // The model's row shown at this index, or nullptr.
    const FileRow* Shown(int row) const;
    void Describe(LVITEMW& item) const;
    // The tip shown over a row: its whole name, and a local file's path under it.
    void DescribeTip(NMLVGETINFOTIPW& tip) const;
    int Find(const NMLVFINDITEMW& find) const;

    FileRows rows_;
    HWND list_ = nullptr;
    std::size_t shown_ = 0;  // the row count the list view was last told
    int batchDepth_ = 0;
};

}  // namespace tovalo
