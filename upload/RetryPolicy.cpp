// Which failures of an upload session are worth another attempt, and how long to wait before it.
#include "upload/RetryPolicy.h"

#include "ftp/ReplyMeanings.h"

#include <cstdint>

namespace tovalo::upload {
namespace {

// Replies to a store command that name the file or the account, not the data connection: the
// same request gets the same answer however long one waits.
constexpr int kFileOrAccountRefusals[] = {530, 532, 550, 551, 552, 553};

constexpr unsigned kMaxDelaySeconds = 8;

bool IsFileOrAccountRefusal(int code) {
    for (const int refusal : kFileOrAccountRefusals) {
        if (code == refusal) return true;
    }
    return false;
}

// The server's own verdict on a step: 4xx transient, 5xx permanent (RFC 959).
FailureVerdict ByReplyClass(int code) { return {code >= 400 && code < 500, false}; }

FailureVerdict JudgeConnect(const ChannelResult& result) {
    if (result.outcome != ChannelOutcome::kTransient) return {};
    if (result.replyCode >= 400) return ByReplyClass(result.replyCode);
    // No reply to go by: the server could not be reached or the connection broke.
    return {true, false};
}

FailureVerdict JudgeOpen(bool passive, const ChannelResult& result) {
    const int code = result.replyCode;
    if (code == 425) return {true, !passive};  // "can't open data connection"
    if (code >= 500 && !passive && !IsFileOrAccountRefusal(code)) {
        // In active mode the store is preceded by PORT or EPRT; a server (or a firewall's FTP
        // helper) that refuses those refuses active mode, and passive may still work.
        return {true, true};
    }
    if (code >= 400) return ByReplyClass(code);
    if (result.outcome != ChannelOutcome::kTransient) return {};
    // No reply: in active mode the server's connection back to us may never have come (a NAT, a
    // firewall without an FTP helper); otherwise the connection broke.
    return {true, !passive && result.noDataConnection};
}

std::string LastLine(std::string_view response) {
    const std::string_view text = nsFTP::TrimLineEnds(response);
    return std::string(text.substr(text.find_last_of('\n') + 1));
}

}  // namespace

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
    case SessionStep::RemovePart:
        return "part left on the server";
    }
    return "failed";
}

FailureVerdict JudgeFailure(SessionStep step, bool passive, const ChannelResult& result) {
    switch (step) {
    case SessionStep::ReadLocalFile:
    case SessionStep::LocalFileTooLarge:
    case SessionStep::NoFreeName:
    case SessionStep::SetPermissions:
    case SessionStep::RemovePart:
        return {};
    case SessionStep::LocalFileChanged:
        // Once it has stopped changing it can be sent, at its new length.
        return {true, false};
    default:
        break;
    }
    // A data connection or log-on whose TLS the client refused (a certificate, a pin) stays
    // refused; a stopped session tries nothing more.
    if (result.outcome == ChannelOutcome::kTlsRefused || result.outcome == ChannelOutcome::kStopped ||
        result.outcome == ChannelOutcome::kLocalError)
        return {};
    switch (step) {
    case SessionStep::Connect:
        return JudgeConnect(result);
    case SessionStep::OpenRemoteFile:
        return JudgeOpen(passive, result);
    case SessionStep::WriteBlock:
        // The data connection was made and then lost.
        return {true, false};
    case SessionStep::FinishStore:
        // 426 or 451 (the connection dropped, a local error) may pass; 552 (no room) will not.
        return result.replyCode >= 400 ? ByReplyClass(result.replyCode) : FailureVerdict{true, false};
    default:
        return {};
    }
}

std::string FailureReason(SessionStep step, const ChannelResult& result) {
    if (result.replyCode != 0 || result.outcome == ChannelOutcome::kTlsRefused) {
        std::string line = LastLine(result.response);
        if (!line.empty()) return line;
    }
    return std::string(StepText(step)) + " (error " + std::to_string(result.error) + ")";
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
