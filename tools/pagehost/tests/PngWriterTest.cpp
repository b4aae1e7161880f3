// PNG writer: checksums against published values, and the layout of a small image's file.
#include "tools/pagehost/PngWriter.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace pagehost {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

std::uint32_t bigEndianAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

TEST(PngWriterTest, Checksums) {
    struct Case {
        std::string_view text;
        std::uint32_t crc;
        std::uint32_t adler;
    };
    const Case cases[] = {
        {"", 0x00000000, 0x00000001},
        {"IEND", 0xAE426082, 0x02D70121},
        {"123456789", 0xCBF43926, 0x091E01DE},
        {"Wikipedia", 0xADAAC02E, 0x11E60398},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(crc32(bytesOf(c.text)), c.crc);
        EXPECT_EQ(adler32(bytesOf(c.text)), c.adler);
    }
}

TEST(PngWriterTest, SmallImageLayout) {
    const std::vector<std::uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
    const auto png = encodePng(2, 2, rgb);
    const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GT(png.size(), 8u + 25u + 12u);
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
    EXPECT_EQ(bigEndianAt(png, 8), 13u);  // IHDR length
    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(&png[12]), 4), "IHDR");
    EXPECT_EQ(bigEndianAt(png, 16), 2u);
    EXPECT_EQ(bigEndianAt(png, 20), 2u);
    EXPECT_EQ(bigEndianAt(png, 29), crc32(std::span(png).subspan(12, 17)));
    // IDAT: zlib header, one final stored block of 2 rows * (1 filter byte + 6 pixel bytes), Adler-32.
    const std::size_t idat = 33;
    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(&png[idat + 4]), 4), "IDAT");
    EXPECT_EQ(bigEndianAt(png, idat), 2u + 5u + 14u + 4u);
    EXPECT_EQ(png[idat + 10], 1);  // BFINAL, stored
    EXPECT_EQ(png[idat + 11], 14);
    EXPECT_EQ(png[idat + 13], 0xFF - 14);
    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(&png[png.size() - 8]), 4), "IEND");
}

TEST(PngWriterTest, LargeImageSplitsIntoStoredBlocks) {
    const std::uint32_t width = 200;
    const std::uint32_t height = 200;  // 120,200 bytes of rows: two stored blocks
    const std::vector<std::uint8_t> rgb(std::size_t{width} * height * 3, 0x7F);
    const auto png = encodePng(width, height, rgb);
    const std::size_t idat = 33;
    const std::uint32_t length = bigEndianAt(png, idat);
    EXPECT_EQ(length, 2u + (5u + 65535u) + (5u + (120200u - 65535u)) + 4u);
    EXPECT_EQ(png[idat + 10], 0);  // first block not final
    EXPECT_EQ(png[idat + 10 + 5 + 65535], 1);
}

}  // namespace
}  // namespace pagehost
