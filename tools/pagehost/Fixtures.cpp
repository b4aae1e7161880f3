// Things a page arranges around the control (see Fixtures.h).
#include "tools/pagehost/Fixtures.h"

#include "tools/pagehost/HostError.h"
#include "tools/pagehost/WinPath.h"

#include <commctrl.h>

#include <cwchar>
#include <string>

namespace pagehost {
namespace {

// Long paths (beyond MAX_PATH) need the "\\?\" form in the file functions.
std::wstring fileApiPath(const std::wstring& path) {
    if (path.size() >= MAX_PATH && path.size() > 2 && path[1] == L':') {
        return L"\\\\?\\" + path;
    }
    return path;
}

void makeFolders(const std::wstring& path) {
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1)) {
        const std::wstring folder = fileApiPath(path.substr(0, slash));
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            throw HostError(L"host.makeFile cannot make the folder " + path.substr(0, slash));
        }
    }
}

}  // namespace

std::wstring makeFile(const std::wstring& givenPath, std::uint64_t size, const std::wstring& text) {
    // A page's files belong in the scratch folder its runner made (tests/pages/run). Run by hand
    // without it, a page's folders from unset variables ("" + "/one/same.txt") would land at the
    // top of the disk.
    if (GetEnvironmentVariableW(L"TOVALO_PAGE_SCRATCH", nullptr, 0) == 0) {
        throw HostError(
            L"host.makeFile: no scratch folder (TOVALO_PAGE_SCRATCH); run the page through tests/pages/run");
    }
    const std::wstring path = windowsPath(givenPath);
    makeFolders(path);
    const HANDLE file = CreateFileW(fileApiPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw HostError(L"host.makeFile cannot create " + path);
    }
    std::string bytes(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                                              nullptr, 0, nullptr, nullptr)),
                      '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                        static_cast<int>(bytes.size()), nullptr, nullptr);
    DWORD written = 0;
    if (!bytes.empty() && !WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        CloseHandle(file);
        throw HostError(L"host.makeFile cannot write " + path);
    }
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    if (!sized) {
        throw HostError(L"host.makeFile cannot give " + path + L" its size");
    }
    return path;
}

double fileSize(const std::wstring& givenPath) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(fileApiPath(windowsPath(givenPath)).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return -1;
    }
    return static_cast<double>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
}

std::wstring headerPixel(HWND list, int x, int y) {
    const HWND header = list ? reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)) : nullptr;
    RECT client{};
    if (!header || !IsWindowVisible(header) || !GetClientRect(header, &client)) {
        throw HostError(L"host.headerPixel: the list shows no header");
    }
    const POINT point{x, y};
    if (!PtInRect(&client, point)) {
        throw HostError(L"host.headerPixel: the point is outside the header");
    }
    RedrawWindow(header, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    const HDC dc = GetDC(header);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(header, dc);
    wchar_t text[8];
    std::swprintf(text, 8, L"%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

}  // namespace pagehost
