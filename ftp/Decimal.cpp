// Decimal numbers in text (see Decimal.h).
#include "ftp/Decimal.h"

namespace nsFTP {

std::optional<std::uint64_t> ReadDecimal(std::string_view text) noexcept {
    std::size_t used = 0;
    const std::uint64_t value = LeadingDecimal(text, &used);
    if (used == 0 || used != text.size()) return std::nullopt;
    return value;
}

SignedDecimal LeadingSignedDecimal(std::string_view text) noexcept {
    std::size_t at = 0;
    while (at < text.size() && IsCBlank(text[at])) ++at;
    SignedDecimal number;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) number.negative = text[at++] == '-';
    number.magnitude = LeadingDecimal(text.substr(at), &number.digits);
    number.used = number.digits ? at + number.digits : 0;
    return number;
}

}  // namespace nsFTP
