// Folder loads into the control's list: LoadDirFiles on folders of 100, 1,000 and 5,000 files under
// both icon sets, against a bare loop in the same process that makes the same file, shell and list
// view calls per file but no duplicate scan, and the same loop with the scan (which tells what the
// scan costs). Prints figures; judges nothing.
//   tovalo_filelist_bench.exe FOLDER [COUNTS...]   (FOLDER is made and filled as needed)
#include "tools/pagehost/EmbeddedControl.h"
#include "tools/pagehost/FrameWindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kClassId[] = L"{3B0B4102-58CA-4165-B0CD-0970FEC6FF13}";
constexpr int kWidth = 520;
constexpr int kHeight = 300;

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / ticksPerMs;
}

std::string Ansi(const std::wstring& wide) {
    const int size = static_cast<int>(wide.size());
    std::string text(
        static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    return text;
}

// A folder holding exactly count small files named file00000.txt on.
std::wstring MakeFolder(const std::wstring& root, int count) {
    CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring folder = root + L"\\files" + std::to_wstring(count);
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < count; ++i) {
        wchar_t name[32];
        std::swprintf(name, 32, L"\\file%05d.txt", i);
        const std::wstring path = folder + name;
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        DWORD written = 0;
        WriteFile(file, "x", 1, &written, nullptr);
        CloseHandle(file);
    }
    return folder;
}

// Calls a method of the control by name with at most one argument.
bool Call(IDispatch* control, const wchar_t* name, VARIANT* argument) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(control->GetIDsOfNames(IID_NULL, names, 1, 0, &id))) return false;
    DISPPARAMS params{argument, nullptr, argument ? 1u : 0u, 0};
    return SUCCEEDED(control->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr));
}

// The duplicate scan as the control makes it: the whole path column of every row, compared.
bool IsListed(HWND list, const std::string& path) {
    const auto count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        std::vector<char> buffer(MAX_PATH);
        LVITEMA text{};
        text.iSubItem = 3;
        text.pszText = buffer.data();
        text.cchTextMax = MAX_PATH;
        const auto length = static_cast<size_t>(
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&text)));
        if (std::string(buffer.data(), length) == path) return true;
    }
    return false;
}

// One pass of the duplicate scan: the path column of every row, read as the control reads it.
double TimeScan(HWND list, int rows) {
    const double start = NowMs();
    std::vector<char> buffer(MAX_PATH);
    for (int row = 0; row < rows; ++row) {
        LVITEMA text{};
        text.iSubItem = 3;
        text.pszText = buffer.data();
        text.cchTextMax = MAX_PATH;
        SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&text));
    }
    return NowMs() - start;
}

bool PutText(IDispatch* control, const wchar_t* name, const wchar_t* value) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(control->GetIDsOfNames(IID_NULL, names, 1, 0, &id))) return false;
    VARIANT text{};
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(value);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&text, &named, 1, 1};
    const HRESULT hr = control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    SysFreeString(text.bstrVal);
    return SUCCEEDED(hr);
}

// One LoadDirFiles of a fresh control under the given icon set; milliseconds, or -1.
double TimeControl(HWND frame, const std::wstring& folder, int iconSet, int* rows) {
    pagehost::PageObject object;
    object.classId = kClassId;
    object.width = kWidth;
    object.height = kHeight;
    pagehost::EmbeddedControl control;
    // As a local page: a build given no sites admits only those.
    if (!control.embed(object, frame, pagehost::PageZone{L"file:///C:/bench/page.html", false}).empty()) return -1;
    // A limit far above the folders (only the property sets the 64-bit limit; a param does not).
    if (!PutText(control.dispatch(), L"totalSizeStr", L"100000000000")) return -1;
    VARIANT set{};
    set.vt = VT_I4;
    set.lVal = iconSet;
    Call(control.dispatch(), L"ChangeIconSet", &set);
    VARIANT path{};
    path.vt = VT_BSTR;
    path.bstrVal = SysAllocString(folder.c_str());
    const double start = NowMs();
    const bool called = Call(control.dispatch(), L"LoadDirFiles", &path);
    const double elapsed = NowMs() - start;
    SysFreeString(path.bstrVal);
    *rows = static_cast<int>(SendMessageW(control.window(), LVM_GETITEMCOUNT, 0, 0));
    const double scan = TimeScan(control.window(), *rows);
    // Adding the k-th file reads the k - 1 rows above it: n(n - 1)/2 reads for the folder.
    const double reads = 0.5 * *rows * (*rows - 1);
    std::printf(
        "    (the control's duplicate scan: %.2f us per row read through its window, so about %.1f ms of "
        "this load)\n",
        *rows ? scan * 1000.0 / *rows : 0.0, *rows ? reads * scan / *rows : 0.0);
    return called ? elapsed : -1;
}

// Where the bare loop's time goes.
struct Split {
    double status = 0, shell = 0, list = 0;
} g_split;

struct BareList {
    HWND list;
    HIMAGELIST large;
    HIMAGELIST small;
};

