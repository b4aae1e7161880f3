// A file's extension in its three uses (see Extensions.h).
#include "control/Extensions.h"

namespace tovalo {

std::wstring ExtensionOf(std::wstring_view name) {
    const size_t dot = name.find(L'.');
    return dot == std::wstring_view::npos ? std::wstring(L"-") : std::wstring(name.substr(dot + 1));
}

std::wstring_view ShellExtensionOf(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot);
}

bool IsPlainExtension(std::wstring_view extension) {
    return extension.find_first_of(L"\\/:") == std::wstring_view::npos &&
           extension.find(L"..") == std::wstring_view::npos;
}

}  // namespace tovalo
