// Folder loads into the control's list: LoadDirFiles on folders of 1,000, 10,000 and 50,000 files of
// twenty extensions under both icon sets, against a bare loop in the same process that makes the
// same file, shell and list-view calls with redraw held and one shell look-up per extension; then
// what the listed rows cost in memory and how long deleting them takes. Prints figures; judges
// nothing.
//   tovalo_filelist_bench.exe FOLDER [COUNTS...]   (run.sh fills FOLDER)
#include "tools/pagehost/EmbeddedControl.h"
#include "tools/pagehost/FrameWindow.h"

#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kClassId[] = L"{3B0B4102-58CA-4165-B0CD-0970FEC6FF13}";
constexpr int kWidth = 520;
constexpr int kHeight = 300;
// The extensions of run.sh's files, which the shell is asked about before any timing.
constexpr const wchar_t* kExtensions[] = {L"txt", L"doc", L"docx", L"xls",  L"xlsx", L"ppt", L"pdf",
                                          L"hwp", L"jpg", L"png",  L"gif",  L"bmp",  L"zip", L"7z",
                                          L"mp3", L"mp4", L"avi",  L"html", L"csv",  L"log"};

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

// The memory the process has committed now (what Wine reports of it).
double CommittedBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PagefileUsage);
}

// The shell's first answers cost it loading its registry and icons: paid here, before any timing.
void WarmShell() {
    for (const wchar_t* extension : kExtensions) {
        SHFILEINFOW info{};
        SHGetFileInfoW((std::wstring(L"x.") + extension).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                       SHGFI_ICON | SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON);
        if (info.hIcon) DestroyIcon(info.hIcon);
    }
}

// The folder of count one-byte files file00000.EXT on, the extensions in turn, that run.sh makes
// (a load of another count of rows is reported as not comparable).
std::wstring FolderOf(const std::wstring& root, int count) { return root + L"\\mixed" + std::to_wstring(count); }

HRESULT Invoke(IDispatch* control, const wchar_t* name, WORD flags, VARIANT* argument) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(control->GetIDsOfNames(IID_NULL, names, 1, 0, &id))) return DISP_E_MEMBERNOTFOUND;
    DISPID named = DISPID_PROPERTYPUT;
    const bool put = flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS params{argument, put ? &named : nullptr, argument ? 1u : 0u, put ? 1u : 0u};
    return control->Invoke(id, IID_NULL, 0, flags, &params, nullptr, nullptr, nullptr);
}

bool Call(IDispatch* control, const wchar_t* name, VARIANT* argument = nullptr) {
    return SUCCEEDED(Invoke(control, name, DISPATCH_METHOD, argument));
}

bool PutText(IDispatch* control, const wchar_t* name, const wchar_t* value) {
    VARIANT text{};
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(value);
    const HRESULT hr = Invoke(control, name, DISPATCH_PROPERTYPUT, &text);
    SysFreeString(text.bstrVal);
    return SUCCEEDED(hr);
}

void SelectAll(HWND list) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

struct ControlRun {
    double load = -1;           // LoadDirFiles and the repaint after it, ms
    double bytes = 0;           // committed bytes grown while loading, per file
    double deleteSelected = 0;  // every row selected, DeleteSelectedItem, ms
    double deleteAll = 0;       // DeleteAllItemInList of a reloaded list, ms
    int rows = 0;
};

// One LoadDirFiles of a fresh control under the given icon set, then its deletes.
ControlRun TimeControl(HWND frame, const std::wstring& folder, int iconSet) {
    ControlRun run;
    pagehost::PageObject object;
    object.classId = kClassId;
    object.width = kWidth;
    object.height = kHeight;
    pagehost::EmbeddedControl control;
    // As a local page: a build given no sites admits only those.
    if (!control.embed(object, frame, pagehost::PageZone{L"file:///C:/bench/page.html", false}).empty()) return run;
    IDispatch* dispatch = control.dispatch();
    // A limit far above the folders (only the property sets the 64-bit limit; a param does not).
    if (!PutText(dispatch, L"totalSizeStr", L"100000000000")) return run;
    VARIANT set{};
    set.vt = VT_I4;
    set.lVal = iconSet;
    Call(dispatch, L"ChangeIconSet", &set);
    VARIANT path{};
    path.vt = VT_BSTR;
    path.bstrVal = SysAllocString(folder.c_str());
    const HWND list = control.window();
    const double before = CommittedBytes();
    double start = NowMs();
    const bool called = Call(dispatch, L"LoadDirFiles", &path);
    UpdateWindow(list);
    run.load = called ? NowMs() - start : -1;
    run.rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    run.bytes = run.rows ? (CommittedBytes() - before) / run.rows : 0;

    SelectAll(list);
    start = NowMs();
    Call(dispatch, L"DeleteSelectedItem");
    UpdateWindow(list);
    run.deleteSelected = NowMs() - start;
    Call(dispatch, L"LoadDirFiles", &path);
    start = NowMs();
    Call(dispatch, L"DeleteAllItemInList");
    UpdateWindow(list);
    run.deleteAll = NowMs() - start;
    SysFreeString(path.bstrVal);
    return run;
}