// The same per-file work as the control's folder load, minus the duplicate scan: enumerate, ask
// the file's status, (shell icons) two icon look-ups and two image-list additions, insert the row
// at the top and set its four other columns.
double TimeBareLoop(HWND frame, const std::wstring& folder, int iconSet, bool scan, int* rows) {
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_ICON, 0, 0, kWidth,
                                kHeight, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    SHFILEINFOA info{};
    auto copyOf = [&](UINT size) {
        const auto shell =
            reinterpret_cast<HIMAGELIST>(SHGetFileInfoA("", 0, &info, sizeof info, SHGFI_SYSICONINDEX | size));
        return shell ? ImageList_Duplicate(shell) : nullptr;
    };
    BareList bare{list, copyOf(0), copyOf(SHGFI_SMALLICON)};
    ListView_SetImageList(list, bare.large, LVSIL_NORMAL);
    ListView_SetImageList(list, bare.small, LVSIL_SMALL);

    g_split = {};
    const double start = NowMs();
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = folder + L"\\*.*";
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        const std::string folderAnsi = Ansi(folder);
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const std::string path = folderAnsi + "\\" + Ansi(found.cFileName);
            if (scan && IsListed(list, path)) continue;
            WIN32_FILE_ATTRIBUTE_DATA data{};
            const std::wstring wide(found.cFileName);
            double mark = NowMs();
            GetFileAttributesExW((folder + L"\\" + wide).c_str(), GetFileExInfoStandard, &data);
            g_split.status += NowMs() - mark;
            mark = NowMs();
            std::string name = Ansi(wide);
            std::string type = "txt";
            int icon = 0;
            if (iconSet == 0) {
                const std::wstring widePath = folder + L"\\" + wide;
                SHFILEINFOW largeInfo{};
                SHGetFileInfoW(widePath.c_str(), FILE_ATTRIBUTE_NORMAL, &largeInfo, sizeof largeInfo,
                               SHGFI_ICON | SHGFI_USEFILEATTRIBUTES);
                ImageList_AddIcon(bare.large, largeInfo.hIcon);
                DestroyIcon(largeInfo.hIcon);
                SHFILEINFOW smallInfo{};
                SHGetFileInfoW(widePath.c_str(), FILE_ATTRIBUTE_NORMAL, &smallInfo, sizeof smallInfo,
                               SHGFI_ICON | SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON);
                ImageList_AddIcon(bare.small, smallInfo.hIcon);
                DestroyIcon(smallInfo.hIcon);
                type = Ansi(smallInfo.szTypeName);
                icon = ImageList_GetImageCount(bare.large) - 1;
            }
            g_split.shell += NowMs() - mark;
            mark = NowMs();
            LVITEMA item{};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.pszText = name.data();
            item.iImage = icon;
            const auto row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
            char size[16];
            std::snprintf(size, sizeof size, "%lu", data.nFileSizeLow);
            const std::string sizeDigits = size;
            const std::string sizeText = sizeDigits + " Bytes";
            const std::string* texts[] = {&type, &sizeText, &path, &sizeDigits};
            for (int column = 1; column <= 4; ++column) {
                LVITEMA sub{};
                sub.mask = LVIF_TEXT;
                sub.iItem = row;
                sub.iSubItem = column;
                sub.pszText = const_cast<char*>(texts[column - 1]->c_str());
                SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&sub));
            }
            g_split.list += NowMs() - mark;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SendMessageA(list, LVM_ARRANGE, LVA_DEFAULT, 0);
    const double elapsed = NowMs() - start;
    *rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));

    const double scanMs = TimeScan(list, *rows);
    std::printf(
        "    (bare loop: file status %.1f ms, shell icons %.1f ms, list view rows %.1f ms; one read of every "
        "path column of a plain list view: %.2f us per row)\n",
        g_split.status, g_split.shell, g_split.list, *rows ? scanMs * 1000.0 / *rows : 0.0);

    DestroyWindow(list);
    ImageList_Destroy(bare.large);
    ImageList_Destroy(bare.small);
    return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tovalo_filelist_bench FOLDER [COUNT...]\n");
        return 2;
    }
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i) counts.push_back(_wtoi(argv[i]));
    if (counts.empty()) counts = {100, 1000, 5000};
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // figures show as they come
    if (FAILED(OleInitialize(nullptr))) return 1;
    InitCommonControls();
    pagehost::UniqueWindow frame = pagehost::createFrameWindow(L"file list bench", kWidth, kHeight);

    int status = 0;
    for (int iconSet : {0, 1}) {
        std::printf("icon set %d (%s)\n", iconSet, iconSet ? "size categories" : "shell icons");
        double firstControl = 0, firstBare = 0;
        int firstCount = 0;
        for (int count : counts) {
            const std::wstring folder = MakeFolder(argv[1], count);
            int controlRows = 0, bareRows = 0;
            const double control = TimeControl(frame.get(), folder, iconSet, &controlRows);
            const double bare = TimeBareLoop(frame.get(), folder, iconSet, false, &bareRows);
            int scanRows = 0;
            const double scanned = TimeBareLoop(frame.get(), folder, iconSet, true, &scanRows);
            if (control < 0 || controlRows != count || bareRows != count || scanRows != count) {
                std::printf("  %5d files: the control loaded %d rows, the bare loop %d: not comparable\n", count,
                            controlRows, bareRows);
                status = 1;
                continue;
            }
            if (!firstCount) {
                firstControl = control;
                firstBare = bare;
                firstCount = count;
            }
            const double scale = static_cast<double>(count) / firstCount;
            std::printf(
                "  %5d files: LoadDirFiles %9.1f ms (%7.1f us/file), bare loop %8.1f ms (%6.1f us/file): "
                "%.2fx; bare loop with the scan %8.1f ms: %.2fx; growth since %d files: control %.1fx, "
                "bare %.1fx for %.0fx the files\n",
                count, control, control * 1000 / count, bare, bare * 1000 / count, control / bare, scanned,
                scanned / bare, firstCount, control / firstControl, bare / firstBare, scale);
        }
    }
    frame.reset();
    OleUninitialize();
    return status;
}
