// Which failures of an upload session are worth another attempt, and how long to wait before it.
#include "upload/RetryPolicy.h"

#include <cstdint>

namespace tovalo::upload {
namespace {

// WinINet's error numbers, written out so that this file builds on any platform.
constexpr std::uint32_t kErrorTimeout = 12002;
constexpr std::uint32_t kErrorExtended = 12003;  // the server's reply says why
constexpr std::uint32_t kErrorLoginFailure = 12015;
constexpr std::uint32_t kErrorCannotConnect = 12029;

// Replies to a store command that name the file or the account, not the data connection: the
// same request gets the same answer however long one waits.
constexpr int kFileOrAccountRefusals[] = {530, 532, 550, 551, 552, 553};

constexpr unsigned kMaxDelaySeconds = 8;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsFileOrAccountRefusal(int code) {
    for (const int refusal : kFileOrAccountRefusals) {
        if (code == refusal) return true;
    }
    return false;
}

// The server's own verdict on a step: 4xx transient, 5xx permanent (RFC 959).
FailureVerdict ByReplyClass(int code) { return {code >= 400 && code < 500, false}; }

FailureVerdict JudgeConnect(std::uint32_t error, int code) {
    if (error == kErrorLoginFailure) return {};
    if (code >= 400) return ByReplyClass(code);
    // No reply to go by: the server could not be reached or the connection broke.
    return {true, false};
}

FailureVerdict JudgeOpen(bool passive, std::uint32_t error, int code) {
    // A data connection whose TLS the client refused (a certificate, a pin) stays refused.
    if (error == kErrorLoginFailure) return {};
    if (code == 425) return {true, !passive};  // "can't open data connection"
    if (code >= 500 && !passive && !IsFileOrAccountRefusal(code)) {
        // In active mode the store is preceded by PORT or EPRT; a server (or a firewall's FTP
        // helper) that refuses those refuses active mode, and passive may still work.
        return {true, true};
    }
    if (code >= 400) return ByReplyClass(code);
    // No reply: in active mode the server's connection back to us never came (a NAT, a
    // firewall without an FTP helper); otherwise the connection broke.
    const bool noDataConnection = error == kErrorCannotConnect || error == kErrorTimeout;
    return {true, !passive && noDataConnection};
}

}  // namespace

std::string_view LastReplyLine(std::string_view response) {
    std::string_view last;
    while (!response.empty()) {
        const size_t end = response.find('\n');
        const std::string_view line = response.substr(0, end);
        // A reply's last line is "NNN text" (or just "NNN"); "NNN-text" opens a multi-line one.
        if (line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]) &&
            (line.size() == 3 || line[3] == ' ' || line[3] == '\r')) {
            last = line;
        }
        if (end == std::string_view::npos) break;
        response.remove_prefix(end + 1);
    }
    return last;
}

