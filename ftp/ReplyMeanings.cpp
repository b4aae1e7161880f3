// What a server's replies mean to an upload (see ReplyMeanings.h).
#include "ftp/ReplyMeanings.h"

#include "ftp/Decimal.h"

namespace nsFTP {

std::string_view TrimLineEnds(std::string_view response) noexcept {
    while (!response.empty() && (response.back() == '\n' || response.back() == '\r')) response.remove_suffix(1);
    return response;
}

std::string_view LastReplyLine(std::string_view response) noexcept {
    std::string_view last;
    while (!response.empty()) {
        const std::size_t end = response.find('\n');
        std::string_view line = response.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // A reply's last line is "NNN text" (or just "NNN"); "NNN-text" opens a multi-line one.
        if (line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]) &&
            (line.size() == 3 || line[3] == ' ')) {
            last = line;
        }
        if (end == std::string_view::npos) break;
        response.remove_prefix(end + 1);
    }
    return last;
}

int LastReplyCode(std::string_view response) noexcept {
    const std::string_view line = LastReplyLine(response);
    return line.empty() ? 0 : static_cast<int>(LeadingDecimal(line.substr(0, 3)));
}

bool StoreRefused(std::string_view responseAfterClose) noexcept { return LastReplyCode(responseAfterClose) >= 400; }

bool FinalReplyMissing(std::string_view responseAfterClose) noexcept { return LastReplyCode(responseAfterClose) < 200; }

SizeReply ReadSizeReply(std::string_view response) noexcept {
    const int code = LastReplyCode(response);
    if (code == 500 || code == 502 || code == 504) return {SizeReply::Kind::kNoSizeCommand, 0};
    if (code != 213) return {};
    // "213 <digits>" on the reply's last line: blanks around the number and a leading "+" are
    // taken; anything else (no number, a sign, words) is no size, and so not the size sent.
    std::string_view number = LastReplyLine(response).substr(3);
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!number.empty() && blank(number.front())) number.remove_prefix(1);
    while (!number.empty() && blank(number.back())) number.remove_suffix(1);
    if (!number.empty() && number.front() == '+') number.remove_prefix(1);
    const std::optional<std::uint64_t> size = ReadDecimal(number);
    if (!size) return {SizeReply::Kind::kMalformed, 0};
    return {SizeReply::Kind::kSize, *size};
}

StoredSize JudgeStoredSize(std::string_view sizeResponse, std::uint64_t sent) noexcept {
    const SizeReply reply = ReadSizeReply(sizeResponse);
    if (reply.kind == SizeReply::Kind::kMalformed) return StoredSize::kDiffers;
    if (reply.kind != SizeReply::Kind::kSize) return StoredSize::kUnknown;
    return reply.size == sent ? StoredSize::kWhole : StoredSize::kDiffers;
}

LateStoreReply JudgeLateStoreReply(std::string_view response, std::uint64_t sent) noexcept {
    using Kind = LateStoreReply::Kind;
    const SizeReply size = ReadSizeReply(response);
    switch (size.kind) {
    case SizeReply::Kind::kNoSizeCommand:
        return {Kind::kNoSizeCommand, 0};
    case SizeReply::Kind::kMalformed:
        return {Kind::kDiffers, 0};
    case SizeReply::Kind::kSize:
        if (size.size == sent) return {Kind::kWhole, size.size};
        return {size.size < sent ? Kind::kShort : Kind::kDiffers, size.size};
    case SizeReply::Kind::kNoAnswer:
        break;
    }
    // A store ends in 226 (or 250); any other reply is no answer to go by.
    const int code = LastReplyCode(response);
    if (code == 226 || code == 250) return {Kind::kStoredByFinalReply, 0};
    if (code >= 400) return {Kind::kRefused, 0};
    return {};
}

}  // namespace nsFTP
