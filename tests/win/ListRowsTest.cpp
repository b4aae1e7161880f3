// The file list's rows and the owner-data list view that shows them agree after every operation:
// the count, each row's five texts and image as the list view reads them, and the selection, which
// stays on its rows as rows come in above and go around it; a batch shows its rows when it ends.
#include "tests/win/TestSupport.h"

#include "control/ListRows.h"

#include <commctrl.h>

#include <functional>

namespace tovalo_test {
namespace {

using tovalo::Column;
using tovalo::FileListRows;
using tovalo::FileRow;

// A top-level window holding an owner-data list view in report view, whose questions go to rows.
class ListWindow {
public:
    explicit ListWindow(FileListRows& rows) {
        ::InitCommonControls();
        WNDCLASSW cls{};
        cls.lpfnWndProc = Proc;
        cls.hInstance = ::GetModuleHandleW(nullptr);
        cls.lpszClassName = L"TovaloListRowsTest";
        ::RegisterClassW(&cls);
        frame_.Reset(::CreateWindowExW(0, cls.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                       cls.hInstance, nullptr));
        ::SetWindowLongPtrW(frame_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&rows));
        list_ = ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA, 0, 0, 400,
                                  300, frame_.Get(), nullptr, cls.hInstance, nullptr);
        for (int column = 0; column < tovalo::kColumnCount; ++column) {
            LVCOLUMNW header{};
            header.mask = LVCF_WIDTH;
            header.cx = 60;
            ::SendMessageW(list_, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&header));
        }
    }
    HWND List() const { return list_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* rows = reinterpret_cast<FileListRows*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_NOTIFY && rows) return rows->Answer(reinterpret_cast<NMHDR*>(lp));
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }

    fw::UniqueHwnd frame_;
    HWND list_ = nullptr;
};

FileRow Row(const wchar_t* name, std::uint32_t size = 1) {
    return {std::wstring(L"C:\\files\\") + name, name, L"type", size, static_cast<int>(size % 4)};
}

int CountOf(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring Cell(HWND list, int row, int column) {
    wchar_t text[300] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(std::size(text));
    ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

int ImageOf(HWND list, int row) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

void Select(HWND list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

// The names the list view shows, top down.
std::wstring Shown(HWND list) {
    std::wstring names;
    for (int row = 0; row < CountOf(list); ++row) names += (row ? L" " : L"") + Cell(list, row, 0);
    return names;
}

std::wstring SelectedNames(FileListRows& rows) {
    std::wstring names;
    for (std::size_t row : rows.Selected()) names += (names.empty() ? L"" : L" ") + rows.Rows().At(row).name;
    return names;
}

// Every row of the model as the list view reads it back.
void ExpectAgreement(const FileListRows& rows, HWND list) {
    ASSERT_EQ(static_cast<std::size_t>(CountOf(list)), rows.Rows().Count());
    for (int row = 0; row < CountOf(list); ++row) {
        const FileRow& kept = rows.Rows().At(static_cast<std::size_t>(row));
        for (int column = 0; column < tovalo::kColumnCount; ++column) {
            EXPECT_EQ(Cell(list, row, column), kept.Text(static_cast<Column>(column))) << row << " " << column;
        }
        EXPECT_EQ(ImageOf(list, row), kept.image) << row;
    }
}

TEST(ListRows, TheListViewShowsTheRowsAfterEveryOperation) {
    FileListRows rows;
    ListWindow window(rows);
    HWND list = window.List();
    rows.Attach(list);
    struct Operation {
        const char* label;
        std::function<void()> act;
        const wchar_t* shown;     // names top down
        const wchar_t* selected;  // names of the selected rows, top down
    };
    const Operation steps[] = {
        {"added one by one",
         [&] {
             for (const wchar_t* name : {L"a", L"b", L"c"}) rows.Add(Row(name, 3));
         },
         L"c b a", L""},
        {"a row selected", [&] { Select(list, 1); }, L"c b a", L"b"},
        {"a row added above it", [&] { rows.Add(Row(L"d", 2000000)); }, L"d c b a", L"b"},
        {"rows removed around it",
         [&] {
             rows.Remove({0, 3});
         },
         L"c b", L"b"},
        {"new looks", [&] { rows.Restyle([](const FileRow& row) {
                                return FileRow::Look{row.name + L"!", 2};
                            }); },
         L"c b", L"b"},
        {"a batch",
         [&] {
             const FileListRows::Batch batch(rows);
             rows.Add(Row(L"e"));
             rows.Add(Row(L"f"));
             // Until the batch ends the list view shows the rows it knew, where they were.
             EXPECT_EQ(Shown(list), L"c b");
         },
         L"f e c b", L"b"},
        {"every row removed",
         [&] {
             rows.Remove({0, 1, 2, 3});
         },
         L"", L""},
        {"cleared",
         [&] {
             rows.Add(Row(L"g"));
             rows.Add(Row(L"h"));
             rows.Clear();
         },
         L"", L""},
    };
    for (const Operation& step : steps) {
        SCOPED_TRACE(step.label);
        step.act();
        EXPECT_EQ(Shown(list), step.shown);
        EXPECT_EQ(SelectedNames(rows), step.selected);
        ExpectAgreement(rows, list);
    }
}

TEST(ListRows, ATypedNameFindsItsRow) {
    FileListRows rows;
    ListWindow window(rows);
    rows.Attach(window.List());
    for (const wchar_t* name : {L"alpha.txt", L"Beta.doc", L"beta.txt"}) rows.Add(Row(name));
    const struct {
        const wchar_t* text;
        UINT flags;
        int row;
    } finds[] = {
        {L"beta", LVFI_PARTIAL | LVFI_STRING, 0},  // case does not count
        {L"Beta.doc", LVFI_STRING, 1},
        {L"ALPHA.TXT", LVFI_STRING, 2},
        {L"alpha", LVFI_STRING, -1},  // a whole name, not its start
        {L"gamma", LVFI_PARTIAL | LVFI_STRING, -1},
    };
    for (const auto& find : finds) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(find.text)));
        LVFINDINFOW info{};
        info.flags = find.flags;
        info.psz = find.text;
        EXPECT_EQ(
            ::SendMessageW(window.List(), LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&info)),
            find.row);
    }
}

}  // namespace
}  // namespace tovalo_test
