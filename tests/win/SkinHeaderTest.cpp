// The skinned header's painting, on a real header window drawn into a bitmap: the white band, the
// separators left of every column but the first in display order, titles kept inside their
// column, an ampersand drawn as it stands; and the skin bitmaps of the OCX.
#include "tests/win/TestSupport.h"

#include "control/SkinHeaderCtrl.h"

#include <commctrl.h>

#include <vector>

namespace tovalo_test {
namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 20;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kSeparator = RGB(160, 160, 160);

class SkinHeader : public testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&icc);
        parent_.Reset(
            ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, nullptr, nullptr, nullptr));
        header_ = ::CreateWindowExW(0, WC_HEADERW, L"", WS_CHILD | HDS_HORZ, 0, 0, kWidth, kHeight, parent_.Get(),
                                    nullptr, nullptr, nullptr);
        ASSERT_NE(header_, nullptr);
        screen_ = ::GetDC(nullptr);
        dc_.Reset(::CreateCompatibleDC(screen_));
        bitmap_.Reset(::CreateCompatibleBitmap(screen_, kWidth, kHeight));
        old_ = ::SelectObject(dc_.Get(), bitmap_.Get());
    }
    void TearDown() override {
        ::SelectObject(dc_.Get(), old_);
        ::ReleaseDC(nullptr, screen_);
    }

    void AddColumn(const wchar_t* title, int width) {
        HDITEMW item{};
        item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
        item.pszText = const_cast<wchar_t*>(title);
        item.cxy = width;
        item.fmt = HDF_LEFT | HDF_STRING;
        const auto count = static_cast<int>(::SendMessageW(header_, HDM_GETITEMCOUNT, 0, 0));
        ::SendMessageW(header_, HDM_INSERTITEMW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&item));
    }

    // Paints over a black canvas, so that anything the paint leaves out shows.
    void Paint() {
        RECT all{0, 0, kWidth, kHeight};
        ::FillRect(dc_.Get(), &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        tovalo::PaintSkinnedHeader(header_, dc_.Get(), all);
    }
    COLORREF Pixel(int x, int y) const { return ::GetPixel(dc_.Get(), x, y) & 0xFFFFFF; }

    // Columns x0..x1-1 of the band that hold anything but white or the separator: the title's ink.
    int InkColumns(int x0, int x1) const {
        int ink = 0;
        for (int x = x0; x < x1; ++x) {
            for (int y = 0; y < kHeight; ++y) {
                const COLORREF c = Pixel(x, y);
                if (c != kWhite && c != kSeparator) {
                    ++ink;
                    break;
                }
            }
        }
        return ink;
    }

    fw::UniqueHwnd parent_;
    HWND header_ = nullptr;  // a child of parent_, destroyed with it
    HDC screen_ = nullptr;
    fw::UniqueDc dc_;
    fw::UniqueBitmap bitmap_;
    HGDIOBJ old_ = nullptr;
};

TEST_F(SkinHeader, WithoutColumnsEveryPixelIsWhite) {
    Paint();
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) ASSERT_EQ(Pixel(x, y), kWhite) << x << "," << y;
    }
}

TEST_F(SkinHeader, SeparatorsLeftOfEveryColumnButTheFirstInDisplayOrder) {
    AddColumn(L"", 100);
    AddColumn(L"", 80);
    AddColumn(L"", 60);
    const struct {
        std::vector<int> order;
        std::vector<int> separatorsAt;  // left edges that get the separator
        std::vector<int> plainAt;       // left edges that stay white
    } rows[] = {
        {{0, 1, 2}, {100, 180}, {0}},
        // The last column dragged to the front: it gets the first column's edge.
        {{2, 0, 1}, {60, 160}, {0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.order));
        ::SendMessageW(header_, HDM_SETORDERARRAY, row.order.size(), reinterpret_cast<LPARAM>(row.order.data()));
        Paint();
        for (int left : row.separatorsAt) {
            for (int y = 0; y < 12; ++y) {
                EXPECT_EQ(Pixel(left - 1, y), kSeparator) << left << "," << y;
                EXPECT_EQ(Pixel(left, y), kSeparator) << left << "," << y;
            }
            // The band is 12 pixels high; below it the header stays white.
            EXPECT_EQ(Pixel(left, 12), kWhite) << left;
            EXPECT_EQ(Pixel(left, kHeight - 1), kWhite) << left;
        }
        for (int left : row.plainAt) EXPECT_EQ(Pixel(left, 5), kWhite) << left;
        EXPECT_EQ(InkColumns(0, kWidth), 0);
    }
}

TEST_F(SkinHeader, TitlesStayInTheirColumnAndShowTheirAmpersand) {
    AddColumn(L"AB", 100);
    AddColumn(L"A&B", 100);
    AddColumn(L"a title far longer than its narrow column", 60);
    Paint();
    const int plain = InkColumns(0, 100);
    const int ampersand = InkColumns(100, 200);
    EXPECT_GT(plain, 0);
    // "&" is drawn, not taken as a mnemonic marker (which would leave "AB" with an underline).
    EXPECT_GT(ampersand, plain);
    // The long title is cut (with an ellipsis) inside the column's text area.
    EXPECT_GT(InkColumns(200, 260), 0);
    EXPECT_EQ(InkColumns(258, kWidth), 0);
}

TEST(SkinBitmaps, AreWhiteAndTwelvePixelsHigh) {
    const HMODULE ocx = ::LoadLibraryExW(OcxPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(ocx, nullptr);
    const struct {
        UINT id;
        int width;
    } rows[] = {{206, 2}, {207, 1}, {208, 2}};
    HDC screen = ::GetDC(nullptr);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        fw::UniqueBitmap bitmap(::LoadBitmapW(ocx, MAKEINTRESOURCEW(row.id)));
        ASSERT_TRUE(bitmap);
        BITMAP info{};
        ::GetObjectW(bitmap.Get(), sizeof info, &info);
        EXPECT_EQ(info.bmWidth, row.width);
        EXPECT_EQ(info.bmHeight, 12);
        fw::UniqueDc dc(::CreateCompatibleDC(screen));
        fw::SelectObjectScope selected(dc.Get(), bitmap.Get());
        for (int x = 0; x < row.width; ++x) {
            for (int y = 0; y < 12; ++y) EXPECT_EQ(::GetPixel(dc.Get(), x, y) & 0xFFFFFF, kWhite) << x << "," << y;
        }
    }
    ::ReleaseDC(nullptr, screen);
    ::FreeLibrary(ocx);
}

}  // namespace
}  // namespace tovalo_test
