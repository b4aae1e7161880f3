// Code page conversions at the COM and UI boundary.
#include "framework/Text.h"

#include <limits>

namespace fw {

std::string ToAnsi(std::wstring_view wide) {
    if (wide.empty() || wide.size() > static_cast<size_t>(std::numeric_limits<int>::max() / 2)) return {};
    const int inLen = static_cast<int>(wide.size());
    const int outLen = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), inLen, nullptr, 0, nullptr, nullptr);
    if (outLen <= 0) return {};
    std::string out(static_cast<size_t>(outLen), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), inLen, out.data(), outLen, nullptr, nullptr);
    return out;
}

std::wstring ToWide(std::string_view ansi) {
    if (ansi.empty() || ansi.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return {};
    const int inLen = static_cast<int>(ansi.size());
    const int outLen = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), inLen, nullptr, 0);
    if (outLen <= 0) return {};
    std::wstring out(static_cast<size_t>(outLen), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), inLen, out.data(), outLen);
    return out;
}

std::string AnsiFromBstr(BSTR b) { return b ? ToAnsi(std::wstring_view(b, ::SysStringLen(b))) : std::string(); }

BSTR BstrFromAnsi(std::string_view ansi) {
    const std::wstring wide = ToWide(ansi);
    return ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace fw
