// Decimal numbers in text: the one digit test and the one reader of decimals, bounded whatever
// the input; callers keep their own rules for signs and ranges on top of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace nsFTP {

constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The blanks C's number readers (strtol, atoi) skip: space, \t, \n, \v, \f, \r.
constexpr bool IsCBlank(char c) noexcept { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The leading digits of text as an unsigned number, saturated at 2^64 - 1 (a number beyond it
// is none that any size or count can equal); used says how many characters were digits. Inline:
// the listing parser reads most of its fields through it.
constexpr std::uint64_t LeadingDecimal(std::string_view text, std::size_t* used = nullptr) noexcept {
    std::uint64_t value = 0;
    std::size_t at = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
        const auto digit = static_cast<std::uint64_t>(text[at] - '0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
    }
    if (used) *used = at;
    return value;
}

// text as an unsigned decimal: digits only, at least one (saturated as above); nothing otherwise.
std::optional<std::uint64_t> ReadDecimal(std::string_view text) noexcept;

// What C's number readers take from the start of a text: blanks, one sign, digits. The magnitude
// is saturated as above; each caller brings it into its own range.
struct SignedDecimal {
    bool negative = false;
    std::uint64_t magnitude = 0;
    std::size_t digits = 0;  // none: nothing was converted
    std::size_t used = 0;    // the characters taken: blanks, sign and digits (0 without digits)
};
SignedDecimal LeadingSignedDecimal(std::string_view text) noexcept;

}  // namespace nsFTP
