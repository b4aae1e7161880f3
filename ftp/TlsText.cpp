// The TLS layer's texts and readings (see TlsText.h and NormalizePin in TlsConnection.h).
#include "ftp/TlsText.h"

#include "ftp/Decimal.h"
#include "ftp/TlsConnection.h"

#include <algorithm>

namespace nsTls {

std::string HexDigits(const unsigned char* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string NormalizePin(std::string_view pin) {
    // As tools print it: upper or lower case, pairs maybe separated by ":"; nothing else.
    std::string digits;
    for (const char c : pin) {
        if (c == ':') continue;
        if (nsFTP::IsDigit(c)) {
            digits += c;
        } else if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
            digits += static_cast<char>(c | 0x20);
        } else {
            return {};
        }
    }
    return digits.size() == 64 ? digits : std::string();
}

bool IsAddress(std::string_view host) {
    int parts = 0;
    std::size_t at = 0;
    while (at <= host.size()) {
        const std::size_t end = std::min(host.find('.', at), host.size());
        const std::string_view part = host.substr(at, end - at);
        // No leading zero: the system reads "010" as octal (8), which is not the address checked.
        if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0')) return false;
        int value = 0;
        for (const char c : part) {
            if (!nsFTP::IsDigit(c)) return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255) return false;
        ++parts;
        at = end + 1;
    }
    return parts == 4;
}

std::string CertificateRefused(std::string_view reason) {
    return "the server's certificate is not trusted: " + std::string(reason);
}

std::string PinRefused(std::string_view fingerprint) {
    return "the server's certificate does not match the pin (its SHA-256 is " + std::string(fingerprint) + ")";
}

}  // namespace nsTls
