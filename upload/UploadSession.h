// UploadSession: one upload, on a thread of its own. It connects, sends every queued file in
// blocks, checks that the server holds each whole, sets its permissions, retries what may pass,
// and says what it does to a view; it never holds a window. Its course is one loop over explicit
// steps. A stop (the user, or the page going away) settles the outcome at once, from any thread;
// the session then ends what is under way and deletes what it left on the server.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "upload/BlockSize.h"
#include "upload/RateMeter.h"
#include "upload/RetryPolicy.h"
#include "upload/StoredName.h"
#include "upload/UploadTypes.h"

namespace tovalo::upload {

class UploadSession : public std::enable_shared_from_this<UploadSession> {
public:
    UploadSession(UploadRequest request, std::shared_ptr<ISessionServices> services, std::shared_ptr<IUploadView> view);
    ~UploadSession();
    UploadSession(const UploadSession&) = delete;
    UploadSession& operator=(const UploadSession&) = delete;

    // The whole session, on the calling thread (the worker): returns once it has ended and
    // cleaned up after itself, also after a stop.
    void Run();

    // From any thread: stops the session as "S" does. True when this stop settled the outcome
    // (result 0); false when the session had ended by itself first (its outcome stands) or was
    // stopped before. Returns at once: what the stop sets going (the call under way cut short, the
    // part on the server deleted) runs on other threads.
    bool Stop(StopReason reason);

    // The outcome once settled (by the session's end or by a stop); nothing before.
    std::optional<UploadOutcome> Outcome() const;

private:
    // The steps of the loop in Run.
    enum class Step {
        kConnect,         // a new attempt: a channel, the connection, the log-on
        kTidyServer,      // what an earlier attempt left on the server goes
        kProbeResume,     // a store that broke off: go on where the server's copy ends, or start over
        kConfirmPending,  // a store whose final reply came late is confirmed on this connection
        kNextFile,        // the queue's next file, or the end of the attempt
        kOpenFile,        // the local file, the size rules, a stored name, the remote file
        kSendBlocks,      // one block of the file
        kFinishStore,     // the end of the data, and the server's final reply
        kAwaitLateReply,  // no final reply yet: the file on the server is watched while it grows
        kCheckStore,      // the server's size of the file against what was sent; then it counts
        kEndAttempt,      // the connection goes; then another attempt, or the end
        kWaitRetry,       // the wait before a retry
        kDone,
    };
    // How the blocks of the file under way ended.
    enum class BlocksEnd { kUnderWay, kComplete, kFailed };
    // A store under way or just ended.
    struct Store {
        std::size_t index = 0;  // in the queue
        std::string stored;     // the stored name
        std::string remotePath;
        std::uint64_t length = 0;  // as found when the file was opened: what is sent
        std::uint64_t offset = 0;  // where this store went on from (the server held that much)
        std::uint64_t sent = 0;    // by this store
        std::uint64_t Held() const { return offset + sent; }
    };
    // The failed step of the current attempt.
    struct Failure {
        SessionStep step;
        ChannelResult result;
    };

    Step Do(Step step);
    Step DoConnect();
    Step DoTidyServer();
    Step DoProbeResume();
    Step DoConfirmPending();
    Step DoNextFile();
    Step DoOpenFile();
    // Opens the remote side of a store (from its offset) and starts its blocks.
    Step OpenStore(const Store& store);
    Step DoSendBlocks();
    Step DoFinishStore();
    Step DoAwaitLateReply();
    Step DoCheckStore();
    Step DoEndAttempt();
    Step DoWaitRetry();
    void Teardown();

    // The current attempt's channel (the worker's; Stop only takes a reference to it).
    IUploadChannel& Channel();
    bool Stopped() const;
    // The outcome of a session that ended by itself, unless a stop settled it first.
    void Settle(UploadOutcome outcome);

    bool ServerHolds(const std::string& remotePath);
    bool KeepsToLimits(const UploadFile& file, std::uint64_t length);
    // The store is counted: its bars, its result entry, its permissions. False when a stop came
    // first (it is then left for the stop's cleanup).
    bool CountStore(const Store& store);
    void RefuseStore(const Store& store, const std::string& reply);
    void Fail(SessionStep step, ChannelResult result);
    void FailLocal(SessionStep step, std::uint32_t error, const UploadFile& file, const std::string& detail = {});
    // The store under way broke off: its part is left on the server for the retry to go on from
    // (or, where it may not, to delete).
    void NotePartial(const Store& store);
    // Opens the local file of a store that goes on from an offset; false (and the part deleted)
    // when the file is no longer the one whose start the server holds.
    bool ReopenLocalFile(const Store& store);
    void Forget();

    // Reports (sent through the view): a report equal to the last one sent is not sent again.
    void Report(SessionStep step, std::int32_t error, const std::string& text);
    void ReportResult(SessionStep step, const ChannelResult& result);

    void AdvanceFileBar(std::uint64_t sent, std::uint64_t length);
    void TellRate(std::uint64_t now, const Store& store);

    // What the session left on the server without counting it: after a stop it is deleted on a
    // channel of the cleanup's own (CleanUpAfterStop runs on a thread of its own), and again by
    // the worker as it ends where that failed.
    std::vector<std::string> LeftOnServer() const;
    void CleanUpAfterStop(const std::shared_ptr<IUploadChannel>& busy);
    void DeleteLeftovers();

    const UploadRequest request_;
    const std::shared_ptr<ISessionServices> services_;
    const std::shared_ptr<IUploadView> view_;
    const std::string password_;  // decoded
    ConnectRequest account_;

    // Shared with Stop and the cleanup (under mutex_).
    mutable std::mutex mutex_;
    std::optional<UploadOutcome> outcome_;
    StopReason stopReason_ = StopReason::kNone;
    std::shared_ptr<IUploadChannel> channel_;  // the current attempt's
    std::optional<Store> store_;               // opened on the server, not yet counted
    std::optional<Store> pending_;             // every byte sent, its final reply late: confirmed next
    std::string partialPath_;                  // left by a lost data connection; removed on the retry
    std::optional<Store> resume_;              // broke off part way: the retry goes on from its end
    std::set<std::string> deleted_;            // removed after the stop

    // The worker's own.
    SendLimits limits_;
    std::size_t sent_ = 0;  // files counted; the next file's index
    std::vector<StoredFile> stored_;
    bool passive_ = false;  // after active mode failed: passive for the rest
    bool connected_ = false;
    bool serverAnswersSize_ = true;  // until it says it does not know SIZE
    RetryBudget retryBudget_;
    std::optional<Failure> failure_;  // of the current attempt
    unsigned retryDelaySeconds_ = 0;
    std::optional<RetryBudget::Retry> lastRetry_;
    std::optional<Store> reopen_;     // the next store goes on from where this one's part ends
    std::set<std::size_t> noResume_;  // files whose server did not go on from where it was told
    StoredNameBook storedNames_;
    std::optional<std::pair<std::int32_t, std::string>> lastReport_;

    // The file under way.
    std::unique_ptr<ILocalFile> file_;
    std::vector<char> buffer_;
    BlockSizer sizer_;
    BlocksEnd blocks_ = BlocksEnd::kUnderWay;
    int lastPercent_ = 0;
    std::string lateReply_;

    // The rate line: every byte the session has sent; the listed bytes of the files after each.
    RateMeter rate_;
    std::uint64_t bytesSent_ = 0;
    std::vector<std::uint64_t> bytesAfter_;
};

}  // namespace tovalo::upload