int LastReplyCode(std::string_view response) {
    const std::string_view line = LastReplyLine(response);
    if (line.empty()) return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

const char* StepText(SessionStep step) {
    switch (step) {
    case SessionStep::Connect:
        return "connection failed";
    case SessionStep::OpenRemoteFile:
        return "data connection failed";
    case SessionStep::WriteBlock:
        return "connection lost";
    case SessionStep::ReadLocalFile:
        return "local file unreadable";
    case SessionStep::LocalFileTooLarge:
        return "local file too large";
    case SessionStep::LocalFileChanged:
        return "local file changed while it was sent";
    case SessionStep::NoFreeName:
        return "no free stored name";
    case SessionStep::FinishStore:
        return "file refused";
    case SessionStep::SetPermissions:
        return "permissions not set";
    }
    return "failed";
}

FailureVerdict JudgeFailure(SessionStep step, bool passive, std::uint32_t error, std::string_view response) {
    // A reply code counts only where WinINet says the reply is the reason; otherwise the text
    // is an older reply (the log-on's, say) left from before the failure.
    const int code = error == kErrorExtended || error == kErrorLoginFailure ? LastReplyCode(response) : 0;
    switch (step) {
    case SessionStep::Connect:
        return JudgeConnect(error, code);
    case SessionStep::OpenRemoteFile:
        return JudgeOpen(passive, error, code);
    case SessionStep::WriteBlock:
        // The data connection was made and then lost.
        return {true, false};
    case SessionStep::ReadLocalFile:
    case SessionStep::LocalFileTooLarge:
    case SessionStep::NoFreeName:
    case SessionStep::SetPermissions:
        return {};
    case SessionStep::LocalFileChanged:
        // Once it has stopped changing it can be sent, at its new length.
        return {true, false};
    case SessionStep::FinishStore:
        // 426 or 451 (the connection dropped, a local error) may pass; 552 (no room) will not.
        return code >= 400 ? ByReplyClass(code) : FailureVerdict{true, false};
    }
    return {};
}

bool StoreRefused(std::string_view responseAfterClose) { return LastReplyCode(responseAfterClose) >= 400; }

SizeReply ReadSizeReply(std::string_view response) {
    const int code = LastReplyCode(response);
    if (code == 500 || code == 502 || code == 504) return {SizeReply::Kind::kNoSizeCommand, 0};
    if (code != 213) return {};
    // "213 <digits>" on the reply's last line: blanks around the number and a leading "+" are
    // taken; anything else (no number, a sign, words) is no size, and so not the size sent.
    std::string_view line = LastReplyLine(response).substr(3);
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!line.empty() && blank(line.front())) line.remove_prefix(1);
    while (!line.empty() && blank(line.back())) line.remove_suffix(1);
    if (!line.empty() && line.front() == '+') line.remove_prefix(1);
    if (line.empty()) return {SizeReply::Kind::kMalformed, 0};
    std::uint64_t size = 0;
    for (const char c : line) {
        if (!IsDigit(c)) return {SizeReply::Kind::kMalformed, 0};
        const auto digit = static_cast<std::uint64_t>(c - '0');
        // A size past 2^64 - 1 cannot be any file sent; it stays at the maximum and so differs.
        size = size > (UINT64_MAX - digit) / 10 ? UINT64_MAX : size * 10 + digit;
    }
    return {SizeReply::Kind::kSize, size};
}

StoredSize JudgeStoredSize(std::string_view sizeResponse, std::uint64_t sent) {
    const SizeReply reply = ReadSizeReply(sizeResponse);
    if (reply.kind == SizeReply::Kind::kMalformed) return StoredSize::kDiffers;
    if (reply.kind != SizeReply::Kind::kSize) return StoredSize::kUnknown;
    return reply.size == sent ? StoredSize::kWhole : StoredSize::kDiffers;
}

bool FinalReplyMissing(std::string_view responseAfterClose) { return LastReplyCode(responseAfterClose) < 200; }

LateStoreReply JudgeLateStoreReply(std::string_view response, std::uint64_t sent) {
    using Kind = LateStoreReply::Kind;
    const SizeReply size = ReadSizeReply(response);
    if (size.kind == SizeReply::Kind::kNoSizeCommand) return {Kind::kNoSizeCommand, 0};
    if (size.kind == SizeReply::Kind::kMalformed) return {Kind::kDiffers, 0};
    if (size.kind == SizeReply::Kind::kSize) {
        if (size.size == sent) return {Kind::kWhole, size.size};
        return {size.size < sent ? Kind::kShort : Kind::kDiffers, size.size};
    }
    // A store ends in 226 (or 250); any other reply is no answer to go by.
    const int code = LastReplyCode(response);
    if (code == 213) return {};
    if (code == 226 || code == 250) return {Kind::kStoredByFinalReply, 0};
    if (code >= 400) return {Kind::kRefused, 0};
    return {};
}

std::optional<RetryBudget::Retry> RetryBudget::Take() {
    const std::int32_t of = loggedOn_ || count_ < kBeforeLogon ? count_ : kBeforeLogon;
    if (used_ >= of) return std::nullopt;
    ++used_;
    return Retry{used_, of, RetryDelaySeconds(static_cast<unsigned>(used_))};
}

unsigned RetryDelaySeconds(unsigned retry) {
    if (retry == 0) return 1;
    if (retry > 4) return kMaxDelaySeconds;
    const unsigned delay = 1u << (retry - 1);
    return delay < kMaxDelaySeconds ? delay : kMaxDelaySeconds;
}

}  // namespace tovalo::upload
