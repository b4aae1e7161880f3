// libFuzzer target: arbitrary text as a page's totalSizeStr, read as a 64-bit number and written back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "control/DecimalText.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// The same reading done the slow way, in 128 bits, clamped once at the end.
std::int64_t Reference(std::string_view text) {
    std::size_t i = text.find_first_not_of(" \t\n\r\v\f");
    if (i == std::string_view::npos) return 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    __int128 value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > (static_cast<__int128>(1) << 64)) value = static_cast<__int128>(1) << 64;  // saturated
    }
    if (negative) value = -value;
    if (value > INT64_MAX) return INT64_MAX;
    if (value < INT64_MIN) return INT64_MIN;
    return static_cast<std::int64_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::int64_t value = tovalo::ParseInt64(text);
    Require(value == Reference(text));
    // The getter writes the stored value as unsigned decimal; the setter reads that text back.
    const auto stored = static_cast<std::uint64_t>(value);
    const std::string written = tovalo::FormatU64(stored);
    Require(!written.empty() && written.size() <= 20 && written.find_first_not_of("0123456789") == std::string::npos);
    const std::int64_t reread = tovalo::ParseInt64(written);
    Require(stored <= INT64_MAX ? reread == value : reread == INT64_MAX);
    return 0;
}
