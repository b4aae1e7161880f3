// The module's resources: strings, bitmaps with four distinct size-category cells (drawn by the
// control at other sizes from the same shapes), icon, dialogs.
#include "tests/win/TestSupport.h"

#include "control/SizeIcons.h"

#include <set>

namespace tovalo_test {
namespace {

class OcxResources : public testing::Test {
protected:
    void SetUp() override {
        module_ = ::LoadLibraryExW(OcxPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override { ::FreeLibrary(module_); }

    HMODULE module_ = nullptr;
};

TEST_F(OcxResources, Strings) {
    const struct {
        UINT id;
        const wchar_t* text;
    } cases[] = {{1, L"Tovalo Control"}, {2, L"Tovalo Property Page"}, {200, L"일반"}};
    for (const auto& c : cases) {
        wchar_t text[128] = {};
        ASSERT_GT(::LoadStringW(module_, c.id, text, 128), 0) << c.id;
        EXPECT_EQ(std::wstring(text), c.text);
    }
}

struct BitmapCase {
    UINT id;
    int width;
    int height;
    int bitsPerPixel;
    int cells;  // size-category cells side by side; 0 for the toolbox bitmap
};

TEST_F(OcxResources, Bitmaps) {
    const BitmapCase cases[] = {{1, 16, 16, 8, 0}, {201, 128, 32, 24, 4}, {202, 64, 16, 24, 4}};
    for (const BitmapCase& c : cases) {
        SCOPED_TRACE(c.id);
        fw::UniqueBitmap bitmap(static_cast<HBITMAP>(
            ::LoadImageW(module_, MAKEINTRESOURCEW(c.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        ASSERT_TRUE(bitmap);
        DIBSECTION dib{};
        ASSERT_EQ(::GetObjectW(bitmap.Get(), sizeof dib, &dib), static_cast<int>(sizeof dib));
        EXPECT_EQ(dib.dsBm.bmWidth, c.width);
        EXPECT_EQ(dib.dsBm.bmHeight, c.height);
        EXPECT_EQ(dib.dsBm.bmBitsPixel, c.bitsPerPixel);
        if (c.cells == 0) continue;

        fw::UniqueDc dc(::CreateCompatibleDC(nullptr));
        fw::SelectObjectScope select(dc.Get(), bitmap.Get());
        const int cell = c.height;
        std::set<std::vector<COLORREF>> distinct;
        for (int n = 0; n < c.cells; ++n) {
            EXPECT_EQ(::GetPixel(dc.Get(), n * cell, 0), RGB(127, 127, 127)) << "transparent corner of cell " << n;
            std::vector<COLORREF> pixels;
            for (int y = 0; y < cell; ++y) {
                for (int x = 0; x < cell; ++x) pixels.push_back(::GetPixel(dc.Get(), n * cell + x, y));
            }
            distinct.insert(pixels);
        }
        EXPECT_EQ(distinct.size(), static_cast<size_t>(c.cells)) << "the cells must differ";
    }
}

// The control draws the size-category icons at other display scales from the shapes the bitmaps
// were made of: at the bitmaps' own size the drawing is the bitmap, and at twice it every pixel
// is doubled, so the icons look alike at every scale.
TEST_F(OcxResources, SizeIconsDrawnAsTheBitmapsAtEveryScale) {
    const struct {
        UINT id;
        tovalo::SizeIconDesign design;
        int size;
    } cases[] = {{201, tovalo::SizeIconDesign::kLarge, 32}, {202, tovalo::SizeIconDesign::kSmall, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        fw::UniqueBitmap bitmap(static_cast<HBITMAP>(
            ::LoadImageW(module_, MAKEINTRESOURCEW(c.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        const fw::UniqueBitmap same = tovalo::DrawSizeCategoryStrip(c.design, c.size);
        const fw::UniqueBitmap twice = tovalo::DrawSizeCategoryStrip(c.design, 2 * c.size);
        ASSERT_TRUE(bitmap && same && twice);
        fw::UniqueDc original(::CreateCompatibleDC(nullptr)), drawn(::CreateCompatibleDC(nullptr)),
            doubled(::CreateCompatibleDC(nullptr));
        fw::SelectObjectScope a(original.Get(), bitmap.Get()), b(drawn.Get(), same.Get()),
            d(doubled.Get(), twice.Get());
        for (int y = 0; y < c.size; ++y) {
            for (int x = 0; x < 4 * c.size; ++x) {
                const COLORREF pixel = ::GetPixel(original.Get(), x, y);
                ASSERT_EQ(::GetPixel(drawn.Get(), x, y), pixel) << x << "," << y;
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2; ++dx) {
                        ASSERT_EQ(::GetPixel(doubled.Get(), 2 * x + dx, 2 * y + dy), pixel) << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST_F(OcxResources, IconAndDialogs) {
    EXPECT_NE(::FindResourceA(module_, MAKEINTRESOURCEA(212), RT_GROUP_ICON), nullptr);
    EXPECT_NE(::FindResourceA(module_, MAKEINTRESOURCEA(1), RT_DIALOG), nullptr);
    EXPECT_NE(::FindResourceA(module_, MAKEINTRESOURCEA(200), RT_DIALOG), nullptr);
    EXPECT_NE(::FindResourceA(module_, MAKEINTRESOURCEA(1), "TYPELIB"), nullptr);
}

}  // namespace
}  // namespace tovalo_test
