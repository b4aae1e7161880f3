// Drops through WM_DROPFILES, the older protocol of drag sources that do not speak OLE: the
// shell's file list in its 8-bit and wide forms, files and folders. (OLE drops are the pages'.)
#include "tests/win/TestSupport.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

namespace tovalo_test {
namespace {

// A folder of its own under the temporary folder, removed with what it holds.
class ScratchFolder {
public:
    ScratchFolder() {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"tovalo-drop-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ScratchFolder() {
        std::wstring from = path_ + L'\0';  // double-null ended, as the shell wants
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NO_UI;
        ::SHFileOperationW(&op);
    }
    std::wstring Make(const std::wstring& relative, DWORD size) const {
        const std::wstring full = path_ + L"\\" + relative;
        const size_t slash = full.find_last_of(L'\\');
        ::CreateDirectoryW(full.substr(0, slash).c_str(), nullptr);
        const HANDLE file = ::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const std::string bytes(size, 'x');
        DWORD written = 0;
        ::WriteFile(file, bytes.data(), size, &written, nullptr);
        ::CloseHandle(file);
        return full;
    }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// The shell's file list: DROPFILES, then the paths, each ended by a null, then one more null.
template <class Char>
HDROP FileList(const std::vector<std::basic_string<Char>>& paths) {
    std::basic_string<Char> names;
    for (const auto& path : paths) names += path + Char{};
    names += Char{};
    const size_t bytes = names.size() * sizeof(Char);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes);
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = sizeof(Char) == sizeof(wchar_t);
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), names.data(), bytes);
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::string Narrow(const std::wstring& wide) {
    std::string text(wide.size() * 2 + 1, '\0');
    text.resize(static_cast<size_t>(::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text.data(),
                                                          static_cast<int>(text.size()), nullptr, nullptr) -
                                    1));
    return text;
}

std::vector<std::wstring> RowNames(HWND list) {
    std::vector<std::wstring> names;
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        wchar_t text[MAX_PATH] = {};
        LVITEMW item{};
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        names.push_back(text);
    }
    return names;
}

TEST(FileDrop, DroppedFilesAndFoldersJoinTheList) {
    ScratchFolder scratch;
    const std::wstring a = scratch.Make(L"a.txt", 10);
    const std::wstring b = scratch.Make(L"b.txt", 20);
    scratch.Make(L"folder\\c.txt", 30);
    scratch.Make(L"folder\\inner\\d.txt", 40);

    TestContainer container;
    fw::ComPtr<IDispatch> control = CreateControl();
    MemoryBag params;
    params.SetText(L"totalSize", L"100000");
    ASSERT_EQ(container.Embed(control.Get(), &params), S_OK);
    HWND list = nullptr;
    control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&list);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(::GetWindowLongPtrW(list, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    // The control frees the list (DragFinish), as a receiver of WM_DROPFILES must.
    ::SendMessageW(list, WM_DROPFILES, reinterpret_cast<WPARAM>(FileList<char>({Narrow(a)})), 0);
    ::SendMessageW(list, WM_DROPFILES, reinterpret_cast<WPARAM>(FileList<wchar_t>({b, scratch.Path() + L"\\folder"})),
                   0);
    EXPECT_EQ(RowNames(list), (std::vector<std::wstring>{L"c.txt", L"b.txt", L"a.txt"}));
    EXPECT_EQ(Get(control.Get(), L"currentSize").value, L"60");

    if (auto ole = control.As<IOleObject>(IID_IOleObject)) {
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
    }
}

}  // namespace
}  // namespace tovalo_test
