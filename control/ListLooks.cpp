// The list's looks on the display it is shown on: its pixel sizes at the window's DPI and its
// colours under high contrast (see TovaloCtrl.h). At 96 DPI with high contrast off every pixel is
// what it always was: the column widths, the icons' bitmaps and the white background.
#include "control/TovaloCtrl.h"

#include "control/SizeIcons.h"
#include "framework/AccessibleText.h"
#include "framework/Dpi.h"

#include <commctrl.h>

namespace tovalo {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
// The size-category icons at 96 DPI: the large icon view's and the others'.
constexpr int kLargeIcon = 32;
constexpr int kSmallIcon = 16;
// The columns a user sees (the path and the byte count stay hidden, 0 wide).
constexpr int kShownColumns = 3;
constexpr wchar_t kListName[] = L"첨부할 파일 목록";

}  // namespace

void CTovaloCtrl::SetUpLooks() {
    HWND list = Hwnd();
    // What a screen reader calls the list, unless the page names it (its rows it reads by name).
    fw::SetAnnotatedName(list, kListName);
    // The list view's text colours as it made them, for when high contrast ends again.
    m_textColour = ListView_GetTextColor(list);
    m_textBackground = ListView_GetTextBkColor(list);
    m_highContrast = fw::HighContrastOn();
    ApplyColours();
}

void CTovaloCtrl::FollowDisplay(bool coloursChanged) {
    HWND list = Hwnd();
    if (!list || m_dpi == 0) return;  // before WM_CREATE has set the looks up
    const UINT dpi = fw::DpiOf(list);
    const bool highContrast = fw::HighContrastOn();
    // A new high-contrast theme changes the colours without changing the contrast's state.
    if (dpi == m_dpi && highContrast == m_highContrast && !(coloursChanged && highContrast)) return;
    if (dpi != m_dpi) {
        ScaleColumns(m_dpi, dpi);
        m_dpi = dpi;
        LoadSizeIcons();
    }
    m_highContrast = highContrast;
    ApplyColours();
    ::InvalidateRect(list, nullptr, TRUE);
    if (HWND header = ListView_GetHeader(list)) ::InvalidateRect(header, nullptr, FALSE);
}

void CTovaloCtrl::ScaleColumns(UINT from, UINT to) {
    // The widths as they are now, the user's own included, keep their share of the new scale.
    for (int column = 0; column < kShownColumns; ++column) {
        const int width = ListView_GetColumnWidth(Hwnd(), column);
        ListView_SetColumnWidth(Hwnd(), column, ::MulDiv(width, static_cast<int>(to), static_cast<int>(from)));
    }
}

void CTovaloCtrl::LoadSizeIcons() {
    fw::UniqueImageList large = SizeCategoryImages(SizeIconDesign::kLarge, fw::Scaled(kLargeIcon, m_dpi));
    fw::UniqueImageList small = SizeCategoryImages(SizeIconDesign::kSmall, fw::Scaled(kSmallIcon, m_dpi));
    // The list view lets go of the old lists before they are destroyed.
    if (m_iconSet != 0 && Hwnd()) {
        ListView_SetImageList(Hwnd(), small.Get(), LVSIL_SMALL);
        ListView_SetImageList(Hwnd(), large.Get(), LVSIL_NORMAL);
    }
    m_ilCustomLarge = std::move(large);
    m_ilCustomSmall = std::move(small);
}

void CTovaloCtrl::ApplyColours() {
    HWND list = Hwnd();
    if (m_highContrast) {
        ListView_SetBkColor(list, ::GetSysColor(COLOR_WINDOW));
        ListView_SetTextBkColor(list, ::GetSysColor(COLOR_WINDOW));
        ListView_SetTextColor(list, ::GetSysColor(COLOR_WINDOWTEXT));
    } else {
        ListView_SetBkColor(list, kWhite);
        ListView_SetTextBkColor(list, m_textBackground);
        ListView_SetTextColor(list, m_textColour);
    }
}

}  // namespace tovalo
