// CSkinHeaderCtrl: takes over a list view's column header and paints it flat: a white band
// 12 pixels high from the skin bitmaps, thin separators, each title centred in the "굴림" font.
// Every size is one at 96 DPI, scaled to the header's; under high contrast the band, the lines
// and the titles take the system's colours for buttons instead of the skin's.
#pragma once

#include <windows.h>

namespace tovalo {

class CSkinHeaderCtrl {
public:
    CSkinHeaderCtrl() = default;
    ~CSkinHeaderCtrl();
    CSkinHeaderCtrl(const CSkinHeaderCtrl&) = delete;
    CSkinHeaderCtrl& operator=(const CSkinHeaderCtrl&) = delete;

    // Routes the header window's paint messages here until the window is destroyed (or this
    // object ends first). False when already attached or the window cannot be subclassed.
    bool SubclassWindow(HWND header);
    HWND Hwnd() const { return m_hwnd; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnPaint();
    void Detach();

    HWND m_hwnd = nullptr;
};

// What the header is painted for: the DPI its pixel sizes are scaled to (they are given at 96),
// and whether the user's high-contrast colours replace the skin's.
struct HeaderLooks {
    UINT dpi;
    bool highContrast;
};
// The header window's looks now.
HeaderLooks LooksOf(HWND header);

// Paints the header's items onto dc over its client rectangle (the whole of it): the skin.
void PaintSkinnedHeader(HWND header, HDC dc, const RECT& client, const HeaderLooks& looks);

}  // namespace tovalo
