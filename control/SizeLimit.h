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

// The page's limit on the list and the total the list counts against it. Compatibility: the two
// modes pages set (docs/page-guide.md, "The size limit: two modes"). While the 32-bit limit
// (totalSize) is non-zero it rules and the list counts in 32 bits (currentSize); else the 64-bit
// limit (totalSizeStr) rules and the list counts in 64 bits (currentSizeStr), where a limit of 0
// means that the page gave none, and nothing may be listed.
class SizeLimit {
public:
    // The limits as the page set them (its properties and stored state).
    std::uint32_t limit32 = 0;
    std::uint64_t limit64 = 0;

    // The totals as the page reads them.
    std::uint32_t Counted32() const { return counted32_; }
    std::uint64_t Counted64() const { return counted64_; }

    // What the limit says to one more file of size bytes.
    LimitVerdict Judge(std::uint64_t size) const {
        return JudgeLimit({limit32, counted32_, limit64, counted64_}, size);
    }
    // A file the limit took is listed; one is taken off the list (the totals never go below 0);
    // the list is emptied.
    void Add(std::uint32_t size);
    void Remove(std::uint32_t size);
    void Clear();

    // Whether the list's totals are over the limits (the check before an upload starts).
    bool Exceeded() const { return counted32_ > limit32 || counted64_ > limit64; }
    // The limit in force and the total counted against it, in 64 bits: the rules that hold again
    // when each file is opened to be sent.
    std::uint64_t LimitInForce() const { return limit32 != 0 ? limit32 : limit64; }
    std::uint64_t CountedInForce() const { return limit32 != 0 ? counted32_ : counted64_; }

private:
    std::uint32_t counted32_ = 0;
    std::uint64_t counted64_ = 0;
};

}  // namespace tovalo
