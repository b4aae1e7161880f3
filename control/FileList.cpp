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

void CTovaloCtrl::Tell(const wchar_t* text) {
    const FileListRows::Pause pause(m_list);
    fw::ShowMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

bool CTovaloCtrl::InsertFileItem(FileRow row) {
    if (!Hwnd()) return false;
    FileRow::Look look = LookOf(row, m_iconSet);
    row.type = std::move(look.type);
    row.image = look.image;
    m_list.Add(std::move(row));
    return true;
}

FileRow::Look CTovaloCtrl::LookOf(const FileRow& row, std::int32_t iconSet) {
    FileRow::Look look{ExtensionOf(row.name), SizeCategory(row.size)};
    if (iconSet != 0) return look;
    const std::wstring extension = look.type;
    look.image = row.IsServerEntry() ? ProbeIcon(extension, look.type) : GetShellIcon(row.path, look.type);
    return look;
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

bool CTovaloCtrl::AddLocalFile(const std::wstring& path, bool quiet) {
    const FileStatus status = StatusOf(path);
    if (!status.isFile) return true;
    const std::wstring name = fw::FileNameOf(path);

    // The same file twice would be sent twice; two files of one name from two folders are fine.
    if (m_list.Rows().Lists(path)) {
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
    switch (m_limit.Judge(size)) {
    case LimitVerdict::kFits:
        if (!InsertFileItem({path, name, {}, size})) return false;
        m_limit.Add(size);
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
    if (AddLocalFile(path, false)) m_list.Arrange();
}

void CTovaloCtrl::LoadFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = fw::FileApiPath(folder + L"\\*.*");
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    const FileListRows::Batch batch(m_list);
    do {
        // Sub-folders (and with them "." and "..") are not entered.
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        AddLocalFile(folder + L"\\" + found.cFileName, true);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

void CTovaloCtrl::LoadDirFiles(const std::wstring& path) {
    if (!ListAcceptsChanges()) return;
    const FileListRows::Batch batch(m_list);
    LoadFolder(path);
    m_list.Arrange();
}

void CTovaloCtrl::DeleteAllItemInList() {
    if (!ListAcceptsChanges()) return;
    m_list.Clear();
    m_limit.Clear();
}

void CTovaloCtrl::DeleteSelectedItem() {
    if (!ListAcceptsChanges()) return;
    const std::vector<std::size_t> chosen = m_list.Selected();
    if (chosen.empty()) {
        m_list.Arrange();
        return;
    }
    // From the top down: the order decides which total a size comes off (SizeLimit::Remove).
    for (std::size_t row : chosen) m_limit.Remove(m_list.Rows().At(row).size);
    const FileListRows::Batch batch(m_list);
    m_list.Remove(chosen);
    m_list.Arrange();
}

void CTovaloCtrl::OpenRow(const FileRow& row) {
    // Compatibility: every double-click leaves the row's path column in the debug output (a
    // server entry's too; the page host's tests read it). A server entry has no file to open.
    const std::wstring path = row.path;
    ::OutputDebugStringW(path.c_str());
    if (!row.IsServerEntry()) {
        ::ShellExecuteW(::GetDesktopWindow(), L"open", path.c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
    }
}

LRESULT CTovaloCtrl::OnLButtonDblClk(WPARAM wp, LPARAM lp) {
    if (!ListAcceptsChanges()) return 0;
    const FileRow* row = m_list.AtSelectionMark();
    if (!row) return 0;
    OpenRow(*row);
    return DefaultWindowProc(WM_LBUTTONDBLCLK, wp, lp);
}

// The keyboard's way to what the mouse and the page do: Ctrl+A selects every row, Delete removes
// the selected ones as DeleteSelectedItem does, Enter opens the focused row as a double-click
// does. None acts while an upload runs.
LRESULT CTovaloCtrl::OnKeyDown(WPARAM key, LPARAM lp) {
    const bool control = ::GetKeyState(VK_CONTROL) < 0 && ::GetKeyState(VK_MENU) >= 0;
    switch (key) {
    case 'A':
        if (!control) break;
        if (ListAcceptsChanges()) m_list.SelectAll();
        return 0;
    case VK_DELETE:
        DeleteSelectedItem();
        return 0;
    case VK_RETURN:
        if (!ListAcceptsChanges()) return 0;
        if (const FileRow* row = m_list.AtFocus()) OpenRow(*row);
        return 0;
    default:
        break;
    }
    return DefaultWindowProc(WM_KEYDOWN, key, lp);
}

bool CTovaloCtrl::TakesKey(const MSG& msg) const {
    // A browser would take Ctrl+A for selecting its page, and Enter and Delete for its own.
    const bool control = ::GetKeyState(VK_CONTROL) < 0;
    return msg.wParam == VK_DELETE || msg.wParam == VK_RETURN || (control && msg.wParam == 'A') ||
           fw::OleControl::TakesKey(msg);
}

}  // namespace tovalo
