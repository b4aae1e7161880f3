// Which failures of an upload session are worth another attempt, whether the next attempt must
// use passive data connections, and how long to wait before it. Portable and pure: it judges a
// failed step from what the channel returned, nothing else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "upload/UploadChannel.h"

namespace tovalo::upload {

// The step of a session that failed.
enum class SessionStep {
    Connect,            // the connection and log-on
    OpenRemoteFile,     // the store command and its data connection
    WriteBlock,         // a block of the file on the data connection
    ReadLocalFile,      // the local file could not be opened or read
    LocalFileTooLarge,  // the local file, as found when opened to be sent, breaks a size rule
    LocalFileChanged,   // the local file grew or shrank while it was sent
    NoFreeName,         // the server held every stored name it was asked about for the file
    FinishStore,        // every block went out, and the server's final reply to the store refused the file
    SetPermissions,     // the permissions of a stored file (reported; the file stays sent)
    RemovePart,         // a part left by a stopped session could not be deleted (reported)
};

// What failed, in words for the status line and the error report ("connection lost").
const char* StepText(SessionStep step);

struct FailureVerdict {
    bool retry = false;       // a transient failure: waiting and trying again may help
    bool usePassive = false;  // the data connection could not be made in active mode
};

// result: what the failed call returned; passive: the mode of the failed attempt. A refusal
// that waiting will not change (a log-on refused with 530, a remote file refused with 550 and its
// kin, a local file that cannot be read, TLS refused) is never retried, nor is a stop.
FailureVerdict JudgeFailure(SessionStep step, bool passive, const ChannelResult& result);

// Why a step failed, for the status line of the retry: the server's last reply line when a reply
// is the reason (or the secure channel's words when TLS refused), else what failed and the number
// the channel gave the failure ("connection lost (error 10054)").
std::string FailureReason(SessionStep step, const ChannelResult& result);

// Seconds before retry number n (1 for the first): 1, 2, 4, then 8 for every later one, so that
// the default count of 10 waits about a minute in all (63 s).
unsigned RetryDelaySeconds(unsigned retry);

// The retries one session may still make. Until its first log-on, a session gets at most two
// (1 s, then 2 s), whatever the count: a server that refuses the connection, a host that cannot be
// found or a server that never greets is not there, and the user should hear so in seconds. Once
// the session has logged on, a transient failure (a connection lost part way through a large
// file) may use the whole count; the retries made before the log-on count against it too.
class RetryBudget {
public:
    static constexpr std::int32_t kBeforeLogon = 2;

    explicit RetryBudget(std::int32_t count) : count_(count < 0 ? 0 : count) {}

    void LoggedOn() { loggedOn_ = true; }

    // A retry granted: its number (1 for the first) of the budget that applies now ("재시도
    // number/of"), and the wait before it.
    struct Retry {
        std::int32_t number;
        std::int32_t of;
        unsigned delaySeconds;
    };
    // Takes the next retry, or nothing when the budget that applies is spent.
    std::optional<Retry> Take();

private:
    std::int32_t count_;
    std::int32_t used_ = 0;
    bool loggedOn_ = false;
};

}  // namespace tovalo::upload
