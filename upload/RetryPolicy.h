// Which failures of an upload session are worth another attempt, whether the next attempt must
// use passive data connections, and how long to wait before it. Portable and pure: it judges a
// failed step from WinINet's error number and the server's last response, nothing else.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tovalo::upload {

// The step of a session that failed.
enum class SessionStep {
    Connect,            // the connection and log-on (InternetConnect)
    OpenRemoteFile,     // the store command and its data connection (FtpOpenFile)
    WriteBlock,         // a block of the file on the data connection (InternetWriteFile)
    ReadLocalFile,      // the local file could not be opened or read
    LocalFileTooLarge,  // the local file, as found when opened to be sent, breaks a size rule
    LocalFileChanged,   // the local file grew or shrank while it was sent
    NoFreeName,         // the server held every stored name it was asked about for the file
    FinishStore,        // every block went out, and the server's final reply to the store refused the file
    SetPermissions,     // the permissions of a stored file (reported; the file stays sent)
};

// What failed, in words for the status line and the error report ("connection lost").
const char* StepText(SessionStep step);

struct FailureVerdict {
    bool retry = false;       // a transient failure: waiting and trying again may help
    bool usePassive = false;  // the data connection could not be made in active mode
};

// error: the failed call's error number (GetLastError right after it); response: the server's
// last response as WinINet keeps it (one or more lines, maybe empty); passive: the mode of the
// failed attempt. A refusal that waiting will not change (a log-on refused with 530, a remote
// file refused with 550 and its kin, a local file that cannot be read) is never retried.
FailureVerdict JudgeFailure(SessionStep step, bool passive, std::uint32_t error, std::string_view response);

// The last complete reply line of a response ("550 No such file." of "550-a\r\n550 No such
// file.\r\n"), its line end dropped; empty when there is none.
std::string_view LastReplyLine(std::string_view response);

// The code of the last complete reply line ("550 ..." gives 550) in a response; 0 when none.
int LastReplyCode(std::string_view response);

// Whether the response read when the remote file was closed is the server refusing the store (a
// 4xx or 5xx reply: a full disk, a quota, a connection it dropped). The data connection can take
// every byte while the server keeps fewer; only this reply tells. Anything else (226, or a
// preliminary reply that a close did not follow with a final one) counts as stored.
bool StoreRefused(std::string_view responseAfterClose);

// What a reply to SIZE says: the size of the file, a 213 without a size in it (no number, a
// negative one, words after it: the file is there, but it is not the size sent), that the server
// does not know the command (500, 502, 504), or nothing to go by (550: no such file, or not
// allowed to ask).
struct SizeReply {
    enum class Kind { kSize, kMalformed, kNoSizeCommand, kNoAnswer };
    Kind kind = Kind::kNoAnswer;
    std::uint64_t size = 0;
};
SizeReply ReadSizeReply(std::string_view response);

// Whether a store whose final reply came (226) left the server holding every byte sent, by the
// server's answer to SIZE asked right after it. Only a size can refuse the store: a server that
// does not answer SIZE, or may not (an upload-only account), is trusted.
enum class StoredSize { kWhole, kDiffers, kUnknown };
StoredSize JudgeStoredSize(std::string_view sizeResponse, std::uint64_t sent);

// Whether the response read when the remote file was closed lacks the store's final reply: WinINet
// gives up waiting for it after its receive time-out, keeps the preliminary 1xx reply as the last
// response and calls the close a success, while the server may still be reading what the socket
// buffers hold (a slow or throttled server: megabytes on a fast local link).
bool FinalReplyMissing(std::string_view responseAfterClose);

// While such a store is awaited, each reply to a SIZE (or, where the server does not know SIZE, a
// NOOP) asked on the same connection says one of: the server holds every byte, fewer so far
// (size: how many), more, the store's own final reply came late and took this question's place
// (226 or 250: stored; 4xx, 5xx: refused), the server does not know SIZE (ask NOOP instead), or
// nothing to go by yet.
struct LateStoreReply {
    enum class Kind { kWhole, kShort, kDiffers, kStoredByFinalReply, kRefused, kNoSizeCommand, kNoAnswer };
    Kind kind = Kind::kNoAnswer;
    std::uint64_t size = 0;
};
LateStoreReply JudgeLateStoreReply(std::string_view response, std::uint64_t sent);

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
