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

namespace {

// One character of wide from at: a surrogate pair, or one unit (a lone surrogate included).
size_t CharacterLength(std::wstring_view wide, size_t at) {
    const bool pair = at + 1 < wide.size() && IS_HIGH_SURROGATE(wide[at]) && IS_LOW_SURROGATE(wide[at + 1]);
    return pair ? 2 : 1;
}

// The ANSI bytes of one character, or false when the code page has no such character.
bool AnsiCharacter(std::wstring_view character, std::string& out) {
    char bytes[8];
    BOOL usedDefault = FALSE;
    const int length =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, character.data(), static_cast<int>(character.size()), bytes,
                              sizeof bytes, nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return false;
    out.append(bytes, static_cast<size_t>(length));
    return true;
}

}  // namespace

std::string ToAnsiReplacing(std::wstring_view wide, char replacement) {
    if (wide.empty() || wide.size() > static_cast<size_t>(std::numeric_limits<int>::max() / 2)) return {};
    // A system whose code page is UTF-8 holds every character (and takes no default character).
    const UINT codePage = ::GetACP();
    if (codePage == CP_UTF8 || codePage == CP_UTF7) return ToAnsi(wide);
    // Most names convert whole; only a name with a character the code page lacks goes one by one.
    std::string whole(wide.size() * 2, '\0');
    BOOL usedDefault = FALSE;
    const int wholeLength =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), whole.data(),
                              static_cast<int>(whole.size()), nullptr, &usedDefault);
    if (wholeLength > 0 && !usedDefault) {
        whole.resize(static_cast<size_t>(wholeLength));
        return whole;
    }
    std::string out;
    out.reserve(wide.size());
    for (size_t at = 0; at < wide.size();) {
        const size_t length = CharacterLength(wide, at);
        if (!AnsiCharacter(wide.substr(at, length), out)) out += replacement;
        at += length;
    }
    return out;
}

std::string ToAnsiPrefix(std::wstring_view wide, size_t maxBytes) {
    std::string out;
    for (size_t at = 0; at < wide.size();) {
        const size_t length = CharacterLength(wide, at);
        const std::string whole = ToAnsi(wide.substr(at, length));
        if (out.size() + whole.size() > maxBytes) break;
        out += whole;
        at += length;
    }
    return out;
}

std::string AnsiFromBstr(BSTR b) { return b ? ToAnsi(std::wstring_view(b, ::SysStringLen(b))) : std::string(); }

BSTR BstrFromAnsi(std::string_view ansi) {
    const std::wstring wide = ToWide(ansi);
    return ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace fw
