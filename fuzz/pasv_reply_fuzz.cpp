// libFuzzer target: arbitrary bytes as a PASV reply; accepted numbers are bytes and read back the same.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "ftp/ReplyFields.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    const std::optional<std::array<int, 6>> numbers = nsFTP::PassiveNumbersOfReply(reply);
    if (!numbers) return 0;
    Require(reply.find('(') != std::string_view::npos);
    std::string written = "227 Entering Passive Mode (";
    for (std::size_t i = 0; i < numbers->size(); ++i) {
        const int number = (*numbers)[i];
        Require(number >= 0 && number <= 255);
        written += std::to_string(number) + (i + 1 < numbers->size() ? "," : ")");
    }
    // What was accepted, written as servers write it, reads back as the same six numbers.
    Require(nsFTP::PassiveNumbersOfReply(written) == numbers);
    return 0;
}