// The same per-file work as the control's folder load, done plainly: enumerate, ask the file's
// status, (shell icons) ask the shell once per extension and add its two icons to the two lists,
// insert the row at the top and set its four other columns, all with redraw held; then arrange
// and paint once.
double TimeBareLoop(HWND frame, const std::wstring& folder, int iconSet, int* rows, double* bytes) {
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_ICON, 0, 0, kWidth,
                                kHeight, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    SHFILEINFOW info{};
    auto copyOf = [&](UINT size) {
        const auto shell =
            reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(L"", 0, &info, sizeof info, SHGFI_SYSICONINDEX | size));
        return shell ? ImageList_Duplicate(shell) : nullptr;
    };
    HIMAGELIST large = copyOf(0);
    HIMAGELIST small = copyOf(SHGFI_SMALLICON);
    ListView_SetImageList(list, large, LVSIL_NORMAL);
    ListView_SetImageList(list, small, LVSIL_SMALL);
    std::map<std::wstring, std::pair<int, std::wstring>> icons;

    const double before = CommittedBytes();
    const double start = NowMs();
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folder + L"\\*.*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            std::wstring name(found.cFileName);
            std::wstring path = folder + L"\\" + name;
            WIN32_FILE_ATTRIBUTE_DATA data{};
            GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
            std::wstring type = L"txt";
            int icon = 0;
            if (iconSet == 0) {
                const std::wstring extension = name.substr(name.rfind(L'.'));
                auto known = icons.find(extension);
                if (known == icons.end()) {
                    SHFILEINFOW largeInfo{};
                    SHGetFileInfoW(path.c_str(), FILE_ATTRIBUTE_NORMAL, &largeInfo, sizeof largeInfo,
                                   SHGFI_ICON | SHGFI_USEFILEATTRIBUTES);
                    ImageList_AddIcon(large, largeInfo.hIcon);
                    DestroyIcon(largeInfo.hIcon);
                    SHFILEINFOW smallInfo{};
                    SHGetFileInfoW(path.c_str(), FILE_ATTRIBUTE_NORMAL, &smallInfo, sizeof smallInfo,
                                   SHGFI_ICON | SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON);
                    ImageList_AddIcon(small, smallInfo.hIcon);
                    DestroyIcon(smallInfo.hIcon);
                    known = icons
                                .emplace(extension, std::make_pair(ImageList_GetImageCount(large) - 1,
                                                                   std::wstring(smallInfo.szTypeName)))
                                .first;
                }
                icon = known->second.first;
                type = known->second.second;
            }
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.pszText = name.data();
            item.iImage = icon;
            const auto row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            std::wstring sizeDigits = std::to_wstring(data.nFileSizeLow);
            std::wstring sizeText = sizeDigits + L" Bytes";
            std::wstring* texts[] = {&type, &sizeText, &path, &sizeDigits};
            for (int column = 1; column <= 4; ++column) {
                LVITEMW sub{};
                sub.mask = LVIF_TEXT;
                sub.iItem = row;
                sub.iSubItem = column;
                sub.pszText = texts[column - 1]->data();
                SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&sub));
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SendMessageW(list, LVM_ARRANGE, LVA_DEFAULT, 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);
    const double elapsed = NowMs() - start;
    *rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    *bytes = *rows ? (CommittedBytes() - before) / *rows : 0;
    DestroyWindow(list);
    ImageList_Destroy(large);
    ImageList_Destroy(small);
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
    if (counts.empty()) counts = {1000, 10000, 50000};
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // figures show as they come
    if (FAILED(OleInitialize(nullptr))) return 1;
    InitCommonControls();
    pagehost::UniqueWindow frame = pagehost::createFrameWindow(L"file list bench", kWidth, kHeight);
    WarmShell();

    int status = 0;
    for (int iconSet : {0, 1}) {
        std::printf("icon set %d (%s)\n", iconSet, iconSet ? "size categories" : "shell icons");
        std::map<int, double> loads;
        for (int count : counts) {
            const std::wstring folder = FolderOf(argv[1], count);
            const ControlRun control = TimeControl(frame.get(), folder, iconSet);
            int bareRows = 0;
            double bareBytes = 0;
            const double bare = TimeBareLoop(frame.get(), folder, iconSet, &bareRows, &bareBytes);
            if (control.load < 0 || control.rows != count || bareRows != count) {
                std::printf("  %5d files: the control loaded %d rows, the bare loop %d: not comparable\n", count,
                            control.rows, bareRows);
                status = 1;
                continue;
            }
            loads[count] = control.load;
            std::printf(
                "  %5d files: LoadDirFiles %8.1f ms (%5.1f us/file), bare loop %8.1f ms: %.2fx the bare loop; "
                "memory grown by %.0f bytes per listed file (bare loop %.0f); deleting every row selected "
                "%.1f ms, DeleteAllItemInList %.1f ms\n",
                count, control.load, control.load * 1000 / count, bare, control.load / bare, control.bytes, bareBytes,
                control.deleteSelected, control.deleteAll);
        }
        if (loads.count(10000) && loads.count(50000)) {
            std::printf("  50,000 files took %.1fx the time of 10,000\n", loads[50000] / loads[10000]);
        }
    }
    frame.reset();
    OleUninitialize();
    return status;
}
