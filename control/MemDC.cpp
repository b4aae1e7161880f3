// CMemDC: the off-screen canvas (see MemDC.h).
#include "control/MemDC.h"

namespace tovalo {

CMemDC::CMemDC(HDC target, const RECT& rect) : m_pDC(target), m_rect(rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (!target || width <= 0 || height <= 0) return;
    fw::UniqueDc dc(::CreateCompatibleDC(target));
    fw::UniqueBitmap bitmap(::CreateCompatibleBitmap(target, width, height));
    if (!dc || !bitmap) return;
    m_pOldBitmap = ::SelectObject(dc.Get(), bitmap.Get());
    ::SetWindowOrgEx(dc.Get(), rect.left, rect.top, nullptr);
    m_dc = std::move(dc);
    m_pBitmap = std::move(bitmap);
}

CMemDC::~CMemDC() {
    if (!m_dc) return;
    ::BitBlt(m_pDC, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_dc.Get(),
             m_rect.left, m_rect.top, SRCCOPY);
    // The bitmap must leave the canvas before either is deleted.
    ::SelectObject(m_dc.Get(), m_pOldBitmap);
}

}  // namespace tovalo
