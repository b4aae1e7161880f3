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

}  // namespace tovalo
