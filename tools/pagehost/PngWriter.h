// A minimal PNG encoder: 8-bit RGB, zlib stream of stored blocks, no dependencies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pagehost {

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);
std::uint32_t adler32(std::span<const std::uint8_t> bytes);

// rgb holds height rows of width * 3 bytes each, top row first.
std::vector<std::uint8_t> encodePng(std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgb);

}  // namespace pagehost
