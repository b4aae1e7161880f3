// The file list in the control's list view: rows, local files with their checks, the running
// totals, folder loads, deletes and the double-click that opens a row's file.
#include "control/TovaloCtrl.h"

#include "control/Extensions.h"
#include "control/MessageTexts.h"
#include "control/SizeLimit.h"
#include "control/SizeText.h"
#include "framework/Dialog.h"
#include "framework/LocalPath.h"
#include "framework/Raii.h"
#include "framework/Text.h"

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

}  // namespace

CTovaloCtrl::ListBatch::ListBatch(CTovaloCtrl& control) : control_(control) {
    if (control_.m_batchDepth++ == 0) control_.HoldRedraw(true);
}

CTovaloCtrl::ListBatch::~ListBatch() {
    if (--control_.m_batchDepth > 0) return;
    control_.m_view.Show();
    control_.HoldRedraw(false);
}

void CTovaloCtrl::HoldRedraw(bool hold) {
    HWND list = Hwnd();
    if (!list) return;
    ::SendMessageW(list, WM_SETREDRAW, hold ? FALSE : TRUE, 0);
    // Turned back on, the list view does not repaint by itself what changed meanwhile.
    if (!hold) ::InvalidateRect(list, nullptr, TRUE);
}

void CTovaloCtrl::Tell(const wchar_t* text) {
    if (m_batchDepth > 0) {
        m_view.Show();
        HoldRedraw(false);
        if (HWND list = Hwnd()) ::UpdateWindow(list);
    }
    fw::ShowMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    // The page may have gone while the box was up; then there is nothing to hold.
    if (m_batchDepth > 0) HoldRedraw(true);
}

bool CTovaloCtrl::InsertFileItem(int icon, const std::wstring& name, const std::wstring& typeText, std::uint32_t size,
                                 const std::wstring& path) {
    if (!Hwnd()) return false;
    FileRow row{path, name, typeText, size, icon};
    if (m_iconSet == 0) {
        row.image = row.IsServerEntry() ? ProbeIcon(typeText, row.type) : GetShellIcon(path, row.type);
    }
    m_rows.AddAtTop(std::move(row));
    // A batch tells the list view of its rows once, when it ends.
    if (m_batchDepth == 0) m_view.Show();
    return true;
}

int CTovaloCtrl::GetShellIcon(const std::wstring& path, std::wstring& typeName) {
    // Only the name's extension counts (the file is not opened), so the shell is asked once per
    // extension. Both image lists grow by one image so that one index serves both views.
    const std::wstring extension(ShellExtensionOf(path));
    if (const auto known = m_shellIcons.find(extension); known != m_shellIcons.end()) {
        typeName = known->second.type;
        return known->second.image;
    }
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
    const int image = ::ImageList_GetImageCount(m_ilShellLarge.Get()) - 1;
    // A failed answer is not kept: the next file of that extension asks again.
    if (largeIcon.Get() && smallIcon.Get()) m_shellIcons.emplace(extension, ShellIcon{image, typeName});
    return image;
}

void CTovaloCtrl::CountSize(std::uint32_t size) {
    if (m_totalSize != 0) {
        m_currentSize += size;
    } else {
        m_currentSize64 += size;
    }
}

void CTovaloCtrl::RearrangeRows() {
    m_view.Show();
    m_view.Arrange();
}

void CTovaloCtrl::ClearRows() {
    m_rows.Clear();
    m_view.Removed({}, true);
}

bool CTovaloCtrl::AddLocalFile(const std::wstring& path, bool quiet) {
    const FileStatus status = StatusOf(path);
    if (!status.isFile) return true;
    const std::wstring name = fw::FileNameOf(path);

    // The same file twice would be sent twice; two files of one name from two folders are fine.
    if (m_rows.Lists(path)) {
        if (!quiet) Tell(msg::kSamePath);
        return false;
    }
    // Checked on the 64-bit size before anything counts in 32 bits: a file of 4 GiB + 1 byte must
    // not pass for a file of 1 byte.
    if (status.size > kMaxFileSize) {
        Tell(msg::kOver1G);
        return false;
    }
    const auto size = static_cast<std::uint32_t>(status.size);
    switch (JudgeLimit({m_totalSize, m_currentSize, m_totalSize64, m_currentSize64}, size)) {
    case LimitVerdict::kFits:
        if (!InsertFileItem(SizeCategory(size), name, ExtensionOf(name), size, path)) return false;
        CountSize(size);
        return true;
    case LimitVerdict::kOverLimit:
        // A folder load passes over what does not fit and goes on with the rest.
        if (quiet) return true;
        Tell(msg::kOverLimit);
        return false;
    case LimitVerdict::kNoLimit:
        Tell(msg::kNoLimitFile);
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
    const ListBatch batch(*this);
    do {
        // Sub-folders (and with them "." and "..") are not entered.
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        AddLocalFile(folder + L"\\" + found.cFileName, true);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

void CTovaloCtrl::LoadDirFiles(const std::wstring& path) {
    if (!ListAcceptsChanges()) return;
    const ListBatch batch(*this);
    LoadFolder(path);
    RearrangeRows();
}

void CTovaloCtrl::DeleteAllItemInList() {
    if (!ListAcceptsChanges()) return;
    ClearRows();
    m_currentSize = 0;
    m_currentSize64 = 0;
}

void CTovaloCtrl::DeleteSelectedItem() {
    if (!ListAcceptsChanges()) return;
    // The selection is the list view's: it must know every row first.
    m_view.Show();
    std::vector<std::size_t> chosen;
    for (int row = m_view.NextSelected(-1); row >= 0 && static_cast<std::size_t>(row) < m_rows.Count();
         row = m_view.NextSelected(row)) {
        chosen.push_back(static_cast<std::size_t>(row));
    }
    if (chosen.empty()) {
        RearrangeRows();
        return;
    }
    // From the top down, as the totals have always been counted: the totals never go below 0.
    for (std::size_t row : chosen) {
        const std::uint32_t size = m_rows.At(row).size;
        if (m_currentSize != 0) {
            m_currentSize = static_cast<std::uint32_t>(SaturatingSubtract(m_currentSize, size));
        } else if (m_currentSize64 != 0) {
            m_currentSize64 = SaturatingSubtract(m_currentSize64, size);
        } else {
            m_currentSize = 0;
            m_currentSize64 = 0;
        }
    }
    const ListBatch batch(*this);
    const bool all = chosen.size() == m_rows.Count();
    m_rows.Remove(chosen);
    m_view.Removed(chosen, all);
    RearrangeRows();
}

LRESULT CTovaloCtrl::OnLButtonDblClk(WPARAM wp, LPARAM lp) {
    if (!ListAcceptsChanges()) return 0;
    const FileRow* row = m_view.Shown(m_view.SelectionMark());
    if (!row) return 0;
    // A server entry's "^^^" text is no file and simply fails to open.
    const std::wstring path = row->path;
    ::OutputDebugStringW(path.c_str());
    ::ShellExecuteW(::GetDesktopWindow(), L"open", path.c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
    return DefaultWindowProc(WM_LBUTTONDBLCLK, wp, lp);
}

}  // namespace tovalo
