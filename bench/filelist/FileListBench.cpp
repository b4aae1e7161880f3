// Folder loads into the control's list: LoadDirFiles on folders of 1,000, 10,000 and 50,000 files of
// twenty extensions in icon and report view under both icon sets, each against two bare fills of a
// plain list view in the same view, in the same process, with the same file and shell calls and
// redraw held: an owner-data fill (rows kept by the program, the list view told their count and
// asked for what it shows) and a classic fill (every row inserted at the top with its five texts).
// The control is compared with the fill that makes the calls it makes itself. Then what the listed
// rows cost in memory and how long deleting them takes. Each time is the best of a few runs
// (FILELIST_BENCH_ROUNDS, 3). Prints figures; judges nothing.
//   tovalo_filelist_bench.exe FOLDER [COUNTS...]   (run.sh fills FOLDER)
#include "tools/pagehost/EmbeddedControl.h"
#include "tools/pagehost/FrameWindow.h"

#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <algorithm>
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
// The control's columns (name, type, size text, path, size in bytes), for the bare fills.
constexpr int kColumnWidths[] = {220, 150, 100, 0, 0};

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

bool CallWith(IDispatch* control, const wchar_t* name, LONG value) {
    VARIANT number{};
    number.vt = VT_I4;
    number.lVal = value;
    return Call(control, name, &number);
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

// What one load took and left behind.
struct Load {
    double ms = -1;    // the load and the repaint after it
    double bytes = 0;  // committed bytes grown while loading, per listed file
    int rows = 0;
};

struct ControlRun {
    Load load;
    bool ownerData = false;     // the control's list view asks for what it shows
    double deleteSelected = 0;  // every row selected, DeleteSelectedItem, ms
    double deleteAll = 0;       // DeleteAllItemInList of a reloaded list, ms
};

// One LoadDirFiles of a fresh control in the given view and icon set, then its deletes.
ControlRun TimeControl(HWND frame, const std::wstring& folder, int view, int iconSet) {
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
    CallWith(dispatch, L"ChangeIconSet", iconSet);
    CallWith(dispatch, L"ChangeListView", view);
    VARIANT path{};
    path.vt = VT_BSTR;
    path.bstrVal = SysAllocString(folder.c_str());
    const HWND list = control.window();
    run.ownerData = (GetWindowLongW(list, GWL_STYLE) & LVS_OWNERDATA) != 0;
    UpdateWindow(list);
    const double before = CommittedBytes();
    double start = NowMs();
    const bool called = Call(dispatch, L"LoadDirFiles", &path);
    UpdateWindow(list);
    run.load.ms = called ? NowMs() - start : -1;
    run.load.rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    run.load.bytes = run.load.rows ? (CommittedBytes() - before) / run.load.rows : 0;

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

// A row as the owner-data fill keeps it; the view shows the newest first, as the control does.
struct BareRow {
    std::wstring name;
    std::wstring path;
    const std::wstring* type;
    DWORD size;
    int image;
};

// The parent of the bare fills' list view: answers an owner-data list view's questions from rows.
class BareParent {
public:
    explicit BareParent(HWND frame) {
        static const ATOM kClass = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"TovaloBenchParent";
            return RegisterClassW(&wc);
        }();
        window_ = CreateWindowExW(0, MAKEINTATOM(kClass), L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, kWidth,
                                  kHeight, frame, nullptr, GetModuleHandleW(nullptr), this);
    }
    ~BareParent() { DestroyWindow(window_); }
    BareParent(const BareParent&) = delete;
    BareParent& operator=(const BareParent&) = delete;

    HWND window() const { return window_; }
    std::vector<BareRow> rows;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
        }
        auto* self = reinterpret_cast<BareParent*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NOTIFY && self && reinterpret_cast<NMHDR*>(lp)->code == LVN_GETDISPINFOW) {
            self->Answer(reinterpret_cast<NMLVDISPINFOW*>(lp)->item);
            return 0;
        }
        return DefWindowProcW(window, message, wp, lp);
    }

    void Answer(LVITEMW& item) const {
        if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= rows.size()) return;
        const BareRow& row = rows[rows.size() - 1 - static_cast<size_t>(item.iItem)];
        if (item.mask & LVIF_IMAGE) item.iImage = row.image;
        if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
        std::wstring text;
        switch (item.iSubItem) {
        case 0:
            text = row.name;
            break;
        case 1:
            text = *row.type;
            break;
        case 2:
            text = std::to_wstring(row.size) + L" Bytes";
            break;
        case 3:
            text = row.path;
            break;
        default:
            text = std::to_wstring(row.size);
            break;
        }
        lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
    }

    HWND window_ = nullptr;
};

enum class Fill { kOwnerData, kClassic };

