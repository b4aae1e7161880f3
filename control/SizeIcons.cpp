// The size-category icons at any size (see SizeIcons.h). A cell is a sheet of paper with a gauge
// beside it, category n filling n + 1 of its four steps, in a colour from green to red; the shapes
// are those res/make_images.py draws into the bitmaps, given on the design's own pixel grid and
// scaled to the cell, each edge rounded to the nearest pixel so that shapes that touch still touch.
#include "control/SizeIcons.h"

#include "framework/Module.h"
#include "res/resource.h"

#include <algorithm>

namespace tovalo {
namespace {

constexpr COLORREF kPaper = RGB(255, 255, 255);
constexpr COLORREF kInk = RGB(40, 40, 40);
constexpr COLORREF kFold = RGB(200, 200, 200);
constexpr COLORREF kGaugeEmpty = RGB(215, 215, 215);
constexpr COLORREF kCategory[] = {RGB(40, 170, 60), RGB(230, 200, 0), RGB(240, 130, 20), RGB(220, 30, 30)};

// One design on its own grid (size x size pixels), as res/make_images.py gives it.
struct Design {
    int size;
    UINT bitmap;   // the resource drawn at that size
    RECT sheet;    // the paper, framed in ink
    int fold;      // the folded corner, top right
    int lines[3];  // the text lines on the sheet (their top rows)
    int inset;     // of the lines from the sheet's sides
    int lineThickness;
    int gaugeLeft;
    int gaugeRight;
    int stepHeight;
    int stepPitch;
    int gaugeBottom;
    bool framedSteps;  // each gauge step framed in ink
};
constexpr Design kLarge = {32, IDB_SIZE_LARGE, {3, 2, 19, 30}, 5, {10, 15, 20}, 3, 2, 21, 30, 6, 7, 30, true};
constexpr Design kSmall = {16, IDB_SIZE_SMALL, {1, 1, 10, 15}, 3, {5, 8, 11}, 2, 1, 11, 15, 3, 4, 15, false};

const Design& DesignOf(SizeIconDesign design) { return design == SizeIconDesign::kLarge ? kLarge : kSmall; }

// Draws on a cell of the strip, in the design's coordinates.
class CellCanvas {
public:
    CellCanvas(HDC dc, const Design& design, int cell, int origin)
        : dc_(dc), design_(design), cell_(cell), origin_(origin) {}

    void Fill(int x0, int y0, int x1, int y1, COLORREF colour) const {
        const RECT rect{origin_ + At(x0), At(y0), origin_ + At(x1), At(y1)};
        fw::UniqueGdiObject brush(::CreateSolidBrush(colour));
        if (brush) ::FillRect(dc_, &rect, static_cast<HBRUSH>(brush.Get()));
    }
    // A frame one design pixel wide inside the rectangle.
    void Frame(int x0, int y0, int x1, int y1, COLORREF colour) const {
        const int t = std::max(1, At(1));
        const RECT sides[] = {{At(x0), At(y0), At(x1), At(y0) + t},
                              {At(x0), At(y1) - t, At(x1), At(y1)},
                              {At(x0), At(y0), At(x0) + t, At(y1)},
                              {At(x1) - t, At(y0), At(x1), At(y1)}};
        fw::UniqueGdiObject brush(::CreateSolidBrush(colour));
        for (RECT side : sides) {
            ::OffsetRect(&side, origin_, 0);
            if (brush) ::FillRect(dc_, &side, static_cast<HBRUSH>(brush.Get()));
        }
    }

private:
    int At(int c) const { return (c * cell_ + design_.size / 2) / design_.size; }

    HDC dc_;
    const Design& design_;
    int cell_;
    int origin_;
};

void DrawCell(const CellCanvas& canvas, const Design& d, int category) {
    const RECT& s = d.sheet;
    canvas.Fill(s.left, s.top, s.right, s.bottom, kPaper);
    canvas.Frame(s.left, s.top, s.right, s.bottom, kInk);
    canvas.Fill(s.right - d.fold, s.top, s.right, s.top + d.fold, kFold);
    for (int y : d.lines) canvas.Fill(s.left + d.inset, y, s.right - d.inset, y + d.lineThickness, kInk);
    for (int step = 0; step < 4; ++step) {
        const int bottom = d.gaugeBottom - step * d.stepPitch;
        const int top = bottom - d.stepHeight;
        canvas.Fill(d.gaugeLeft, top, d.gaugeRight, bottom, step <= category ? kCategory[category] : kGaugeEmpty);
        if (d.framedSteps) canvas.Frame(d.gaugeLeft, top, d.gaugeRight, bottom, kInk);
    }
}

}  // namespace

fw::UniqueBitmap DrawSizeCategoryStrip(SizeIconDesign which, int cell) {
    const Design& design = DesignOf(which);
    if (cell <= 0) return {};
    HDC screen = ::GetDC(nullptr);
    fw::UniqueBitmap strip(::CreateCompatibleBitmap(screen, 4 * cell, cell));
    fw::UniqueDc dc(::CreateCompatibleDC(screen));
    ::ReleaseDC(nullptr, screen);
    if (!strip || !dc) return {};
    fw::SelectObjectScope selected(dc.Get(), strip.Get());
    const RECT all{0, 0, 4 * cell, cell};
    fw::UniqueGdiObject background(::CreateSolidBrush(kSizeIconTransparent));
    if (background) ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(background.Get()));
    for (int category = 0; category < 4; ++category) {
        DrawCell(CellCanvas(dc.Get(), design, cell, category * cell), design, category);
    }
    return strip;
}

fw::UniqueImageList SizeCategoryImages(SizeIconDesign which, int cell) {
    const Design& design = DesignOf(which);
    // At its own size the design is the resource's bitmap, pixel for pixel as it always was.
    fw::UniqueBitmap strip(cell == design.size ? ::LoadBitmapW(fw::Module::Instance(), MAKEINTRESOURCEW(design.bitmap))
                                               : DrawSizeCategoryStrip(which, cell).Release());
    fw::UniqueImageList list(::ImageList_Create(cell, cell, ILC_COLORDDB | ILC_MASK, 4, 0));
    if (list && strip) ::ImageList_AddMasked(list.Get(), strip.Get(), kSizeIconTransparent);
    return list;
}

}  // namespace tovalo
