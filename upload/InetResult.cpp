// What a failed WinINet call means to the upload session (see InetResult.h).
#include "upload/InetResult.h"

#include "ftp/ReplyMeanings.h"

namespace tovalo::upload {
namespace {

// WinINet's error numbers, written out so that this file builds on any platform.
constexpr std::uint32_t kErrorTimeout = 12002;
constexpr std::uint32_t kErrorExtended = 12003;  // the server's reply says why
constexpr std::uint32_t kErrorLoginFailure = 12015;
constexpr std::uint32_t kErrorCannotConnect = 12029;
constexpr std::uint32_t kErrorInvalidParameter = 87;

}  // namespace

ChannelResult InetFailure(std::uint32_t error, std::string response, std::int32_t responseError) {
    ChannelResult result;
    result.error = static_cast<std::int32_t>(error);
    result.responseError = responseError;
    const bool replyIsReason = error == kErrorExtended || error == kErrorLoginFailure;
    result.replyCode = replyIsReason ? nsFTP::LastReplyCode(response) : 0;
    result.response = std::move(response);
    if (error == kErrorInvalidParameter) {
        result.outcome = ChannelOutcome::kLocalError;
    } else if (error == kErrorLoginFailure || result.replyCode >= 500) {
        result.outcome = ChannelOutcome::kRefused;
    } else {
        result.outcome = ChannelOutcome::kTransient;
    }
    result.timedOut = error == kErrorTimeout;
    result.noDataConnection = error == kErrorCannotConnect || error == kErrorTimeout;
    return result;
}

}  // namespace tovalo::upload
