// The block-size rule of an upload (see BlockSize.h).
#include "upload/BlockSize.h"

#include <algorithm>

namespace tovalo::upload {
namespace {

// The largest power of two not above n (n >= 1).
std::uint64_t FloorPowerOfTwo(std::uint64_t n) {
    std::uint64_t power = 1;
    while (power <= n / 2) power *= 2;
    return power;
}

}  // namespace

void BlockSizer::Record(std::uint32_t bytes, std::uint64_t micros) {
    if (micros < kQuickMicros) {
        // A short last block of a file says nothing about the link; only a full one grows it.
        if (bytes >= size_) size_ = std::min(size_ * 2, kLargest);
        return;
    }
    if (micros <= kSlowMicros) return;
    const std::uint64_t atRate = std::uint64_t{bytes} * kQuickMicros / micros;
    const std::uint64_t next = std::min<std::uint64_t>(size_ / 2, FloorPowerOfTwo(std::max<std::uint64_t>(atRate, 1)));
    size_ = static_cast<std::uint32_t>(std::max<std::uint64_t>(next, kSmallest));
}

}  // namespace tovalo::upload
