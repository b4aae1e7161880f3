// Screenshots of the host window as PNG files.
#include "tools/pagehost/Screenshot.h"

#include "tools/pagehost/MessageLoop.h"
#include "tools/pagehost/PngWriter.h"

#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

namespace pagehost {
namespace {

struct ScreenDcRelease {
    void operator()(HDC dc) const { ReleaseDC(nullptr, dc); }
};
struct DcDelete {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct GdiObjectDelete {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct HandleClose {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

using ScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDcRelease>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDelete>;
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDelete>;
using File = std::unique_ptr<void, HandleClose>;

// Restores the bitmap that was selected into a DC before ours.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(SelectObject(dc, object)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() { SelectObject(m_dc, m_old); }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

std::wstring writeFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return L"cannot create " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
    }
    const File file(handle);
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        return L"cannot write " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
    }
    return {};
}

}  // namespace

std::wstring saveWindowPng(HWND window, const std::wstring& path) {
    RECT rect{};
    if (!GetWindowRect(window, &rect) || rect.right <= rect.left || rect.bottom <= rect.top) {
        return L"the window has no area to capture";
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    GdiFlush();
    // What a window paints may reach the screen only when its thread next waits for messages
    // (Wine flushes window surfaces then): let that happen before reading the screen.
    constexpr DWORD kSettleMs = 150;
    pumpMessages(kSettleMs);
    const auto width = static_cast<std::uint32_t>(rect.right - rect.left);
    const auto height = static_cast<std::uint32_t>(rect.bottom - rect.top);

    const ScreenDc screen(GetDC(nullptr));
    const MemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!screen || !memory) {
        return L"no device context for the screen";
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const Bitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) {
        return L"cannot create a bitmap of the window's size";
    }
    {
        const SelectGuard select(memory.get(), bitmap.get());
        if (!BitBlt(memory.get(), 0, 0, static_cast<int>(width), static_cast<int>(height), screen.get(), rect.left,
                    rect.top, SRCCOPY)) {
            return L"cannot copy the window from the screen";
        }
        GdiFlush();
    }

    const auto* bgrx = static_cast<const std::uint8_t*>(bits);
    std::vector<std::uint8_t> rgb(std::size_t{width} * height * 3);
    for (std::size_t pixel = 0; pixel < std::size_t{width} * height; ++pixel) {
        rgb[pixel * 3 + 0] = bgrx[pixel * 4 + 2];
        rgb[pixel * 3 + 1] = bgrx[pixel * 4 + 1];
        rgb[pixel * 3 + 2] = bgrx[pixel * 4 + 0];
    }
    return writeFile(path, encodePng(width, height, rgb));
}

}  // namespace pagehost
