// CSkinHeaderCtrl: the flat-skinned column header of the control's list (see SkinHeaderCtrl.h).
#include "control/SkinHeaderCtrl.h"

#include "framework/Dpi.h"
#include "framework/Module.h"
#include "framework/Raii.h"
#include "res/resource.h"
#include "control/MemDC.h"

#include <commctrl.h>

#include <algorithm>

namespace tovalo {
namespace {

constexpr UINT_PTR kSubclassId = 0x5348;  // "SH"
// Sizes at 96 DPI.
constexpr int kBandHeight = 12;
constexpr int kEdgeWidth = 2;
constexpr int kFontHeight = 12;
constexpr COLORREF kWhite = RGB(255, 255, 255);
// The line between two columns: the skin itself is white, so the columns are told apart by it.
constexpr COLORREF kSeparator = RGB(160, 160, 160);
constexpr int kTitleBytes = 255;

fw::UniqueBitmap LoadSkin(UINT id) {
    return fw::UniqueBitmap(::LoadBitmapW(fw::Module::Instance(), MAKEINTRESOURCEW(id)));
}

// Copies width x height pixels of a skin bitmap (stretched from its own size) to (x, y).
void DrawSkin(HDC canvas, HDC source, HBITMAP skin, int x, int y, int width, int height) {
    BITMAP info{};
    if (!skin || width <= 0 || height <= 0 || !::GetObjectW(skin, sizeof info, &info)) return;
    fw::SelectObjectScope selected(source, skin);
    if (width == info.bmWidth && height == info.bmHeight) {
        ::BitBlt(canvas, x, y, width, height, source, 0, 0, SRCCOPY);
    } else {
        ::StretchBlt(canvas, x, y, width, height, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    }
}

void FillColour(HDC canvas, const RECT& rect, COLORREF colour) {
    fw::UniqueGdiObject brush(::CreateSolidBrush(colour));
    if (brush) ::FillRect(canvas, &rect, static_cast<HBRUSH>(brush.Get()));
}

// A paint's pixel sizes, colours and skin: the skin's bitmaps are white, so under high contrast
// they are left out and the band keeps the system's button colour.
struct Skin {
    HDC source;
    HBITMAP first;
    HBITMAP middle;
    HBITMAP right;
    int band;
    int edge;
    int line;  // one pixel at 96 DPI
    COLORREF background;
    COLORREF separator;
    bool highContrast;
    COLORREF text;
};

Skin SkinFor(const HeaderLooks& looks, HDC source, HBITMAP first, HBITMAP middle, HBITMAP right) {
    const bool contrast = looks.highContrast;
    return {source,
            contrast ? nullptr : first,
            contrast ? nullptr : middle,
            contrast ? nullptr : right,
            fw::Scaled(kBandHeight, looks.dpi),
            fw::Scaled(kEdgeWidth, looks.dpi),
            std::max(1, fw::Scaled(1, looks.dpi)),
            contrast ? ::GetSysColor(COLOR_BTNFACE) : kWhite,
            contrast ? ::GetSysColor(COLOR_BTNTEXT) : kSeparator,
            contrast,
            ::GetSysColor(COLOR_BTNTEXT)};
}

// One column: its edges from the skin, its title centred in the band.
void PaintItem(HWND header, int index, HDC canvas, const Skin& skin, HFONT font) {
    RECT r{};
    if (!::SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r))) return;
    char title[kTitleBytes] = {};
    HDITEMA item{};
    item.mask = HDI_ORDER | HDI_TEXT;
    item.pszText = title;
    item.cchTextMax = kTitleBytes;
    ::SendMessageA(header, HDM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));

