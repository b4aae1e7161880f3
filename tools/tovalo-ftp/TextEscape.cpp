// C-style escaping of the texts that tovalo-ftp prints from a server.
#include "tools/tovalo-ftp/TextEscape.h"

#include <cstring>

namespace nsFtpCli {
namespace {

// The lead byte of a UTF-8 C1 control and the range of its second byte.
constexpr unsigned char kC1Lead = 0xc2;
constexpr unsigned char kC1First = 0x80;
constexpr unsigned char kC1Last = 0x9f;

constexpr bool NeedsEscape(unsigned char c) noexcept { return c < 0x20 || c == 0x7f || c == '\\' || c == kC1Lead; }

char* WriteOctal(char* p, unsigned char c) noexcept {
    *p++ = '\\';
    *p++ = static_cast<char>('0' + (c >> 6));
    *p++ = static_cast<char>('0' + ((c >> 3) & 7));
    *p++ = static_cast<char>('0' + (c & 7));
    return p;
}

}  // namespace

char* WriteEscaped(char* p, std::string_view text) noexcept {
    if (text.empty()) return p;
    std::size_t plain = 0;  // start of the run of bytes not yet copied
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!NeedsEscape(c)) continue;
        const bool c1 = c == kC1Lead && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= kC1First &&
                        static_cast<unsigned char>(text[i + 1]) <= kC1Last;
        if (c == kC1Lead && !c1) continue;
        std::memcpy(p, text.data() + plain, i - plain);
        p += i - plain;
        *p++ = '\\';
        switch (c) {
        case '\t':
            *p++ = 't';
            break;
        case '\n':
            *p++ = 'n';
            break;
        case '\r':
            *p++ = 'r';
            break;
        case '\\':
            *p++ = '\\';
            break;
        default:
            p = WriteOctal(p - 1, c);
            if (c1) p = WriteOctal(p, static_cast<unsigned char>(text[++i]));
            break;
        }
        plain = i + 1;
    }
    std::memcpy(p, text.data() + plain, text.size() - plain);
    return p + (text.size() - plain);
}

void AppendEscaped(std::string& out, std::string_view text) {
    const std::size_t start = out.size();
    out.resize(start + kEscapedPerByte * text.size());
    char* const end = WriteEscaped(out.data() + start, text);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string Escaped(std::string_view text) {
    std::string out;
    AppendEscaped(out, text);
    return out;
}

}  // namespace nsFtpCli
