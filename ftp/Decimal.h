// Decimal numbers in text: the one digit test and the one reader of unsigned decimals, bounded
// whatever the input.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace nsFTP {

constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The leading digits of text as an unsigned number, saturated at 2^64 - 1 (a number beyond it
// is none that any size or count can equal); used says how many characters were digits.
std::uint64_t LeadingDecimal(std::string_view text, std::size_t* used = nullptr) noexcept;

// text as an unsigned decimal: digits only, at least one (saturated as above); nothing otherwise.
std::optional<std::uint64_t> ReadDecimal(std::string_view text) noexcept;

}  // namespace nsFTP
