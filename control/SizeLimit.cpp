// The size rules of the list (see SizeLimit.h).
#include "control/SizeLimit.h"

namespace tovalo {

bool FitsUnderLimit(std::uint64_t limit, std::uint64_t current, std::uint64_t size) {
    return size < limit && current < limit - size;
}

LimitVerdict JudgeLimit(const SizeTotals& totals, std::uint64_t size) {
    if (totals.limit32 != 0) {
        return FitsUnderLimit(totals.limit32, totals.current32, size) ? LimitVerdict::kFits : LimitVerdict::kOverLimit;
    }
    if (totals.limit64 == 0) return LimitVerdict::kNoLimit;
    return FitsUnderLimit(totals.limit64, totals.current64, size) ? LimitVerdict::kFits : LimitVerdict::kOverLimit;
}

void SizeLimit::Add(std::uint32_t size) {
    if (limit32 != 0) {
        counted32_ += size;
    } else {
        counted64_ += size;
    }
}

void SizeLimit::Remove(std::uint32_t size) {
    // Compatibility: taken off whichever total is non-zero, the 32-bit one first, whatever the mode
    // (a page that switched modes with files listed reads its totals so).
    if (counted32_ != 0) {
        counted32_ = counted32_ > size ? counted32_ - size : 0;
    } else if (counted64_ != 0) {
        counted64_ = counted64_ > size ? counted64_ - size : 0;
    }
}

void SizeLimit::Clear() {
    counted32_ = 0;
    counted64_ = 0;
}

}  // namespace tovalo
