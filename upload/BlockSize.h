// How big each block of a file is, so that an upload runs at the link's speed while the dialog
// still answers its buttons between two blocks. Portable and pure: it learns only from how long
// each write took.
#pragma once

#include <cstdint>

namespace tovalo::upload {

class BlockSizer {
public:
    // 1 KiB: a block's write on the slowest links (a modem's 4 KiB/s) still returns within
    // about a quarter of a second. 256 KiB: beyond it a local link gains nothing measurable
    // under Wine (584 MB/s at 256 KiB, about as fast as the server writes to its disk).
    static constexpr std::uint32_t kSmallest = 1024;
    static constexpr std::uint32_t kLargest = 256 * 1024;
    // A write that returns within 20 ms leaves the dialog answering at once: the block doubles.
    // One that takes over 50 ms has met a full socket buffer, and the next click would wait that
    // long: the block falls at once to what the write's own rate sends in 20 ms (a power of two,
    // so at least a halving), rather than halving step by step, which after a block grown to
    // 256 KiB while the buffers were filling would hold the dialog for seconds on a slow link.
    static constexpr std::uint64_t kQuickMicros = 20000;
    static constexpr std::uint64_t kSlowMicros = 50000;

    std::uint32_t Size() const { return size_; }

    // The write of `bytes` (the block just sent) took `micros`.
    void Record(std::uint32_t bytes, std::uint64_t micros);

private:
    std::uint32_t size_ = kSmallest;
};

}  // namespace tovalo::upload
