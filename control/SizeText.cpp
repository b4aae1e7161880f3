// A file's size as the list shows it (see SizeText.h).
#include "control/SizeText.h"

#include <cstdio>

namespace tovalo {

std::string SizeText(std::uint32_t size) {
    const auto bytes = static_cast<std::int32_t>(size);
    char text[48];
    if (bytes <= 1024) {
        std::snprintf(text, sizeof text, "%d Bytes", static_cast<int>(bytes));
        return text;
    }
    // The bytes below a whole kilobyte are dropped before any further step.
    const double kilo = static_cast<double>(bytes / 1024);
    if (kilo <= 1024) {
        std::snprintf(text, sizeof text, "%0.1f KBytes", kilo);
        return text;
    }
    const double mega = kilo / 1024;
    if (mega <= 1024) {
        std::snprintf(text, sizeof text, "%0.1f MBytes", mega);
    } else {
        std::snprintf(text, sizeof text, "%0.1f GBytes", mega / 1024);
    }
    return text;
}

int SizeCategory(std::uint64_t size) {
    if (size > 0xA00000) return 3;
    if (size > 0x500000) return 2;
    if (size > 0x100000) return 1;
    return 0;
}

}  // namespace tovalo
