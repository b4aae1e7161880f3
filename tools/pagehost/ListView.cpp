// What the page may ask of the control's list view: rows, cells, images, columns, selection,
// double-clicks and the view mode, all through the list view's own messages.
#include "tools/pagehost/ListView.h"

#include "tools/pagehost/HostError.h"

#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

namespace pagehost {
namespace {

bool hasClass(HWND window, const wchar_t* className) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return lstrcmpiW(name, className) == 0;
}

bool hasHeaderChild(HWND window) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (hasClass(child, WC_HEADERW)) {
            return true;
        }
    }
    return false;
}

struct Search {
    HWND byClass = nullptr;
    HWND byHeader = nullptr;

    void consider(HWND window) {
        if (!byClass && hasClass(window, WC_LISTVIEWW)) {
            byClass = window;
        } else if (!byHeader && hasHeaderChild(window)) {
            byHeader = window;
        }
    }
};

BOOL CALLBACK considerChild(HWND window, LPARAM search) {
    reinterpret_cast<Search*>(search)->consider(window);
    return TRUE;
}

std::wstring rowText(HWND window, int row, int column) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<size_t>(
            SendMessageW(window, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < buffer.size() || buffer.size() >= 65536) {
            return std::wstring(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
        }
        buffer.resize(buffer.size() * 4);
    }
}

// FNV-1a, 64 bits: stable across runs and builds, which is all a digest compared with a file needs.
class Digest {
public:
    void add(const void* data, size_t size) {
        for (const auto* byte = static_cast<const unsigned char*>(data); size--; ++byte) {
            m_value = (m_value ^ *byte) * 0x100000001b3ull;
        }
    }
    template <class T>
    void add(const T& value) {
        add(&value, sizeof value);
    }
    std::uint64_t value() const { return m_value; }

private:
    std::uint64_t m_value = 0xcbf29ce484222325ull;
};

