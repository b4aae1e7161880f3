// The file list in the control's list view: rows, local files with their checks, the running
// totals, folder loads, deletes and the double-click that opens a row's file.
#include "control/TovaloCtrl.h"

#include "control/FileListRules.h"
#include "control/ListMessages.h"
#include "control/ListRows.h"
#include "framework/Dialog.h"
#include "framework/LocalPath.h"
#include "framework/Raii.h"
#include "framework/Text.h"
#include "upload/StoredName.h"

#include <commctrl.h>
#include <shellapi.h>

namespace tovalo {
namespace {

// What the file system says of a path: whether it is a file, and its 64-bit size.
struct FileStatus {
    bool isFile = false;
    std::uint64_t size = 0;
};

FileStatus StatusOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !::GetFileAttributesExW(fw::FileApiPath(path).c_str(), GetFileExInfoStandard, &data)) return {};
    // A folder is not a file to attach: it would fail at upload time.
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return {};
    return {true, (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow};
}

void Show(const wchar_t* text) { fw::ShowMessageBox(text, MB_OK | MB_ICONEXCLAMATION); }

}  // namespace

int CTovaloCtrl::InsertFileItem(int icon, const std::wstring& name, const std::wstring& typeText, std::uint32_t size,
                                const std::wstring& path) {
    HWND list = Hwnd();
    if (!list) return -1;
    std::wstring type = typeText;
    if (m_iconSet == 0) {
        icon = IsServerPath(path) ? ProbeIcon(typeText, type) : GetShellIcon(path, type);
    }
    const int row = rows::InsertAtTop(list, name, icon);
    if (row < 0) return -1;
    rows::SetCell(list, row, rows::kType, type);
    rows::SetCell(list, row, rows::kSizeText, fw::ToWide(SizeText(size)));
    rows::SetCell(list, row, rows::kPath, path);
    rows::SetCell(list, row, rows::kSize, std::to_wstring(size));
    return row;
}

int CTovaloCtrl::GetShellIcon(const std::wstring& path, std::wstring& typeName) {
    // Only the name counts (the file need not exist); both image lists grow by one image so that
    // one index serves both views.
    SHFILEINFOW large{};
    ::SHGetFileInfoW(path.c_str(), FILE_ATTRIBUTE_NORMAL, &large, sizeof large, SHGFI_ICON | SHGFI_USEFILEATTRIBUTES);
    fw::UniqueIcon largeIcon(large.hIcon);
    ::ImageList_AddIcon(m_ilShellLarge.Get(), largeIcon.Get());
    SHFILEINFOW small{};
    ::SHGetFileInfoW(path.c_str(), FILE_ATTRIBUTE_NORMAL, &small, sizeof small,
                     SHGFI_ICON | SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON);
    fw::UniqueIcon smallIcon(small.hIcon);
    ::ImageList_AddIcon(m_ilShellSmall.Get(), smallIcon.Get());
    typeName = small.szTypeName;
    return ::ImageList_GetImageCount(m_ilShellLarge.Get()) - 1;
}

void CTovaloCtrl::CountSize(std::uint32_t size) {
    if (m_totalSize != 0) {
        m_currentSize += size;
    } else {
        m_currentSize64 += size;
    }
}

void CTovaloCtrl::RearrangeRows() { rows::Arrange(Hwnd()); }

bool CTovaloCtrl::AddLocalFile(const std::wstring& path, bool quiet) {
    const FileStatus status = StatusOf(path);
    if (!status.isFile) return true;
    const std::wstring name = upload::FileNameOf(path);

    // The same file twice would be sent twice; two files of one name from two folders are fine.
    HWND list = Hwnd();
    for (int row = 0, count = rows::Count(list); row < count; ++row) {
        if (rows::Cell(list, row, rows::kPath) == path) {
            if (!quiet) Show(msg::kSamePath);
            return false;
        }
    }
    // Checked on the 64-bit size before anything counts in 32 bits: a file of 4 GiB + 1 byte must
    // not pass for a file of 1 byte.
    if (status.size > kMaxFileSize) {
        Show(msg::kOver1G);
        return false;
    }
    const auto size = static_cast<std::uint32_t>(status.size);
    switch (JudgeLimit({m_totalSize, m_currentSize, m_totalSize64, m_currentSize64}, size)) {
    case LimitVerdict::kFits:
        if (InsertFileItem(SizeCategory(size), name, ExtensionOf(name), size, path) < 0) return false;
        CountSize(size);
        return true;
    case LimitVerdict::kOverLimit:
        // A folder load passes over what does not fit and goes on with the rest.
        if (quiet) return true;
        Show(msg::kOverLimit);
        return false;
    case LimitVerdict::kNoLimit:
        Show(msg::kNoLimitFile);
        return false;
    }
    return false;
}

void CTovaloCtrl::AddFileToList(const std::wstring& path) {
    if (!ListAcceptsChanges()) return;
    if (AddLocalFile(path, false)) RearrangeRows();
}

void CTovaloCtrl::LoadFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = fw::FileApiPath(folder + L"\\*.*");
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        // Sub-folders (and with them "." and "..") are not entered.
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        AddLocalFile(folder + L"\\" + found.cFileName, true);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

void CTovaloCtrl::LoadDirFiles(const std::wstring& path) {
    if (!ListAcceptsChanges()) return;
    LoadFolder(path);
    RearrangeRows();
}

void CTovaloCtrl::DeleteAllItemInList() {
    if (!ListAcceptsChanges()) return;
    ::SendMessageW(Hwnd(), LVM_DELETEALLITEMS, 0, 0);
    m_currentSize = 0;
    m_currentSize64 = 0;
}

void CTovaloCtrl::DeleteSelectedItem() {
    if (!ListAcceptsChanges()) return;
    HWND list = Hwnd();
    for (int row = rows::NextSelected(list, -1); row != -1; row = rows::NextSelected(list, row - 1)) {
        // The size column holds "%u"; the totals never go below 0.
        const std::uint64_t size = ParseUnsigned(fw::ToAnsi(rows::Cell(list, row, rows::kSize)));
        if (m_currentSize != 0) {
            m_currentSize = static_cast<std::uint32_t>(SaturatingSubtract(m_currentSize, size));
        } else if (m_currentSize64 != 0) {
            m_currentSize64 = SaturatingSubtract(m_currentSize64, size);
        } else {
            m_currentSize = 0;
            m_currentSize64 = 0;
        }
        ::SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    }
    RearrangeRows();
}

LRESULT CTovaloCtrl::OnLButtonDblClk(WPARAM wp, LPARAM lp) {
    if (!ListAcceptsChanges()) return 0;
    HWND list = Hwnd();
    const auto mark = static_cast<int>(::SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0));
    if (mark < 0) return 0;
    // A server entry's "^^^" text is no file and simply fails to open.
    const std::wstring path = rows::Cell(list, mark, rows::kPath);
    ::OutputDebugStringW(path.c_str());
    ::ShellExecuteW(::GetDesktopWindow(), L"open", path.c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
    return DefaultWindowProc(WM_LBUTTONDBLCLK, wp, lp);
}

}  // namespace tovalo
