// A file's size as the list shows it: the size column's text and the size-category icons.
#pragma once

#include <cstdint>
#include <string>

namespace tovalo {

// "1024 Bytes", "1.0 KBytes", "1024.0 KBytes", "1.0 MBytes", "1.0 GBytes": the size column.
// Compatibility: the size is read as a signed 32-bit count ("-1 Bytes" for 4 GiB - 1), as pages
// that read the list's cells have always seen it.
std::string SizeText(std::uint32_t size);

// The image of a row under the size-category icons: 0 up to 1 MiB, 1 up to 5 MiB, 2 up to 10 MiB,
// 3 above (each bound belongs to the lower category).
int SizeCategory(std::uint64_t size);

}  // namespace tovalo
