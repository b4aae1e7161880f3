// Reading the values of PASV, SIZE, MDTM and PWD replies: every length checked, nothing trusted.
#include "ftp/ReplyFields.h"

#include "ftp/Decimal.h"

#include <algorithm>
#include <charconv>

namespace nsFTP {

std::optional<std::array<int, 6>> PassiveNumbersOfReply(std::string_view reply) noexcept {
    const std::size_t open = reply.find('(');
    if (open == std::string_view::npos) return std::nullopt;
    const char* at = reply.data() + open + 1;
    const char* const end = reply.data() + reply.size();
    std::array<int, 6> numbers{};
    int separators = 0;
    for (int& number : numbers) {
        while (at != end && *at == ' ') ++at;
        const auto [next, error] = std::from_chars(at, end, number);
        if (error != std::errc() || next == end || number < 0 || number > 255) return std::nullopt;
        separators += static_cast<unsigned char>(*next);
        at = next + 1;
    }
    if (separators != 5 * ',' + ')') return std::nullopt;
    return numbers;
}

std::optional<std::int64_t> SizeOfReply(std::string_view reply) noexcept {
    if (reply.size() <= 4) return std::nullopt;
    const std::string_view text = reply.substr(4);
    // A size is never negative: a sign is no part of one.
    if (text.empty() || !IsDigit(text.front())) return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    static_cast<void>(end);
    if (error != std::errc()) return std::nullopt;
    return value;
}

std::string TimestampOfReply(std::string_view reply) {
    if (reply.size() <= 17) return {};
    std::string_view stamp = reply.substr(4);
    stamp = stamp.substr(0, stamp.find('.'));
    const bool digits = std::all_of(stamp.begin(), stamp.end(), IsDigit);
    return stamp.size() == 14 && digits ? std::string(stamp) : std::string();
}

std::string DirectoryOfReply(std::string_view reply) {
    std::string_view firstLine = reply.substr(0, reply.find('\n'));
    if (!firstLine.empty() && firstLine.back() == '\r') firstLine.remove_suffix(1);
    const std::size_t open = firstLine.find('"');
    if (open == std::string_view::npos) return firstLine.size() > 4 ? std::string(firstLine.substr(4)) : std::string();
    std::string directory;
    for (std::size_t at = open + 1; at < firstLine.size(); ++at) {
        if (firstLine[at] != '"')
            directory += firstLine[at];
        else if (at + 1 < firstLine.size() && firstLine[at + 1] == '"')
            directory += firstLine[++at];
        else
            break;
    }
    return directory;
}

}  // namespace nsFTP
