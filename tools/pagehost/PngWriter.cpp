// A minimal PNG encoder: 8-bit RGB, zlib stream of stored blocks, no dependencies.
#include "tools/pagehost/PngWriter.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace pagehost {
namespace {

constexpr std::size_t kMaxStoredBlock = 65535;

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}
constexpr auto kCrcTable = makeCrcTable();

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void putChunk(std::vector<std::uint8_t>& out, std::string_view type, std::span<const std::uint8_t> data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(out, crc32(std::span(out).subspan(typeAt)));
}

// zlib stream (RFC 1950) holding the data in stored deflate blocks (RFC 1951, BTYPE 00).
std::vector<std::uint8_t> storeZlib(std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> out{0x78, 0x01};
    std::size_t offset = 0;
    do {
        const std::size_t size = std::min(kMaxStoredBlock, data.size() - offset);
        const bool last = offset + size == data.size();
        out.push_back(last ? 1 : 0);
        const auto len = static_cast<std::uint16_t>(size);
        const auto nlen = static_cast<std::uint16_t>(~len);
        out.insert(out.end(), {static_cast<std::uint8_t>(len), static_cast<std::uint8_t>(len >> 8),
                               static_cast<std::uint8_t>(nlen), static_cast<std::uint8_t>(nlen >> 8)});
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(offset),
                   data.begin() + static_cast<std::ptrdiff_t>(offset + size));
        offset += size;
    } while (offset < data.size());
    putBigEndian(out, adler32(data));
    return out;
}

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
    crc = ~crc;
    for (const std::uint8_t byte : bytes) {
        crc = kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

std::uint32_t adler32(std::span<const std::uint8_t> bytes) {
    constexpr std::uint32_t kModulus = 65521;
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const std::uint8_t byte : bytes) {
        a = (a + byte) % kModulus;
        b = (b + a) % kModulus;
    }
    return (b << 16) | a;
}

std::vector<std::uint8_t> encodePng(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgb) {
    const std::size_t rowBytes = std::size_t{width} * 3;
    std::vector<std::uint8_t> raw;
    raw.reserve((rowBytes + 1) * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);  // filter type None
        const auto row = rgb.subspan(y * rowBytes, rowBytes);
        raw.insert(raw.end(), row.begin(), row.end());
    }

    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    putBigEndian(header, width);
    putBigEndian(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", storeZlib(raw));
    putChunk(png, "IEND", {});
    return png;
}

}  // namespace pagehost
