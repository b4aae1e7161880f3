// Paths as the control sees them: a Unix path from the test's side becomes its Windows form.
#include "tools/pagehost/WinPath.h"

#include "tools/pagehost/Text.h"

#include <windows.h>

#include <vector>

namespace pagehost {
namespace {

using UnixToDos = WCHAR*(CDECL*)(const char*);
using DosToUnix = char*(CDECL*)(const WCHAR*);

// Wine's kernel32 knows its drive mapping; on Windows proper the exports do not exist.
template <typename Function>
Function wineExport(const char* name) {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
}

std::wstring fullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return path;
    }
    std::vector<wchar_t> buffer(size);
    const DWORD length = GetFullPathNameW(path.c_str(), size, buffer.data(), nullptr);
    return length > 0 && length < size ? std::wstring(buffer.data(), length) : path;
}

}  // namespace

std::wstring windowsPath(std::wstring_view path) {
    if (path.empty() || path.front() != L'/') {
        return fullPath(std::wstring(path));
    }
    if (const auto map = wineExport<UnixToDos>("wine_get_dos_file_name")) {
        if (WCHAR* mapped = map(toUtf8(path).c_str())) {
            std::wstring result(mapped);
            HeapFree(GetProcessHeap(), 0, mapped);
            return result;
        }
    }
    std::wstring result = L"Z:" + std::wstring(path);
    for (auto& ch : result) {
        ch = ch == L'/' ? L'\\' : ch;
    }
    return result;
}

std::wstring deepestDrivePath(const std::wstring& path) {
    const auto unixName = wineExport<DosToUnix>("wine_get_unix_file_name");
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name) {
        return path;
    }
    std::wstring result = path;
    if (const auto map = wineExport<UnixToDos>("wine_get_dos_file_name")) {
        if (WCHAR* mapped = map(name)) {
            result = mapped;
            HeapFree(GetProcessHeap(), 0, mapped);
        }
    }
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

}  // namespace pagehost
