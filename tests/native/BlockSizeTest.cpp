// The upload's block-size rule: write durations in, block sizes out.
#include "upload/BlockSize.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tovalo::upload {
namespace {

constexpr std::uint64_t kMs = 1000;
constexpr std::uint32_t kKiB = 1024;

TEST(BlockSizer, GrowsWhileQuickShrinksWhenSlow) {
    struct Write {
        std::uint64_t micros;
        std::uint32_t bytes = 0;  // 0: a full block of the current size
    };
    const struct {
        const char* label;
        std::vector<Write> writes;
        std::vector<std::uint32_t> sizes;  // after each write, in KiB
    } cases[] = {
        {"a fast link doubles up to 256 KiB and stays",
         {{1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}},
         {2, 4, 8, 16, 32, 64, 128, 256, 256, 256}},
        {"between 20 and 50 ms the size holds", {{1}, {20 * kMs}, {35 * kMs}, {50 * kMs}}, {2, 2, 2, 2}},
        {"just over 50 ms: at least a halving, down to what 20 ms sends at that rate",
         {{1}, {1}, {1}, {51 * kMs}, {51 * kMs}, {26 * kMs}, {1}},
         {2, 4, 8, 2, 1, 1, 2}},
        {"never below 1 KiB", {{60 * kMs}, {5000 * kMs}}, {1, 1}},
        {"a 256 KiB block that met a full buffer of a 64 KiB/s link falls to what 20 ms sends",
         {{1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {4000 * kMs}},
         {2, 4, 8, 16, 32, 64, 128, 256, 1}},
        {"at 1 MiB/s the same fall lands on 16 KiB, then grows no further while writes take 16 ms",
         {{1}, {1}, {1}, {1}, {1}, {1}, {1}, {1}, {250 * kMs}, {16 * kMs}, {31 * kMs}},
         {2, 4, 8, 16, 32, 64, 128, 256, 16, 32, 32}},
        {"a quick short last block does not grow the size", {{1, 100}, {1, 1023}, {1, 1024}}, {1, 1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(c.writes.size(), c.sizes.size());
        BlockSizer sizer;
        EXPECT_EQ(sizer.Size(), 1 * kKiB);
        for (size_t i = 0; i < c.writes.size(); ++i) {
            const Write& write = c.writes[i];
            sizer.Record(write.bytes ? write.bytes : sizer.Size(), write.micros);
            EXPECT_EQ(sizer.Size(), c.sizes[i] * kKiB) << "after write " << i;
        }
    }
}

}  // namespace
}  // namespace tovalo::upload
