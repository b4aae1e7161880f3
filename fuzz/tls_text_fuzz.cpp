// libFuzzer target: arbitrary text as a certificate pin (from a page's ftpCertPin or --pin-sha256)
// and as the host a certificate is checked against; the readings must hold their promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ftp/TlsConnection.h"
#include "ftp/TlsText.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string pin = nsTls::NormalizePin(text);
    // Either nothing, or exactly what a fingerprint is compared as, and read again unchanged.
    Require(pin.empty() || pin.size() == 64);
    for (const char c : pin) Require(IsLowerHex(c));
    Require(nsTls::NormalizePin(pin) == pin);
    // An address is four dotted numbers of 0 to 255 with no leading zero, nothing else.
    if (nsTls::IsAddress(text)) {
        int dots = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            Require((c >= '0' && c <= '9') || c == '.');
            dots += c == '.';
            const bool starts = i == 0 || text[i - 1] == '.';
            Require(!(starts && c == '0' && i + 1 < text.size() && text[i + 1] != '.'));
        }
        Require(dots == 3 && text.size() <= 15);
    }
    const std::string hex = nsTls::HexDigits(data, size);
    Require(hex.size() == size * 2);
    return 0;
}
