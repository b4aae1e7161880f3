// Local paths in the long form (see LocalPath.h).
#include "framework/LocalPath.h"

#include <windows.h>

namespace fw {

std::wstring FileApiPath(std::wstring_view path) {
    std::wstring api(path);
    if (api.size() < MAX_PATH || api.compare(0, 4, L"\\\\?\\") == 0) return api;
    if (api.find(L'/') != std::wstring::npos || api.find(L"\\.\\") != std::wstring::npos ||
        api.find(L"\\..") != std::wstring::npos) {
        return api;
    }
    const bool drivePath = api.size() > 2 && api[1] == L':' && api[2] == L'\\';
    const bool uncPath = api.compare(0, 2, L"\\\\") == 0;
    if (drivePath) return L"\\\\?\\" + api;
    if (uncPath) return L"\\\\?\\UNC\\" + api.substr(2);
    return api;
}

}  // namespace fw