    if (item.iOrder == 0) {
        DrawSkin(canvas, skin.source, skin.first, r.left, r.top, skin.edge, skin.band);
    } else {
        FillColour(canvas, RECT{r.left - skin.line, r.top, r.left - skin.line + skin.edge, r.top + skin.band},
                   skin.separator);
        DrawSkin(canvas, skin.source, skin.middle, r.left - skin.line + skin.edge, r.top, skin.line, skin.band);
    }
    DrawSkin(canvas, skin.source, skin.middle, r.left + skin.edge, 0, r.right - r.left - 2 * skin.edge, skin.line);
    DrawSkin(canvas, skin.source, skin.right, r.right - skin.edge, 0, skin.edge, skin.band);

    fw::SelectObjectScope selected(canvas, font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(canvas, TRANSPARENT);
    // Off high contrast the titles keep the canvas's own text colour, as they always had.
    if (skin.highContrast) ::SetTextColor(canvas, skin.text);
    RECT text{r.left + skin.edge, r.top + skin.edge, r.right - skin.edge, r.bottom - skin.edge};
    ::DrawTextA(canvas, title, -1, &text, DT_SINGLELINE | DT_CENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

}  // namespace

HeaderLooks LooksOf(HWND header) { return {fw::DpiOf(header), fw::HighContrastOn()}; }

void PaintSkinnedHeader(HWND header, HDC dc, const RECT& client, const HeaderLooks& looks) {
    CMemDC canvas(dc, client);
    HDC target = canvas.Get() ? canvas.Get() : dc;
    fw::UniqueDc source(::CreateCompatibleDC(dc));
    if (!source) return;
    fw::UniqueBitmap first = LoadSkin(IDB_HEADER_FIRST);
    fw::UniqueBitmap middle = LoadSkin(IDB_HEADER_MIDDLE);
    fw::UniqueBitmap right = LoadSkin(IDB_HEADER_RIGHT);
    const Skin skin = SkinFor(looks, source.Get(), first.Get(), middle.Get(), right.Get());
    FillColour(target, client, skin.background);
    DrawSkin(target, source.Get(), skin.middle, client.left + skin.edge, 0, client.right - client.left, skin.band);
    // One font for every title of a paint, its height scaled with the band.
    fw::UniqueGdiObject font(
        ::CreateFontW(fw::Scaled(kFontHeight, looks.dpi), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"굴림"));
    const int count = static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) PaintItem(header, i, target, skin, static_cast<HFONT>(font.Get()));
}

CSkinHeaderCtrl::~CSkinHeaderCtrl() { Detach(); }

bool CSkinHeaderCtrl::SubclassWindow(HWND header) {
    if (m_hwnd || !header) return false;
    if (!::SetWindowSubclass(header, Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
    m_hwnd = header;
    ::InvalidateRect(header, nullptr, FALSE);
    return true;
}

void CSkinHeaderCtrl::Detach() {
    if (!m_hwnd) return;
    ::RemoveWindowSubclass(m_hwnd, Proc, kSubclassId);
    m_hwnd = nullptr;
}

LRESULT CALLBACK CSkinHeaderCtrl::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
    auto* header = reinterpret_cast<CSkinHeaderCtrl*>(self);
    if (msg == WM_NCDESTROY) {
        header->Detach();
        return ::DefSubclassProc(hwnd, msg, wp, lp);
    }
    return header->OnMessage(msg, wp, lp);
}

LRESULT CSkinHeaderCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_PRINTCLIENT: {
        RECT client{};
        ::GetClientRect(m_hwnd, &client);
        PaintSkinnedHeader(m_hwnd, reinterpret_cast<HDC>(wp), client, LooksOf(m_hwnd));
        return 0;
    }
    case WM_ERASEBKGND:
        // The paint covers every pixel from its canvas: erasing first would only flicker.
        return FALSE;
    default:
        return ::DefSubclassProc(m_hwnd, msg, wp, lp);
    }
}

void CSkinHeaderCtrl::OnPaint() {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(m_hwnd, &paint);
    if (dc) {
        RECT client{};
        ::GetClientRect(m_hwnd, &client);
        PaintSkinnedHeader(m_hwnd, dc, client, LooksOf(m_hwnd));
    }
    ::EndPaint(m_hwnd, &paint);
}

}  // namespace tovalo
