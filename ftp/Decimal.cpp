// Decimal numbers in text (see Decimal.h).
#include "ftp/Decimal.h"

namespace nsFTP {

std::uint64_t LeadingDecimal(std::string_view text, std::size_t* used) noexcept {
    std::uint64_t value = 0;
    std::size_t at = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
        const auto digit = static_cast<std::uint64_t>(text[at] - '0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
    }
    if (used) *used = at;
    return value;
}

std::optional<std::uint64_t> ReadDecimal(std::string_view text) noexcept {
    std::size_t used = 0;
    const std::uint64_t value = LeadingDecimal(text, &used);
    if (used == 0 || used != text.size()) return std::nullopt;
    return value;
}

}  // namespace nsFTP
