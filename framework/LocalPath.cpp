// Local paths in the long form, and which paths a page may name (see LocalPath.h).
#include "framework/LocalPath.h"

#include <array>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fw {
namespace {

// Where the system stops taking a path in its plain form.
constexpr std::size_t kShortPathLimit = 260;

// "\\?\" is the long form; "\\.\" hands the rest to the system's namespace as "\\?\" does, after
// resolving it like any other path.
constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Characters that no file name holds: the system reads some of them as wildcards or separators.
bool IsForbiddenInName(wchar_t c) {
    return c < 0x20 || c == L'"' || c == L'*' || c == L'/' || c == L'<' || c == L'>' || c == L'?' || c == L'|';
}

// Dots and blanks alone (or nothing): ".", ".." and what the system trims down to them ("...", ". ").
bool IsDotsAndBlanks(std::wstring_view component) {
    return component.find_first_not_of(L". ") == std::wstring_view::npos;
}

// A name that the system opens as a device in any folder ("NUL", "con .txt", "COM1.log", "aux:x").
bool IsDeviceName(std::wstring_view name) {
    std::wstring_view base = name.substr(0, name.find_first_of(L".:"));
    while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
    std::wstring upper;
    for (wchar_t c : base) upper.push_back(AsciiUpper(c));
    static constexpr std::array<std::wstring_view, 6> kFixed = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (std::wstring_view device : kFixed) {
        if (upper == device) return true;
    }
    // COM1 to COM9 and LPT1 to LPT9, also with a superscript digit.
    if (upper.size() != 4 || (upper.compare(0, 3, L"COM") != 0 && upper.compare(0, 3, L"LPT") != 0)) return false;
    const wchar_t digit = upper[3];
    return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

}  // namespace

std::wstring FileApiPath(std::wstring_view path) {
    std::wstring api(path);
    if (api.size() < kShortPathLimit || api.compare(0, 4, kLongPrefix) == 0) return api;
    if (api.find(L'/') != std::wstring::npos || api.find(L"\\.\\") != std::wstring::npos ||
        api.find(L"\\..") != std::wstring::npos) {
        return api;
    }
    const bool drivePath = api.size() > 2 && api[1] == L':' && api[2] == L'\\';
    const bool uncPath = api.compare(0, 2, L"\\\\") == 0;
    if (drivePath) return std::wstring(kLongPrefix) + api;
    if (uncPath) return L"\\\\?\\UNC\\" + api.substr(2);
    return api;
}

std::wstring FileNameOf(std::wstring_view path) {
    size_t cut = path.rfind(L'/');
    if (cut == std::wstring_view::npos) cut = path.rfind(L'\\');
    return std::wstring(cut == std::wstring_view::npos ? path : path.substr(cut + 1));
}

bool IsDrivePath(std::wstring_view resolved) {
    std::wstring_view rest = resolved;
    const bool prefixed = rest.substr(0, 4) == kLongPrefix || rest.substr(0, 4) == kDevicePrefix;
    if (prefixed) rest.remove_prefix(4);
    // The system opens a plain drive path in the long form, four characters longer.
    if (rest.size() + 4 > kMaxLongPath) return false;
    // "X:" alone, after a prefix, is the volume itself rather than its root folder.
    if (rest.size() < 3 || !IsAsciiLetter(rest[0]) || rest[1] != L':' || rest[2] != L'\\') return false;
    rest.remove_prefix(3);
    // A folder's closing "\" leaves no component behind; an empty one is a doubled "\".
    std::wstring_view last;
    while (!rest.empty()) {
        const std::size_t end = rest.find(L'\\');
        last = rest.substr(0, end);
        if (IsDotsAndBlanks(last)) return false;
        for (wchar_t c : last) {
            if (IsForbiddenInName(c)) return false;
        }
        rest = end == std::wstring_view::npos ? std::wstring_view() : rest.substr(end + 1);
    }
    return last.empty() || !IsDeviceName(last);
}

#ifdef _WIN32
std::optional<std::wstring> ResolveDrivePath(std::wstring_view path) {
    // GetFullPathNameW would stop at a NUL and judge a shorter text than the page gave.
    if (path.empty() || path.size() > kMaxLongPath || path.find(L'\0') != std::wstring_view::npos) return {};
    const std::wstring given(path);
    std::wstring full(kShortPathLimit, L'\0');
    // Another thread may change the current folder between two calls: a few tries, then none.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0 || length > kMaxLongPath + 1) return {};
        if (length < full.size()) {
            full.resize(length);
            if (!IsDrivePath(full)) return {};
            return full;
        }
        // Too small: length counts the closing NUL.
        full.assign(length, L'\0');
    }
    return {};
}
#endif

}  // namespace fw
