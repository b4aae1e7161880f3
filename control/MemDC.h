// CMemDC: an off-screen canvas over a rectangle of a device context, copied to it in one step
// when the canvas ends, so that a paint shows no half-drawn state and needs no erasing.
#pragma once

#include "framework/Raii.h"

#include <windows.h>

namespace tovalo {

class CMemDC {
public:
    // Drawing on the canvas uses the target's coordinates: the rectangle maps onto the bitmap.
    CMemDC(HDC target, const RECT& rect);
    // Copies the rectangle to the target at the same place, then gives the bitmap back.
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // The canvas to draw on; null when no canvas could be made (then nothing is copied).
    HDC Get() const { return m_dc.Get(); }

private:
    fw::UniqueDc m_dc;
    fw::UniqueBitmap m_pBitmap;
    HGDIOBJ m_pOldBitmap = nullptr;
    HDC m_pDC;
    RECT m_rect;
};

}  // namespace tovalo