// The pixels an image list draws for one index on white (nothing for an index it lacks), digested.
// A 32-bit bitmap of this size whose first row is its top one.
BITMAPINFO topDownRgb(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

std::uint64_t imagePixels(HIMAGELIST images, int index) {
    Digest digest;
    int width = 0, height = 0;
    if (!images || !ImageList_GetIconSize(images, &width, &height) || width <= 0 || height <= 0) {
        return digest.value();
    }
    const BITMAPINFO info = topDownRgb(width, height);
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dc && bitmap && bits) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        const RECT all{0, 0, width, height};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        if (index >= 0 && index < ImageList_GetImageCount(images)) ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL);
        GdiFlush();
        digest.add(bits, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        SelectObject(dc, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
    return digest.value();
}

std::wstring replaceAll(std::wstring text, const std::wstring& from, const std::wstring& to) {
    if (from.empty()) return text;
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

HWND findListWindow(HWND controlWindow) {
    if (!controlWindow) {
        return nullptr;
    }
    Search search;
    search.consider(controlWindow);
    EnumChildWindows(controlWindow, considerChild, reinterpret_cast<LPARAM>(&search));
    return search.byClass ? search.byClass : search.byHeader;
}

HWND ListView::window() const {
    if (!m_window || !IsWindow(m_window)) {
        throw HostError(L"the page has no control with a list view");
    }
    return m_window;
}

void ListView::checkRow(int row) const {
    if (row < 0 || row >= rowCount()) {
        throw HostError(L"row " + std::to_wstring(row) + L" does not exist (the list has " +
                        std::to_wstring(rowCount()) + L" rows)");
    }
}

void ListView::checkColumn(int column) const {
    if (column < 0 || column >= columnCount()) {
        throw HostError(L"column " + std::to_wstring(column) + L" does not exist");
    }
}

int ListView::rowCount() const { return static_cast<int>(SendMessageW(window(), LVM_GETITEMCOUNT, 0, 0)); }

std::wstring ListView::cell(int row, int column) const {
    checkRow(row);
    checkColumn(column);
    return rowText(window(), row, column);
}

int ListView::image(int row) const {
    checkRow(row);
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    if (!SendMessageW(window(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
        throw HostError(L"the list view does not tell the image of row " + std::to_wstring(row));
    }
    return item.iImage;
}

std::wstring ListView::rowsDigest(const std::wstring& hide) const {
    const auto large = reinterpret_cast<HIMAGELIST>(SendMessageW(window(), LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    const auto small = reinterpret_cast<HIMAGELIST>(SendMessageW(window(), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    // One index draws the same pixels for every row that shows it.
    std::map<int, std::uint64_t> pixels;
    Digest digest;
    for (int row = 0, count = rowCount(); row < count; ++row) {
        for (int column = 0; column < 5; ++column) {
            const std::wstring text = replaceAll(rowText(window(), row, column), hide, L"~");
            digest.add(text.data(), text.size() * sizeof(wchar_t));
            digest.add(L'\0');
        }
        const int index = image(row);
        auto known = pixels.find(index);
        if (known == pixels.end()) {
            Digest both;
            both.add(imagePixels(large, index));
            both.add(imagePixels(small, index));
            known = pixels.emplace(index, both.value()).first;
        }
        digest.add(known->second);
    }
    wchar_t hex[17];
    std::swprintf(hex, 17, L"%016llx", static_cast<unsigned long long>(digest.value()));
    return hex;
}

void ListView::select(int row) const {
    checkRow(row);
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(window(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    SendMessageW(window(), LVM_SETSELECTIONMARK, 0, row);
}

void ListView::deselect() const {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = 0;
    SendMessageW(window(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    SendMessageW(window(), LVM_SETSELECTIONMARK, 0, -1);
}

void ListView::doubleClick(int row) const {
    checkRow(row);
    // As a real double-click does: the row becomes the only selected one, then the clicks land on it.
    deselect();
    select(row);
    SendMessageW(window(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT label{};
    label.left = LVIR_LABEL;
    SendMessageW(window(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&label));
    const LPARAM point = MAKELPARAM((label.left + label.right) / 2, (label.top + label.bottom) / 2);
    SendMessageW(window(), WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    SendMessageW(window(), WM_LBUTTONUP, 0, point);
}

std::wstring ListView::view() const {
    switch (GetWindowLongW(window(), GWL_STYLE) & LVS_TYPEMASK) {
    case LVS_ICON:
        return L"icon";
    case LVS_REPORT:
        return L"report";
    case LVS_SMALLICON:
        return L"smallicon";
    default:
        return L"list";
    }
}

int ListView::columnCount() const {
    const auto header = reinterpret_cast<HWND>(SendMessageW(window(), LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

std::wstring ListView::columnText(int column) const {
    checkColumn(column);
    wchar_t buffer[260] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = buffer;
    info.cchTextMax = 260;
    SendMessageW(window(), LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
    return buffer;
}

int ListView::columnWidth(int column) const {
    checkColumn(column);
    // The header keeps the widths in every view; the list view reports its item width instead
    // while it shows icons.
    const auto header = reinterpret_cast<HWND>(SendMessageW(window(), LVM_GETHEADER, 0, 0));
    HDITEMW item{};
    item.mask = HDI_WIDTH;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return item.cxy;
}

std::wstring ListView::selectedRows() const {
    std::wstring rows;
    int row = -1;
    for (int left = rowCount(); left > 0; --left) {
        const auto next =
            static_cast<int>(SendMessageW(window(), LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
        if (next <= row) {
            break;
        }
        row = next;
        rows += (rows.empty() ? L"" : L",") + std::to_wstring(row);
    }
    return rows;
}

unsigned long ListView::extendedStyle() const {
    return static_cast<unsigned long>(SendMessageW(window(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

std::wstring ListView::imageSize() const {
    const bool icons = (GetWindowLongW(window(), GWL_STYLE) & LVS_TYPEMASK) == LVS_ICON;
    const auto images =
        reinterpret_cast<HIMAGELIST>(SendMessageW(window(), LVM_GETIMAGELIST, icons ? LVSIL_NORMAL : LVSIL_SMALL, 0));
    int width = 0;
    int height = 0;
    if (!images || !ImageList_GetIconSize(images, &width, &height)) {
        return L"none";
    }
    return std::to_wstring(width) + L"x" + std::to_wstring(height);
}

int ListView::textWidth(const std::wstring& text) const {
    return static_cast<int>(SendMessageW(window(), LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

std::wstring ListView::infoTip(int row) const {
    checkRow(row);
    wchar_t text[INFOTIPSIZE] = {};
    NMLVGETINFOTIPW tip{};
    tip.hdr.hwndFrom = window();
    tip.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window()));
    tip.hdr.code = LVN_GETINFOTIPW;
    tip.pszText = text;
    tip.cchTextMax = INFOTIPSIZE;
    tip.iItem = row;
    SendMessageW(GetParent(window()), WM_NOTIFY, tip.hdr.idFrom, reinterpret_cast<LPARAM>(&tip));
    return text;
}

int ListView::headerInk(int column) const {
    checkColumn(column);
    const auto header = reinterpret_cast<HWND>(SendMessageW(window(), LVM_GETHEADER, 0, 0));
    RECT item{};
    if (!header || !IsWindowVisible(header) ||
        !SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item))) {
        throw HostError(L"host.headerInk: the list shows no header item " + std::to_wstring(column));
    }
    // The header as the screen shows it, copied once: reading pixel by pixel from the window
    // would cost a round trip each.
    RedrawWindow(header, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    const int width = item.right - item.left;
    const int height = item.bottom - item.top;
    std::vector<COLORREF> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    const HDC screen = GetDC(header);
    const HDC memory = CreateCompatibleDC(screen);
    const BITMAPINFO info = topDownRgb(width, height);
    void* bits = nullptr;
    const HBITMAP copy = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (copy && bits) {
        const HGDIOBJ old = SelectObject(memory, copy);
        BitBlt(memory, 0, 0, width, height, screen, item.left, item.top, SRCCOPY);
        GdiFlush();
        const auto* source = static_cast<const COLORREF*>(bits);
        for (size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = source[i] & 0xFFFFFF;
        }
        SelectObject(memory, old);
        DeleteObject(copy);
    }
    DeleteDC(memory);
    ReleaseDC(header, screen);
    std::map<COLORREF, size_t> counts;
    for (COLORREF pixel : pixels) {
        ++counts[pixel];
    }
    COLORREF background = 0;
    size_t most = 0;
    for (const auto& [colour, count] : counts) {
        if (count > most) {
            background = colour;
            most = count;
        }
    }
    // The title is centred: the middle two thirds hold it, and none of the item's edges.
    int rows = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = width / 6; x < width - width / 6; ++x) {
            if (pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] != background) {
                ++rows;
                break;
            }
        }
    }
    return rows;
}

unsigned long ListView::backgroundColor() const {
    const auto color = static_cast<COLORREF>(SendMessageW(window(), LVM_GETBKCOLOR, 0, 0));
    return (static_cast<unsigned long>(GetRValue(color)) << 16) | (static_cast<unsigned long>(GetGValue(color)) << 8) |
           GetBValue(color);
}

}  // namespace pagehost
