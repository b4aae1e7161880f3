// CSkinHeaderCtrl: takes over a list view's column header and paints it flat: a white band
// 12 pixels high from the skin bitmaps, thin separators, each title centred in the "굴림" font.
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

// Paints the header's items onto dc over its client rectangle (the whole of it): the skin.
void PaintSkinnedHeader(HWND header, HDC dc, const RECT& client);

}  // namespace tovalo
