// libFuzzer target: arbitrary bytes as SIZE, MDTM and PWD replies; what is taken comes from the reply.
#include <algorithm>
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

bool IsDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void CheckSize(std::string_view reply) {
    const std::optional<std::int64_t> size = nsFTP::SizeOfReply(reply);
    if (!size) return;
    Require(*size >= 0);
    Require(reply.size() > 4 && reply[4] >= '0' && reply[4] <= '9');
    // The number read is the run of digits written there (leading zeros aside).
    const std::string_view digits = reply.substr(4, reply.find_first_not_of("0123456789", 4) - 4);
    Require(std::to_string(*size) == (digits.find_first_not_of('0') == std::string_view::npos
                                          ? std::string("0")
                                          : std::string(digits.substr(digits.find_first_not_of('0')))));
}

void CheckTimestamp(std::string_view reply) {
    const std::string stamp = nsFTP::TimestampOfReply(reply);
    if (stamp.empty()) return;
    Require(stamp.size() == 14 && IsDigits(stamp));
    Require(reply.substr(4, 14) == stamp);
}

void CheckDirectory(std::string_view reply) {
    const std::string directory = nsFTP::DirectoryOfReply(reply);
    const std::string_view firstLine = reply.substr(0, reply.find('\n'));
    Require(directory.size() <= firstLine.size());
    Require(directory.find('\n') == std::string::npos);
    // A directory written as RFC 959 quotes it reads back whole.
    if (firstLine.find('\r') == std::string_view::npos) {
        std::string quoted = "257 \"";
        for (const char c : firstLine) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        quoted += "\" is the current directory";
        Require(nsFTP::DirectoryOfReply(quoted) == firstLine);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    CheckSize(reply);
    CheckTimestamp(reply);
    CheckDirectory(reply);
    return 0;
}
