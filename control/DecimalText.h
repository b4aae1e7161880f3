// Decimal numbers in the page's texts: the 64-bit size properties (totalSizeStr, currentSizeStr)
// read and written, and the sizes of server entries; no Windows call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tovalo {

// A signed 64-bit decimal number: leading blanks skipped, optional sign, digits up to the first
// other character; no digits gives 0. Values beyond the range stop at its ends.
std::int64_t ParseInt64(std::string_view text);

// A decimal number as C's strtol reads it into a 32-bit long (blanks, sign, digits; values beyond
// the range stop at its ends; no digits give 0).
std::int32_t ParseLong(std::string_view text);

// The unsigned decimal form ("%I64u").
std::string FormatU64(std::uint64_t value);

}  // namespace tovalo
