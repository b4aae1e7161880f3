// The size rules of the list: the largest file taken, and the page's limit on the whole list.
#pragma once

#include <cstdint>

namespace tovalo {

// Larger files must be split before they are attached; exactly 1 GiB is still taken.
inline constexpr std::uint64_t kMaxFileSize = 0x40000000;

// Whether a file of size bytes may join a list holding current bytes under the strict limit
// (current + size < limit), without the sum wrapping whatever the operands.
bool FitsUnderLimit(std::uint64_t limit, std::uint64_t current, std::uint64_t size);

// What the size limit says to one more file. The list counts in 32 bits while a 32-bit limit is
// set (non-zero), else in 64 bits, where a limit of 0 means the page gave none.
enum class LimitVerdict { kFits, kOverLimit, kNoLimit };
struct SizeTotals {
    std::uint32_t limit32;
    std::uint32_t current32;
    std::uint64_t limit64;
    std::uint64_t current64;
};
LimitVerdict JudgeLimit(const SizeTotals& totals, std::uint64_t size);

// total - amount, or 0 when amount is not smaller.
inline std::uint64_t SaturatingSubtract(std::uint64_t total, std::uint64_t amount) {
    return total > amount ? total - amount : 0;
}

}  // namespace tovalo