// The same per-file work as the control's folder load, done plainly in a list view of the same view,
// columns and extended styles: enumerate, ask the file's status, (shell icons) ask the shell once per
// extension and add its two icons to the two lists; then either keep the row and tell the list view
// the count once (owner-data), or insert the row at the top and set its four other columns
// (classic); all with redraw held; then arrange and paint once.
Load TimeBareFill(HWND frame, const std::wstring& folder, int view, int iconSet, Fill fill) {
    BareParent parent(frame);
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | (view ? LVS_REPORT : LVS_ICON) |
                        (fill == Fill::kOwnerData ? LVS_OWNERDATA : 0);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", style, 0, 0, kWidth, kHeight, parent.window(), nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ListView_SetExtendedListViewStyleEx(list, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    for (int column = 0; column < static_cast<int>(std::size(kColumnWidths)); ++column) {
        LVCOLUMNW info{};
        info.mask = LVCF_WIDTH | LVCF_TEXT;
        info.cx = kColumnWidths[column];
        info.pszText = const_cast<wchar_t*>(L"");
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
    }
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
    const std::wstring extensionType = L"txt";
    UpdateWindow(list);

    Load load;
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
            const std::wstring* type = &extensionType;
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
                type = &known->second.second;
            }
            if (fill == Fill::kOwnerData) {
                parent.rows.push_back({std::move(name), std::move(path), type, data.nFileSizeLow, icon});
                continue;
            }
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.pszText = name.data();
            item.iImage = icon;
            const auto row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            std::wstring typeText = *type;
            std::wstring sizeDigits = std::to_wstring(data.nFileSizeLow);
            std::wstring sizeText = sizeDigits + L" Bytes";
            std::wstring* texts[] = {&typeText, &sizeText, &path, &sizeDigits};
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
    if (fill == Fill::kOwnerData) SendMessageW(list, LVM_SETITEMCOUNT, parent.rows.size(), 0);
    SendMessageW(list, LVM_ARRANGE, LVA_DEFAULT, 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);
    load.ms = NowMs() - start;
    load.rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    load.bytes = load.rows ? (CommittedBytes() - before) / load.rows : 0;
    DestroyWindow(list);
    ImageList_Destroy(large);
    ImageList_Destroy(small);
    return load;
}

// The better of two measures of one load: the shorter time, the memory as the first one grew it
// (a later load reuses what the earlier one freed).
Load Best(const Load& first, const Load& next) {
    Load best = first;
    if (next.ms >= 0 && (first.ms < 0 || next.ms < first.ms)) best.ms = next.ms;
    return best;
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
    // Every figure is the best of this many runs, taken in turn with its peers, so that a moment in
    // which the shared machine is busy elsewhere does not stand for the code.
    const wchar_t* roundsText = _wgetenv(L"FILELIST_BENCH_ROUNDS");
    const int rounds = roundsText && _wtoi(roundsText) > 0 ? _wtoi(roundsText) : 3;
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // figures show as they come
    if (FAILED(OleInitialize(nullptr))) return 1;
    InitCommonControls();
    pagehost::UniqueWindow frame = pagehost::createFrameWindow(L"file list bench", kWidth, kHeight);
    WarmShell();

    int status = 0;
    std::printf("each figure the best of %d runs\n", rounds);
    for (int view : {0, 1}) {
        for (int iconSet : {0, 1}) {
            std::printf("%s view, %s\n", view ? "report" : "icon", iconSet ? "size categories" : "shell icons");
            std::map<int, double> loads;
            for (int count : counts) {
                const std::wstring folder = FolderOf(argv[1], count);
                ControlRun control;
                Load ownerData, classic;
                for (int round = 0; round < rounds; ++round) {
                    const ControlRun next = TimeControl(frame.get(), folder, view, iconSet);
                    control.load = round ? Best(control.load, next.load) : next.load;
                    control.ownerData = next.ownerData;
                    control.deleteSelected =
                        round ? std::min(control.deleteSelected, next.deleteSelected) : next.deleteSelected;
                    control.deleteAll = round ? std::min(control.deleteAll, next.deleteAll) : next.deleteAll;
                    const Load nextOwnerData = TimeBareFill(frame.get(), folder, view, iconSet, Fill::kOwnerData);
                    ownerData = round ? Best(ownerData, nextOwnerData) : nextOwnerData;
                    const Load nextClassic = TimeBareFill(frame.get(), folder, view, iconSet, Fill::kClassic);
                    classic = round ? Best(classic, nextClassic) : nextClassic;
                }
                if (control.load.ms < 0 || control.load.rows != count || ownerData.rows != count ||
                    classic.rows != count) {
                    std::printf("  %5d files: the control listed %d rows, the bare fills %d and %d: not comparable\n",
                                count, control.load.rows, ownerData.rows, classic.rows);
                    status = 1;
                    continue;
                }
                loads[count] = control.load.ms;
                const Load& peer = control.ownerData ? ownerData : classic;
                std::printf(
                    "  %5d files: LoadDirFiles %7.1f ms (%5.1f us/file) = %.2fx the %s fill that makes its calls; "
                    "bare owner-data fill %7.1f ms, classic fill %7.1f ms; bytes per file %.0f (owner-data %.0f, "
                    "classic %.0f); deleting every row selected %.1f ms, DeleteAllItemInList %.1f ms\n",
                    count, control.load.ms, control.load.ms * 1000 / count, control.load.ms / peer.ms,
                    control.ownerData ? "owner-data" : "classic", ownerData.ms, classic.ms, control.load.bytes,
                    ownerData.bytes, classic.bytes, control.deleteSelected, control.deleteAll);
            }
            if (loads.count(10000) && loads.count(50000)) {
                std::printf("  50,000 files took %.1fx the time of 10,000\n", loads[50000] / loads[10000]);
            }
        }
    }
    frame.reset();
    OleUninitialize();
    return status;
}
