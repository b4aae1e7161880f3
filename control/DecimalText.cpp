// Decimal numbers in the page's texts (see DecimalText.h).
#include "control/DecimalText.h"

#include "ftp/Decimal.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <limits>

namespace tovalo {

std::int64_t ParseInt64(std::string_view text) {
    const nsFTP::SignedDecimal number = nsFTP::LeadingSignedDecimal(text);
    constexpr auto kMax = static_cast<std::uint64_t>(INT64_MAX);
    if (!number.negative) return static_cast<std::int64_t>(std::min(number.magnitude, kMax));
    return number.magnitude > kMax ? INT64_MIN : -static_cast<std::int64_t>(number.magnitude);
}

std::int32_t ParseLong(std::string_view text) {
    // A decimal long is the 64-bit reading stopped at the ends of the 32-bit range.
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(ParseInt64(text), kMin, kMax));
}

std::string FormatU64(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%" PRIu64, value);
    return text;
}

}  // namespace tovalo
