// What the page may ask of the control's list view: rows, cells, images, columns, selection,
// double-clicks and the view mode, all through the list view's own messages.
#pragma once

#include <windows.h>

#include <string>

namespace pagehost {

// Finds the list view among the control's in-place window and its descendants: a window of the
// list view class, or of a class built on it (recognised by its header child).
HWND findListWindow(HWND controlWindow);

// Every member throws HostError when the window or the row/column does not exist.
class ListView {
public:
    explicit ListView(HWND window) : m_window(window) {}

    int rowCount() const;
    std::wstring cell(int row, int column) const;
    int image(int row) const;
    void select(int row) const;  // adds the row to the selection and makes it the selection mark
    void deselect() const;       // clears the selection and the selection mark
    void doubleClick(int row) const;
    std::wstring view() const;  // "icon", "report", "smallicon" or "list"
    int columnCount() const;
    std::wstring columnText(int column) const;
    int columnWidth(int column) const;
    std::wstring selectedRows() const;  // "0,2" in row order, "" when nothing is selected
    unsigned long extendedStyle() const;
    unsigned long backgroundColor() const;  // 0xRRGGBB
    // The size of the images the list draws in its view, "WxH": its normal image list's in icon
    // view, its small one's in the others.
    std::wstring imageSize() const;
    // How wide the text is in the list's font (LVM_GETSTRINGWIDTH), in pixels.
    int textWidth(const std::wstring& text) const;
    // What the list's owner answers when the list view asks for the tip over a row
    // (LVN_GETINFOTIP, as the list view sends it to its parent).
    std::wstring infoTip(int row) const;
    // The rows of pixels of the column's header item that hold the title's ink (anything but the
    // item's most common colour, away from its edges), as painted now.
    int headerInk(int column) const;
    // 16 hex digits of a hash of every row in order: its five texts (each occurrence of hide
    // replaced by "~", so a run's scratch folder does not count) and the pixels its image draws
    // from both image lists. Two lists digest alike when a user would see the same rows.
    std::wstring rowsDigest(const std::wstring& hide) const;

private:
    HWND window() const;
    void checkRow(int row) const;
    void checkColumn(int column) const;

    HWND m_window;
};

}  // namespace pagehost
