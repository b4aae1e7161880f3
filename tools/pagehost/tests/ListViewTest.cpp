// List view access against a real list view: rows, Korean cells, images, columns, selection and
// the double-click as the control's handler sees it; finding the list inside a control window.
#include "tools/pagehost/HostError.h"
#include "tools/pagehost/ListView.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

namespace pagehost {
namespace {

struct WindowDestroy {
    void operator()(HWND window) const { DestroyWindow(window); }
};
using Window = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroy>;

// What the window saw of the last double-click: the selection mark at that moment.
int g_markAtDoubleClick = -2;
WNDPROC g_listProc = nullptr;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDBLCLK) {
        g_markAtDoubleClick = static_cast<int>(SendMessageW(window, LVM_GETSELECTIONMARK, 0, 0));
    }
    return CallWindowProcW(g_listProc, window, message, wParam, lParam);
}

class ListViewTest : public testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        m_list.reset(CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | WS_VISIBLE | LVS_REPORT, 0, 0, 400, 200, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(m_list);
        const wchar_t* headers[] = {L"이름", L"형식", L"크기"};
        const int widths[] = {220, 150, 100};
        for (int c = 0; c < 3; ++c) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.pszText = const_cast<wchar_t*>(headers[c]);
            column.cx = widths[c];
            SendMessageW(m_list.get(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
        }
        const wchar_t* rows[][2] = {{L"보고서.txt", L"텍스트 문서"}, {L"b.doc", L"문서"}, {L"c.bin", L""}};
        for (int r = 0; r < 3; ++r) {
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.iItem = r;
            item.iImage = r + 7;
            item.pszText = const_cast<wchar_t*>(rows[r][0]);
            SendMessageW(m_list.get(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            item.mask = LVIF_TEXT;
            item.iSubItem = 1;
            item.pszText = const_cast<wchar_t*>(rows[r][1]);
            SendMessageW(m_list.get(), LVM_SETITEMTEXTW, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&item));
        }
    }

    Window m_list;
};

TEST_F(ListViewTest, RowsCellsImagesAndColumns) {
    const ListView list(m_list.get());
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_EQ(list.cell(0, 0), L"보고서.txt");
    EXPECT_EQ(list.cell(0, 1), L"텍스트 문서");
    EXPECT_EQ(list.cell(2, 1), L"");
    EXPECT_EQ(list.image(1), 8);
    EXPECT_EQ(list.view(), L"report");
    ASSERT_EQ(list.columnCount(), 3);
    EXPECT_EQ(list.columnText(0), L"이름");
    EXPECT_EQ(list.columnWidth(1), 150);
    SetWindowLongW(m_list.get(), GWL_STYLE, (GetWindowLongW(m_list.get(), GWL_STYLE) & ~LVS_TYPEMASK) | LVS_ICON);
    EXPECT_EQ(list.view(), L"icon");
    EXPECT_EQ(list.columnWidth(0), 220);  // from the header, whatever the view
}

TEST_F(ListViewTest, LongCellTextIsReadWhole) {
    const std::wstring longName(1000, L'가');
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = const_cast<wchar_t*>(longName.c_str());
    SendMessageW(m_list.get(), LVM_SETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(ListView(m_list.get()).cell(1, 0), longName);
}

TEST_F(ListViewTest, SelectionAddsRowsAndDeselectClearsTheMark) {
    const ListView list(m_list.get());
    EXPECT_EQ(list.selectedRows(), L"");
    list.select(2);
    list.select(0);
    EXPECT_EQ(list.selectedRows(), L"0,2");
    EXPECT_EQ(SendMessageW(m_list.get(), LVM_GETSELECTIONMARK, 0, 0), 0);
    list.deselect();
    EXPECT_EQ(list.selectedRows(), L"");
    EXPECT_EQ(SendMessageW(m_list.get(), LVM_GETSELECTIONMARK, 0, 0), -1);
}

TEST_F(ListViewTest, DoubleClickSelectsOnlyThatRowFirst) {
    g_listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(m_list.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordingProc)));
    const ListView list(m_list.get());
    list.select(0);
    list.doubleClick(1);
    EXPECT_EQ(g_markAtDoubleClick, 1);
    EXPECT_EQ(list.selectedRows(), L"1");
}

TEST_F(ListViewTest, MissingRowsAndColumnsAreErrors) {
    const ListView list(m_list.get());
    const struct {
        int row;
        int column;
    } cases[] = {{-1, 0}, {3, 0}, {0, -1}, {0, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.row << "," << c.column);
        EXPECT_THROW(list.cell(c.row, c.column), HostError);
    }
    EXPECT_THROW(list.select(3), HostError);
    EXPECT_THROW(list.doubleClick(-1), HostError);
    EXPECT_THROW(list.image(99), HostError);
    EXPECT_THROW(ListView(nullptr).rowCount(), HostError);
}

TEST_F(ListViewTest, FindsTheListInsideAControlWindow) {
    EXPECT_EQ(findListWindow(m_list.get()), m_list.get());
    EXPECT_EQ(findListWindow(nullptr), nullptr);

    // A control whose window is a plain child window that holds the list.
    Window outer(CreateWindowExW(0, WC_STATICW, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    SetParent(m_list.get(), outer.get());
    SetWindowLongW(m_list.get(), GWL_STYLE, (GetWindowLongW(m_list.get(), GWL_STYLE) & ~WS_POPUP) | WS_CHILD);
    EXPECT_EQ(findListWindow(outer.get()), m_list.get());
    SetParent(m_list.get(), nullptr);

    // A class built on the list view under another name is found by its header.
    WNDCLASSEXW base{};
    base.cbSize = sizeof(base);
    ASSERT_TRUE(GetClassInfoExW(nullptr, WC_LISTVIEWW, &base));
    base.lpszClassName = L"PageHostTestSuperList";
    base.hInstance = GetModuleHandleW(nullptr);
    RegisterClassExW(&base);
    Window super(CreateWindowExW(0, L"PageHostTestSuperList", L"", WS_POPUP | LVS_REPORT, 0, 0, 100, 100, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(super);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 50;
    SendMessageW(super.get(), LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    EXPECT_EQ(findListWindow(super.get()), super.get());
}

}  // namespace
}  // namespace pagehost
