// IUploadChannel: the connection an upload session sends its files through, the same to the
// session whatever carries it: WinINet for plain FTP, the project's own client where the
// connection must be encrypted. Every call returns what happened by value; nothing is left in the
// thread's state for the caller to read afterwards. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tovalo::upload {

enum class ChannelOutcome {
    kOk,
    kRefused,     // the server said no, and will say so again (a 5xx, a refused log-on)
    kTransient,   // a 4xx, a connection that could not be made or broke, a wait that ran out
    kTlsRefused,  // TLS itself: no AUTH TLS, a handshake, a certificate or a pin that did not match
    kLocalError,  // the channel could not try at all (no socket library, a port out of range)
    kStopped,     // the session was stopped: the call was cut short, or never made
};

// The most of a server's response a result keeps, as WinINet keeps of one.
inline constexpr std::size_t kResponseBytes = 1024;

struct ChannelResult {
    ChannelOutcome outcome = ChannelOutcome::kOk;
    // The code of the server's last complete reply line, 0 when no reply is the reason.
    int replyCode = 0;
    // The server's last response (one or more lines, at most kResponseBytes), or, where no reply
    // explains a failure, what the channel knows of it; empty when there is neither.
    std::string response;
    // The number the channel gives the failure (WinINet's error number, or the one the secure
    // channel maps its failures to), for the status line; 0 on success.
    std::int32_t error = 0;
    // The number an error report states with the response (WinINet's response information keeps
    // one of its own).
    std::int32_t responseError = 0;
    // No reply came within the time-out; the connection may still be there.
    bool timedOut = false;
    // Opening a store: the data connection itself could not be made (a NAT or a firewall in the
    // way of an active-mode connection back to us).
    bool noDataConnection = false;
    // Opening a store from an offset: the server would not go on from there (no 350 to REST, and
    // no APPE where the channel can send one); nothing was stored.
    bool restartRefused = false;

    bool Ok() const { return outcome == ChannelOutcome::kOk; }

    // What every call of a stopped channel returns.
    static ChannelResult Stopped() {
        ChannelResult result;
        result.outcome = ChannelOutcome::kStopped;
        return result;
    }
};

struct ConnectRequest {
    std::string host;
    std::uint32_t port = 21;  // a port above 65535 fails as a local error without a call
    std::string user;
    std::string password;
    bool passive = false;  // passive data connections (active by default)
};

class IUploadChannel {
public:
    virtual ~IUploadChannel() = default;

    // Connects and logs on.
    virtual ChannelResult Connect(const ConnectRequest& request) = 0;
    // Starts a store of remotePath in image type: its data connection is open afterwards. From an
    // offset above 0, the store goes on after the first offset bytes that the server holds of it
    // (REST offset, then STOR; or APPE).
    virtual ChannelResult OpenStore(const std::string& remotePath, std::uint64_t offset) = 0;
    // One block of the open store; every byte is sent or the call fails.
    virtual ChannelResult Write(const char* data, std::size_t count) = 0;
    // Ends the open store's data and reads its final reply, which the result's response holds:
    // 226, a refusal (4xx, 5xx: the outcome is still kOk, the reply tells), or, when the reply did
    // not come in time, the preliminary one.
    virtual ChannelResult FinishStore() = 0;
    // Ends the open store's data so that the server sees a transfer that broke off, not a
    // complete file (no TLS close_notify), without waiting for its final reply.
    virtual void AbortStore() = 0;
    // A command without data ("SIZE path", "NOOP"); a refusal is an answer too (kOk, see the code).
    virtual ChannelResult Ask(const std::string& command) = 0;
    // "SITE " + text.
    virtual ChannelResult Site(const std::string& text) = 0;
    virtual ChannelResult Delete(const std::string& remotePath) = 0;
    // Logs off and closes; safe to call at any time, also after a failure.
    virtual void Disconnect() = 0;

    // From another thread, while a call may be in progress: makes every later call fail at once
    // with kStopped, and ends the call in progress where that is safe (a wait on the channel's own
    // sockets); it never closes what the calling thread may still use. Returns at once.
    virtual void Cancel() = 0;

    // The exchange as it happens, one line at a time (commands sent, replies read), for the
    // transfer log; the account's log-on lines are never told.
    using LogSink = std::function<void(const std::string& line)>;
    virtual void SetLog(LogSink sink) = 0;

protected:
    IUploadChannel() = default;
    IUploadChannel(const IUploadChannel&) = delete;
    IUploadChannel& operator=(const IUploadChannel&) = delete;
};

}  // namespace tovalo::upload
