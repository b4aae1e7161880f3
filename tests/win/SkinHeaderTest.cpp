// The skinned header's painting, on a real header window drawn into a bitmap: the white band, the
// separators left of every column but the first in display order, at 96 and 192 DPI and in the
// system's colours under high contrast; titles kept inside their column and as tall as the scale
// makes them, an ampersand drawn as it stands; and the skin bitmaps of the OCX.
#include "tests/win/TestSupport.h"

#include "control/SkinHeaderCtrl.h"

#include <commctrl.h>

#include <vector>

namespace tovalo_test {
namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 40;
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
    void Paint(tovalo::HeaderLooks looks = {96, false}) {
        RECT all{0, 0, kWidth, kHeight};
        ::FillRect(dc_.Get(), &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        tovalo::PaintSkinnedHeader(header_, dc_.Get(), all, looks);
    }
    COLORREF Pixel(int x, int y) const { return ::GetPixel(dc_.Get(), x, y) & 0xFFFFFF; }

    // Where x0..x1-1 holds anything but the background or the separator: the title's ink, as the
    // count of its columns and of its rows.
    struct Ink {
        int columns = 0;
        int rows = 0;
    };
    Ink InkIn(int x0, int x1, COLORREF background = kWhite, COLORREF separator = kSeparator) const {
        Ink ink;
        std::vector<bool> row(kHeight);
        for (int x = x0; x < x1; ++x) {
            bool column = false;
            for (int y = 0; y < kHeight; ++y) {
                const COLORREF c = Pixel(x, y);
                if (c != background && c != separator) column = row[y] = true;
            }
            ink.columns += column;
        }
        for (bool inked : row) ink.rows += inked;
        return ink;
    }
    int InkColumns(int x0, int x1) const { return InkIn(x0, x1).columns; }

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
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    const struct {
        tovalo::HeaderLooks looks;
        int band;      // the band's height
        int from, to;  // the separator's columns, from a column's left edge
        COLORREF background, separator;
    } looks[] = {
        {{96, false}, 12, -1, 1, kWhite, kSeparator},
        {{192, false}, 24, -2, 2, kWhite, kSeparator},
        {{144, false}, 18, -2, 1, kWhite, kSeparator},
        // High contrast: the system's button colours, no white skin.
        {{96, true}, 12, -1, 1, face, text},
    };
    const struct {
        std::vector<int> order;
        std::vector<int> separatorsAt;  // left edges that get the separator
        std::vector<int> plainAt;       // left edges that stay plain
    } rows[] = {
        {{0, 1, 2}, {100, 180}, {0}},
        // The last column dragged to the front: it gets the first column's edge.
        {{2, 0, 1}, {60, 160}, {0}},
    };
    for (const auto& look : looks) {
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << look.looks.dpi << " dpi, high contrast " << look.looks.highContrast
                                            << ", order " << testing::PrintToString(row.order));
            ::SendMessageW(header_, HDM_SETORDERARRAY, row.order.size(), reinterpret_cast<LPARAM>(row.order.data()));
            Paint(look.looks);
            for (int left : row.separatorsAt) {
                for (int y = 0; y < look.band; ++y) {
                    for (int x = left + look.from; x <= left + look.to - 1; ++x) {
                        EXPECT_EQ(Pixel(x, y), look.separator) << x << "," << y;
                    }
                }
                EXPECT_EQ(Pixel(left + look.from - 1, 1), look.background) << left;
                EXPECT_EQ(Pixel(left + look.to, 1), look.background) << left;
                // Below the band the header keeps its background.
                EXPECT_EQ(Pixel(left, look.band), look.background) << left;
                EXPECT_EQ(Pixel(left, kHeight - 1), look.background) << left;
            }
            for (int left : row.plainAt) EXPECT_EQ(Pixel(left, 5), look.background) << left;
            EXPECT_EQ(InkIn(0, kWidth, look.background, look.separator).columns, 0);
        }
    }
}

TEST_F(SkinHeader, TitlesGrowWithTheScaleAndTakeTheContrastColour) {
    AddColumn(L"이름", 150);
    AddColumn(L"", 150);
    Paint({96, false});
    const Ink at96 = InkIn(2, 148);
    Paint({192, false});
    const Ink at192 = InkIn(4, 146);
    ASSERT_GT(at96.rows, 0);
    // Twice the scale, twice the title, give or take a row of the font's own rounding.
    EXPECT_NEAR(at192.rows, 2 * at96.rows, 2);
    EXPECT_NEAR(at192.columns, 2 * at96.columns, 3);
    // Under high contrast the title is in the system's button text colour on its face colour.
    Paint({96, true});
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    int textPixels = 0;
    for (int x = 2; x < 148; ++x) {
        for (int y = 0; y < kHeight; ++y) textPixels += Pixel(x, y) == text;
    }
    EXPECT_GT(textPixels, 0);
    EXPECT_EQ(Pixel(75, kHeight - 1), face);
    // Nothing of the white skin is left.
    for (int x = 0; x < kWidth; ++x) {
        for (int y = 0; y < kHeight; ++y) ASSERT_NE(Pixel(x, y), kWhite) << x << "," << y;
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
