// The decimal texts of the 64-bit size properties (totalSizeStr, currentSizeStr): reading a
// page's text as a number and writing a number back, with no Windows call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tovalo {

// A signed 64-bit decimal number: leading blanks skipped, optional sign, digits up to the first
// other character; no digits gives 0. Values beyond the range stop at its ends.
std::int64_t ParseInt64(std::string_view text);

// The unsigned decimal form ("%I64u").
std::string FormatU64(std::uint64_t value);

}  // namespace tovalo
