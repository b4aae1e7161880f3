// UploadSession: one upload, on a thread of its own. It connects, sends every queued file in
// blocks, checks that the server holds each whole, sets its permissions, retries what may pass,
// and says what it does to a view; it never holds a window. Its course is one loop over explicit
// steps. A stop (the user, or the page going away) settles the outcome at once, from any thread;
// the session then ends what is under way and deletes what it left on the server.
//
// One session at a time: a session acts on FTP servers only while it holds the process's pass
// (SessionGate.h). It takes the pass before it connects, waiting while an earlier session still
// ends (its status line says so), and keeps it until it has nothing more to do there: a session
// that ended by itself gives it up before it tells its outcome; a stopped one once nothing it left
// is on the server any more (at once when its cleanup deletes it, else after its last act).
// So no two sessions' connections meet on a server, and no session deletes a name that another
// has stored since. A stopped session whose call is stuck past the next one's grace loses the pass
// and deletes nothing any more; what it left is reported.
//
// Threads and locks. The worker (the thread that runs Run) owns the steps and everything they
// keep. Stop runs on any thread; the cleanup it starts runs on a thread of its own. The state
// they share is under mutex_ and written as follows:
//   outcome_, stopReason_  by Stop, or by the worker when it settles the outcome (first one wins);
//   channel_, store_, strays_  by the worker only (Stop and the cleanup read them);
//   pass_  by the worker, and dropped by the cleanup once a stopped session has nothing left;
//   gone_  by the cleanup and by the worker's last act (what they deleted).
// The worker reads what it alone writes without the lock. Nothing else is shared.
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

class SessionPass;

// One store: a file of the queue under its stored name on the server, and what is to become of it.
struct Store {
    enum class Fate {
        kOpening,  // its store command is under way: the file may appear on the server only now
        kSending,  // opened on the server, its blocks going out; not counted yet
        kConfirm,  // every byte went out but the final reply came late: the next connection confirms it
        kProbe,    // it broke off part way: the retry asks how much of it the server holds
        kGoOn,     // the server holds its start: the file's next store goes on from there
        kDelete,   // a part that nobody goes on from: it goes on the next connection
    };
    Fate fate = Fate::kSending;
    std::size_t index = 0;  // in the queue
    std::string stored;     // the stored name
    std::string remotePath;
    std::uint64_t length = 0;  // as found when the file was opened: what is sent
    std::uint64_t offset = 0;  // where this store went on from (the server held that much)
    std::uint64_t sent = 0;    // by this store
    std::uint64_t Held() const { return offset + sent; }
};

// Deletes path on the server: true once the server no longer has it. A 550 to DELE is taken at
// its word only when SIZE finds no such file (a server may refuse to delete a file that a data
// connection still writes); a server that does not know SIZE cannot tell, and is believed.
bool RemovePart(IUploadChannel& channel, const std::string& path);

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
    // stopped before. Returns at once: what the stop sets going (the call under way cut short
    // where the channel can, the part on the server deleted) runs on other threads.
    bool Stop(StopReason reason);

    // The outcome once settled (by the session's end or by a stop); nothing before.
    std::optional<UploadOutcome> Outcome() const;

    // How long a session waits at most for an earlier one to give up the pass (see above), and
    // how soon its status line says that it waits.
    static constexpr std::uint64_t kGateGraceMicros = 35'000'000;
    static constexpr std::uint64_t kGateNoticeMicros = 1'000'000;

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
    // The failed step of the current attempt.
    struct Failure {
        SessionStep step;
        ChannelResult result;
    };

    // Takes the process's pass, waiting while another session holds it; false when stopped first.
    bool EnterGate();
    Step Do(Step step);
    Step DoConnect();
    Step DoTidyServer();
    Step DoProbeResume();
    Step DoConfirmPending();
    Step DoNextFile();
    Step DoOpenFile();
    // Opens the remote side of a store (from its offset) and starts its blocks.
    Step OpenStore(Store store);
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
    // The outcome of a session that ended by itself, unless a stop settled it first: the pass goes
    // before the view is told, so that the next upload never waits for a session that is over.
    void Settle(UploadOutcome outcome);

    // The store's new state (the worker's; under the lock, as the cleanup reads it).
    void SetStore(std::optional<Store> store);
    // The store's part is to go: it joins the parts to delete, in one step, so that a stop's
    // cleanup sees it in one place or the other.
    void AbandonStore();
    // Deletes the parts to delete; those that stay are tried again on the next connection.
    void DeleteStrays(IUploadChannel& channel);

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
    void NotePartial(Store store);
    // Opens the local file of a store that goes on from an offset; false when the file is no longer
    // the one whose start the server holds.
    bool ReopenLocalFile(const Store& store);

    // Reports (sent through the services): a report equal to the last one sent is not sent again.
    void Report(SessionStep step, std::int32_t error, const std::string& text);
    void ReportResult(SessionStep step, const ChannelResult& result);

    void AdvanceFileBar(std::uint64_t sent, std::uint64_t length);
    void TellRate(std::uint64_t now, const Store& store);

    // What the session left on the server without counting it and has not deleted yet (the
    // second under the lock).
    std::vector<std::string> LeftOnServer() const;
    std::vector<std::string> LeftOnServerLocked() const;
    // Deletes it on a connection of the cleanup's own (the session's own may still hang on a data
    // connection that cannot be cut short, and a server deletes a file that another of its
    // connections writes). Runs as an act of the pass: the stop's cleanup, and the worker's last act.
    // A stopped session with nothing left gives up the pass: it will act on no server again.
    void DeleteLeftovers();
    // The worker's last act after a stop, once its own connection has gone: what is still left
    // goes, and what even that cannot delete is reported.
    void LastAct(const std::shared_ptr<SessionPass>& pass);

    const UploadRequest request_;
    const std::shared_ptr<ISessionServices> services_;
    const std::shared_ptr<IUploadView> view_;
    const std::string password_;  // decoded
    ConnectRequest account_;

    // Shared (see the locking rule above).
    mutable std::mutex mutex_;
    std::optional<UploadOutcome> outcome_;
    StopReason stopReason_ = StopReason::kNone;
    std::shared_ptr<IUploadChannel> channel_;  // the current attempt's
    std::optional<Store> store_;               // the one store that is on the server and not counted
    std::vector<std::string> strays_;          // parts whose deletion failed
    std::shared_ptr<SessionPass> pass_;        // while the session may act on servers
    std::set<std::string> gone_;               // deleted after the stop

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
