// The list's size rules at send time (see SendLimits.h).
#include "upload/SendLimits.h"

namespace tovalo::upload {
namespace {

// The total with one file's listed size replaced by another, never wrapping.
std::uint64_t Replace(std::uint64_t total, std::uint64_t listed, std::uint64_t found) {
    const std::uint64_t others = total > listed ? total - listed : 0;
    return found > UINT64_MAX - others ? UINT64_MAX : others + found;
}

}  // namespace

SendRule SendLimits::Judge(std::uint64_t listed, std::uint64_t found) const {
    if (found > maxFile_) return SendRule::kOverFileMaximum;
    if (limited_ && Replace(total_, listed, found) > limit_) return SendRule::kOverPageLimit;
    return SendRule::kFits;
}

void SendLimits::Sent(std::uint64_t listed, std::uint64_t stored) { total_ = Replace(total_, listed, stored); }

}  // namespace tovalo::upload
