// CSkinHeaderCtrl: the flat-skinned column header of the control's list (see SkinHeaderCtrl.h).
#include "control/SkinHeaderCtrl.h"

#include "framework/Module.h"
#include "framework/Raii.h"
#include "res/resource.h"
#include "control/MemDC.h"

#include <commctrl.h>

namespace tovalo {
namespace {

constexpr UINT_PTR kSubclassId = 0x5348;  // "SH"
constexpr int kBandHeight = 12;
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

// One column: its edges from the skin, its title centred in the band.
void PaintItem(HWND header, int index, HDC canvas, HDC source, HBITMAP first, HBITMAP middle, HBITMAP right) {
    RECT r{};
    if (!::SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r))) return;
    char title[kTitleBytes] = {};
    HDITEMA item{};
    item.mask = HDI_ORDER | HDI_TEXT;
    item.pszText = title;
    item.cchTextMax = kTitleBytes;
    ::SendMessageA(header, HDM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));

    if (item.iOrder == 0) {
        DrawSkin(canvas, source, first, r.left, r.top, 2, kBandHeight);
    } else {
        FillColour(canvas, RECT{r.left - 1, r.top, r.left + 1, r.top + kBandHeight}, kSeparator);
        DrawSkin(canvas, source, middle, r.left + 1, r.top, 1, kBandHeight);
    }
    DrawSkin(canvas, source, middle, r.left + 2, 0, r.right - r.left - 4, 1);
    DrawSkin(canvas, source, right, r.right - 2, 0, 2, kBandHeight);

    // A font per item and paint, as cheap as the header is small.
    fw::UniqueGdiObject font(::CreateFontW(kBandHeight, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"굴림"));
    fw::SelectObjectScope selected(canvas, font ? font.Get() : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(canvas, TRANSPARENT);
    RECT text{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
    ::DrawTextA(canvas, title, -1, &text, DT_SINGLELINE | DT_CENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

}  // namespace

void PaintSkinnedHeader(HWND header, HDC dc, const RECT& client) {
    CMemDC canvas(dc, client);
    HDC target = canvas.Get() ? canvas.Get() : dc;
    fw::UniqueDc source(::CreateCompatibleDC(dc));
    if (!source) return;
    FillColour(target, client, kWhite);
    fw::UniqueBitmap first = LoadSkin(IDB_HEADER_FIRST);
    fw::UniqueBitmap middle = LoadSkin(IDB_HEADER_MIDDLE);
    fw::UniqueBitmap right = LoadSkin(IDB_HEADER_RIGHT);
    DrawSkin(target, source.Get(), middle.Get(), client.left + 2, 0, client.right - client.left, kBandHeight);
    const int count = static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) PaintItem(header, i, target, source.Get(), first.Get(), middle.Get(), right.Get());
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
        PaintSkinnedHeader(m_hwnd, reinterpret_cast<HDC>(wp), client);
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
        PaintSkinnedHeader(m_hwnd, dc, client);
    }
    ::EndPaint(m_hwnd, &paint);
}

}  // namespace tovalo
