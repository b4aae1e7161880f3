// The four size-category icons at any pixel size: the bitmaps of the resources at their own size
// (32 and 16 pixels, 96 DPI), drawn anew from the same shapes at any other, so that they stay sharp
// beside the shell's icons at every display scale.
#pragma once

#include "framework/Raii.h"

#include <windows.h>

namespace tovalo {

// The two designs: the large icon view's (32 pixels at 96 DPI) and the small one's (16).
enum class SizeIconDesign { kLarge, kSmall };

// An image list of the four cells (categories 0 to 3), each cell pixels square.
fw::UniqueImageList SizeCategoryImages(SizeIconDesign design, int cell);

// Draws the design's four cells side by side at this cell size into a bitmap (4 x cell by cell
// pixels, the transparent colour around the shapes): what the image list is cut from.
fw::UniqueBitmap DrawSizeCategoryStrip(SizeIconDesign design, int cell);

// The colour the image lists take as transparent.
constexpr COLORREF kSizeIconTransparent = RGB(127, 127, 127);

}  // namespace tovalo
