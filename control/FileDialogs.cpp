// The file list's two system dialogs: the multi-selection file dialog (SelectFile) and the folder
// picker (LoadFilesFromDialog, BrowseForFolder).
#include "control/TovaloCtrl.h"

#include "control/ListRows.h"
#include "framework/Raii.h"

#include <commdlg.h>
#include <shlobj.h>

#include <vector>

namespace tovalo {
namespace {

// Room for the names a user picks at once, as the page's users have always had.
constexpr DWORD kNameBufferSize = 10000;

// The page's filter, "description|pattern|" pairs, in the dialog's form: each part ended by a
// NUL, and one more NUL at the end.
std::vector<char> DialogFilter(const std::string& filter) {
    std::vector<char> parts(filter.begin(), filter.end());
    for (char& c : parts) {
        if (c == '|') c = '\0';
    }
    parts.push_back('\0');
    parts.push_back('\0');
    return parts;
}

// The paths of a multi-selection answer, in the dialog's order: either one full path, or the
// folder followed by the names picked in it.
std::vector<std::string> PickedPaths(const std::vector<char>& buffer) {
    std::vector<std::string> parts;
    for (size_t at = 0; at < buffer.size() && buffer[at] != '\0';) {
        const std::string part(&buffer[at]);
        at += part.size() + 1;
        parts.push_back(part);
    }
    if (parts.size() <= 1) return parts;
    std::string folder = parts.front();
    if (folder.back() != '\\') folder += '\\';
    std::vector<std::string> paths;
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
    std::vector<char> names(kNameBufferSize, '\0');
    const char initial[] = "*.*";
    std::copy(std::begin(initial), std::end(initial), names.begin());
    std::vector<char> filter = DialogFilter(m_openFile);

    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = ::GetAncestor(Hwnd(), GA_ROOT);
    request.lpstrFilter = filter.data();
    request.nFilterIndex = 1;
    request.lpstrFile = names.data();
    request.nMaxFile = kNameBufferSize;
    request.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_EXPLORER;
    if (!::GetOpenFileNameA(&request)) return;
    // The last name may end exactly at the buffer's end: keep one NUL behind it for the walk.
    names.push_back('\0');
    for (const std::string& path : PickedPaths(names)) AddLocalFile(path, false);
    RearrangeRows();
}

bool CTovaloCtrl::BrowseForFolder(std::string& path, const char* title, int rootCsidl, UINT flags) {
    fw::ComPtr<IMalloc> allocator;
    if (FAILED(::SHGetMalloc(allocator.Put())) || !allocator) return false;
    ShellMemory<char> displayName(allocator.Get(), static_cast<char*>(allocator->Alloc(MAX_PATH)));
    if (!displayName.Get()) return false;
    HWND owner = ::GetAncestor(Hwnd(), GA_ROOT);
    ShellMemory<ITEMIDLIST> root(allocator.Get());
    if (FAILED(::SHGetSpecialFolderLocation(owner, rootCsidl, root.Put()))) return false;

    BROWSEINFOA browse{};
    browse.hwndOwner = owner;
    browse.pidlRoot = root.Get();
    browse.pszDisplayName = displayName.Get();
    browse.lpszTitle = title;
    browse.ulFlags = flags;
    ShellMemory<ITEMIDLIST> picked(allocator.Get(), ::SHBrowseForFolderA(&browse));
    if (!picked.Get()) return false;
    char folder[MAX_PATH] = {};
    if (!::SHGetPathFromIDListA(picked.Get(), folder)) return false;
    path = folder;
    return true;
}

void CTovaloCtrl::LoadFilesFromDialog() {
    if (!ListAcceptsChanges()) return;
    std::string folder;
    if (!BrowseForFolder(folder, "select directory", 0, BIF_BROWSEINCLUDEFILES)) return;
    LoadFolder(folder);
    RearrangeRows();
}

}  // namespace tovalo
