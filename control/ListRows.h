// Showing the control's rows through the list view's own messages: inserting at the top, column
// texts, images, the selection, arranging. Texts are wide, so a name or path keeps every character
// whatever the system's code page. The rows themselves live in FileRows; nothing is read back.
#pragma once

#include <windows.h>

#include <string>

namespace tovalo::rows {

// The list's five columns.
enum Column : int { kName = 0, kType = 1, kSizeText = 2, kPath = 3, kSize = 4 };

// Inserts a row at index 0 with its name and image; returns the index the list view reports.
int InsertAtTop(HWND list, const std::wstring& name, int image);

void SetCell(HWND list, int row, int column, const std::wstring& text);
void SetImage(HWND list, int row, int image);

// The index of the first row at or after from + 1 that is selected, or -1.
int NextSelected(HWND list, int from);

// Lays the items out again after rows came or went (icon view).
void Arrange(HWND list);

}  // namespace tovalo::rows
