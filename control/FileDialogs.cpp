// The file list's two system dialogs: the multi-selection file dialog (SelectFile) and the folder
// picker (LoadFilesFromDialog, BrowseForFolder).
#include "control/TovaloCtrl.h"

#include "framework/Raii.h"
#include "framework/Text.h"

#include <commdlg.h>
#include <shlobj.h>

#include <vector>

namespace tovalo {
namespace {

// Room for the names a user picks at once: 10000 characters, a few hundred files of usual names
// (a pick that needs more adds nothing).
constexpr DWORD kNameBufferSize = 10000;

// The page's filter, "description|pattern|" pairs, in the dialog's form: each part ended by a
// NUL, and one more NUL at the end.
std::wstring DialogFilter(const std::string& filter) {
    std::wstring parts = fw::ToWide(filter);
    for (wchar_t& c : parts) {
        if (c == L'|') c = L'\0';
    }
    parts.push_back(L'\0');
    parts.push_back(L'\0');
    return parts;
}

// The paths of a multi-selection answer, in the dialog's order: either one full path, or the
// folder followed by the names picked in it.
std::vector<std::wstring> PickedPaths(const std::vector<wchar_t>& buffer) {
    std::vector<std::wstring> parts;
    for (size_t at = 0; at < buffer.size() && buffer[at] != L'\0';) {
        const std::wstring part(&buffer[at]);
        at += part.size() + 1;
        parts.push_back(part);
    }
    if (parts.size() <= 1) return parts;
    std::wstring folder = parts.front();
    if (folder.back() != L'\\') folder += L'\\';
    std::vector<std::wstring> paths;
    for (size_t i = 1; i < parts.size(); ++i) paths.push_back(folder + parts[i]);
    return paths;
}

// Memory handed out by the shell's allocator, given back to it.
template <class T>
class ShellMemory {
public:
    explicit ShellMemory(IMalloc* allocator, T* p = nullptr) : allocator_(allocator), p_(p) {}
    ~ShellMemory() {
        if (p_) allocator_->Free(p_);
    }
    ShellMemory(const ShellMemory&) = delete;
    ShellMemory& operator=(const ShellMemory&) = delete;
    T* Get() const { return p_; }
    T** Put() { return &p_; }

private:
    IMalloc* allocator_;
    T* p_;
};

}  // namespace

void CTovaloCtrl::SelectFile() {
    if (!ListAcceptsChanges()) return;
    // The buffer counts characters; it holds as many names as the 8-bit dialog's 10,000 bytes did,
    // and more where they are Korean.
    std::vector<wchar_t> names(kNameBufferSize, L'\0');
    const wchar_t initial[] = L"*.*";
    std::copy(std::begin(initial), std::end(initial), names.begin());
    const std::wstring filter = DialogFilter(m_openFile);

    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = ::GetAncestor(Hwnd(), GA_ROOT);
    request.lpstrFilter = filter.data();
    request.nFilterIndex = 1;
    request.lpstrFile = names.data();
    request.nMaxFile = kNameBufferSize;
    request.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_EXPLORER;
    if (!::GetOpenFileNameW(&request)) return;
    // The last name may end exactly at the buffer's end: keep one NUL behind it for the walk.
    names.push_back(L'\0');
    const FileListRows::Batch batch(m_list);
    for (const std::wstring& path : PickedPaths(names)) AddLocalFile(path, false);
    m_list.Arrange();
}

bool CTovaloCtrl::BrowseForFolder(std::wstring& path, const wchar_t* title, int rootCsidl, UINT flags) {
    fw::ComPtr<IMalloc> allocator;
    if (FAILED(::SHGetMalloc(allocator.Put())) || !allocator) return false;
    ShellMemory<wchar_t> displayName(allocator.Get(),
                                     static_cast<wchar_t*>(allocator->Alloc(MAX_PATH * sizeof(wchar_t))));
    if (!displayName.Get()) return false;
    HWND owner = ::GetAncestor(Hwnd(), GA_ROOT);
    ShellMemory<ITEMIDLIST> root(allocator.Get());
    if (FAILED(::SHGetSpecialFolderLocation(owner, rootCsidl, root.Put()))) return false;

    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.pidlRoot = root.Get();
    browse.pszDisplayName = displayName.Get();
    browse.lpszTitle = title;
    browse.ulFlags = flags;
    ShellMemory<ITEMIDLIST> picked(allocator.Get(), ::SHBrowseForFolderW(&browse));
    if (!picked.Get()) return false;
    wchar_t folder[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(picked.Get(), folder)) return false;
    path = folder;
    return true;
}

void CTovaloCtrl::LoadFilesFromDialog() {
    if (!ListAcceptsChanges()) return;
    std::wstring folder;
    if (!BrowseForFolder(folder, L"select directory", 0, BIF_BROWSEINCLUDEFILES)) return;
    const FileListRows::Batch batch(m_list);
    LoadFolder(folder);
    m_list.Arrange();
}

}  // namespace tovalo
