// UploadSession: the steps of one file, from its opening to its permissions.
#include "upload/UploadSession.h"

#include "framework/LocalPath.h"
#include "ftp/ReplyMeanings.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace tovalo::upload {
namespace {

// A store whose final reply came late is asked after once a second, and given up when the file
// on the server has not grown for this long.
constexpr std::uint64_t kLateStorePollMs = 1000;
constexpr std::uint64_t kLateStoreStallMicros = 30'000'000;

// The error numbers the session gives its own findings: a reply that refused a store, a size
// rule broken at send time, a local file that changed while it was read, a server that held
// every name it was asked about. Compatibility: WinINet's "extended error" and the system's own
// numbers, which whoever reads the error reports on the report server knows.
constexpr std::int32_t kReplyRefused = 12003;
constexpr std::uint32_t kFileTooLarge = 223;
constexpr std::uint32_t kFileChanged = 1006;
constexpr std::uint32_t kNameTaken = 80;

std::wstring FormatStatus(std::size_t index, std::size_t count, const std::wstring& path) {
    return L"[" + std::to_wstring(index) + L"/" + std::to_wstring(count) + L"] " + fw::FileNameOf(path) + L" " + path;
}

// "12:03:04", local time, for the transfer log.
std::string ClockText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::string TransferLine(const char* what, const UploadFile& file, const std::string& remotePath, std::uint64_t size,
                         std::uint64_t from = 0) {
    return std::string(what) + " source file : " + file.reportPath + "target file : " + remotePath +
           "Size : " + std::to_string(size) + " (" + ClockText() +
           (from > 0 ? ", from byte " + std::to_string(from) : std::string()) + ")";
}

}  // namespace

UploadSession::Step UploadSession::DoNextFile() {
    return sent_ < request_.files.size() ? Step::kOpenFile : Step::kEndAttempt;
}

UploadSession::Step UploadSession::DoOpenFile() {
    if (store_ && store_->fate == Store::Fate::kGoOn) {
        Store store = *store_;
        if (!ReopenLocalFile(store)) return Step::kTidyServer;  // the part goes; the file starts over
        return OpenStore(store);
    }
    const UploadFile& file = request_.files[sent_];
    // The local file is opened before the remote one, so that a file that cannot be read leaves
    // no empty file on the server.
    std::uint32_t error = 0;
    file_ = services_->OpenLocalFile(file.path, error);
    std::uint64_t length = 0;
    if (!file_ || !file_->Length(length, error)) {
        file_.reset();
        FailLocal(SessionStep::ReadLocalFile, error, file);
        return Step::kEndAttempt;
    }
    if (!KeepsToLimits(file, length)) return Step::kEndAttempt;
    const std::optional<std::string> stored = storedNames_.Take(
        services_->WallSeconds32(), file.storedBase,
        [this](const std::string& candidate) { return ServerHolds(request_.remotePath + candidate); });
    if (!stored) {
        FailLocal(SessionStep::NoFreeName, kNameTaken, file,
                  "the server holds " + std::to_string(StoredNameBook::kMaxServerQuestions) + " names in a row for it");
        return Step::kEndAttempt;
    }
    Store store;
    store.index = sent_;
    store.stored = *stored;
    store.remotePath = request_.remotePath + *stored;
    store.length = length;
    return OpenStore(store);
}

UploadSession::Step UploadSession::OpenStore(Store store) {
    const UploadFile& file = request_.files[store.index];
    store.fate = Store::Fate::kOpening;
    SetStore(store);
    const ChannelResult opened = Channel().OpenStore(store.remotePath, store.offset);
    store.fate = Store::Fate::kSending;
    if (opened.outcome == ChannelOutcome::kStopped) {
        SetStore(store);  // the store command may have made the file: the stop's to delete
        return Step::kDone;
    }
    if (!opened.Ok()) {
        file_.reset();
        if (store.offset > 0 && opened.restartRefused) {
            // The server will not go on from the part: it goes, and the file starts over under a
            // new name.
            noResume_.insert(store.index);
            store.fate = Store::Fate::kDelete;
            SetStore(store);
            return Step::kTidyServer;
        }
        // A part is still there for the next attempt; a fresh store left nothing.
        store.fate = Store::Fate::kProbe;
        SetStore(store.offset > 0 ? std::optional<Store>(store) : std::nullopt);
        Fail(SessionStep::OpenRemoteFile, opened);
        ReportResult(SessionStep::OpenRemoteFile, opened);
        return Step::kEndAttempt;
    }
    SetStore(store);
    view_->FileStarted();
    lastPercent_ = 0;
    AdvanceFileBar(store.offset, store.length);  // a store that goes on starts where it is
    view_->Status(FormatStatus(store.index, request_.files.size(), file.path));
    view_->LogLine(TransferLine("[start transfer]", file, store.remotePath, store.length, store.offset));
    // One buffer for the file, as large as its largest block can be.
    buffer_.resize(static_cast<std::size_t>(
        std::clamp<std::uint64_t>(store.length - store.offset, BlockSizer::kSmallest, BlockSizer::kLargest)));
    blocks_ = BlocksEnd::kUnderWay;
    return Step::kSendBlocks;
}

bool UploadSession::ReopenLocalFile(const Store& store) {
    const UploadFile& file = request_.files[store.index];
    std::uint32_t error = 0;
    std::uint64_t length = 0;
    file_ = services_->OpenLocalFile(file.path, error);
    if (file_ && file_->Length(length, error) && length == store.length && file_->Seek(store.offset, error))
        return true;
    // Gone, changed or unreadable: the part on the server is no longer the start of this file. It
    // goes, and the file is opened afresh (and judged as any file is) under a new name.
    file_.reset();
    noResume_.insert(store.index);
    Store part = store;
    part.fate = Store::Fate::kDelete;
    SetStore(part);
    return false;
}

UploadSession::Step UploadSession::DoProbeResume() {
    Store part = *store_;
    std::optional<std::uint64_t> held;
    if (serverAnswersSize_ && part.index == sent_) {
        const ChannelResult answer = Channel().Ask("SIZE " + part.remotePath);
        if (answer.outcome == ChannelOutcome::kStopped) return Step::kDone;  // the part is the cleanup's
        const nsFTP::SizeReply reply = nsFTP::ReadSizeReply(answer.response);
        if (answer.Ok() && reply.kind == nsFTP::SizeReply::Kind::kSize) held = reply.size;
    }
    if (held && *held == part.length) {
        // Every byte is there; only the store's confirmation was lost with the connection.
        part.fate = Store::Fate::kSending;
        part.offset = 0;
        part.sent = part.length;
        SetStore(part);
        return Step::kCheckStore;
    }
    if (!held || *held == 0 || *held > part.length) {
        // Nothing to go on from: the part goes, and the file starts over under a new name.
        part.fate = Store::Fate::kDelete;
        SetStore(part);
        return Step::kTidyServer;
    }
    part.fate = Store::Fate::kGoOn;
    part.offset = *held;
    part.sent = 0;
    SetStore(part);
    if (lastRetry_) view_->Resuming(lastRetry_->number, lastRetry_->of, part.offset);
    return Step::kOpenFile;
}

UploadSession::Step UploadSession::DoSendBlocks() {
    const Store& store = *store_;  // written by this thread only
    const UploadFile& file = request_.files[store.index];
    // Exactly the length found when the file was opened goes out: that is the size the page is
    // told and the one the server's copy is checked against.
    const std::uint64_t left = store.length - store.Held();
    const std::size_t wanted =
        left == 0 ? 1 : static_cast<std::size_t>(std::min<std::uint64_t>({sizer_.Size(), buffer_.size(), left}));
    std::size_t read = 0;
    std::uint32_t error = 0;
    if (!file_->Read(buffer_.data(), wanted, read, error)) {
        FailLocal(SessionStep::ReadLocalFile, error, file);
        blocks_ = BlocksEnd::kFailed;
        return Step::kFinishStore;
    }
    if (left == 0 && read == 0) {
        blocks_ = BlocksEnd::kComplete;
        return Step::kFinishStore;
    }
    if (left == 0 || read == 0) {
        // It grew (a byte past the length), or it ended early: what the server holds is neither
        // the old file nor the new.
        FailLocal(SessionStep::LocalFileChanged, kFileChanged, file,
                  std::to_string(store.length) + " bytes when opened");
        noResume_.insert(store.index);
        blocks_ = BlocksEnd::kFailed;
        return Step::kFinishStore;
    }
    const std::uint64_t start = services_->NowMicros();
    const ChannelResult written = Channel().Write(buffer_.data(), read);
    if (!written.Ok()) {
        if (written.outcome == ChannelOutcome::kStopped) return Step::kDone;
        Fail(SessionStep::WriteBlock, written);
        ReportResult(SessionStep::WriteBlock, written);
        blocks_ = BlocksEnd::kFailed;
        return Step::kFinishStore;
    }
    const std::uint64_t now = services_->NowMicros();
    sizer_.Record(static_cast<std::uint32_t>(read), now - start);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        store_->sent += read;
    }
    bytesSent_ += read;
    AdvanceFileBar(store.Held(), store.length);
    TellRate(now, store);
    return Step::kSendBlocks;
}

UploadSession::Step UploadSession::DoFinishStore() {
    const Store store = *store_;
    // Every byte went out, or the store failed: either way the data ends as a store's data ends,
    // and the server's final reply says what it kept.
    const ChannelResult finished = Channel().FinishStore();
    if (finished.outcome == ChannelOutcome::kStopped) return Step::kDone;
    if (blocks_ == BlocksEnd::kComplete && nsFTP::StoreRefused(finished.response)) {
        // All bytes went out, but the server did not keep them all: a failed write, told by the
        // reply (which a close reads and calls no error).
        blocks_ = BlocksEnd::kFailed;
        ChannelResult refused = finished;
        refused.error = kReplyRefused;
        refused.responseError = kReplyRefused;
        refused.replyCode = nsFTP::LastReplyCode(finished.response);
        Fail(SessionStep::FinishStore, refused);
        ReportResult(SessionStep::FinishStore, refused);
    }
    file_.reset();
    if (blocks_ == BlocksEnd::kComplete) {
        // No final reply yet: this connection's replies are out of step; the next one confirms.
        if (nsFTP::FinalReplyMissing(finished.response)) {
            lateReply_ = finished.response;
            return Step::kAwaitLateReply;
        }
        return Step::kCheckStore;
    }
    if (failure_ && failure_->step == SessionStep::LocalFileChanged) {
        // A file that changed as it was read leaves a part the connection can still delete; where
        // it cannot, the next connection tries again.
        AbandonStore();
        DeleteStrays(Channel());
    } else if (failure_ && (failure_->step == SessionStep::WriteBlock || failure_->step == SessionStep::FinishStore)) {
        NotePartial(store);
    } else {
        SetStore(std::nullopt);
    }
    return Step::kEndAttempt;
}

UploadSession::Step UploadSession::DoAwaitLateReply() {
    // The server is still reading what the socket buffers hold, or it is gone. Asked once a
    // second while the file on the server grows; a server that does not answer SIZE is asked
    // NOOP, whose answer the late final reply takes the place of.
    using Kind = nsFTP::LateStoreReply::Kind;
    const Store store = *store_;
    std::uint64_t seen = 0;
    std::uint64_t lastGrowth = services_->NowMicros();
    for (;;) {
        services_->Wait(kLateStorePollMs, [this] { return Stopped(); });
        if (Stopped()) return Step::kDone;
        const ChannelResult answer =
            Channel().Ask(serverAnswersSize_ ? "SIZE " + store.remotePath : std::string("NOOP"));
        if (answer.outcome == ChannelOutcome::kStopped) return Step::kDone;
        if (!answer.Ok() && !answer.timedOut) break;  // the connection is gone
        nsFTP::LateStoreReply reply;
        if (answer.Ok()) {
            reply = nsFTP::JudgeLateStoreReply(answer.response, store.Held());
            lateReply_ = answer.response;
        }
        switch (reply.kind) {
        case Kind::kWhole:
        case Kind::kStoredByFinalReply: {
            Store confirm = store;
            confirm.fate = Store::Fate::kConfirm;
            SetStore(confirm);
            return Step::kEndAttempt;
        }
        case Kind::kDiffers:
        case Kind::kRefused:
            RefuseStore(store, lateReply_);
            NotePartial(store);
            return Step::kEndAttempt;
        case Kind::kShort:
            if (reply.size > seen) {
                seen = reply.size;
                lastGrowth = services_->NowMicros();
            }
            break;
        case Kind::kNoSizeCommand:
            serverAnswersSize_ = false;
            break;
        case Kind::kNoAnswer:
            break;
        }
        if (services_->NowMicros() - lastGrowth > kLateStoreStallMicros) break;
    }
    // The server stopped taking the file, or the connection went: what it holds is not the file.
    RefuseStore(store, lateReply_);
    NotePartial(store);
    return Step::kEndAttempt;
}

UploadSession::Step UploadSession::DoConfirmPending() {
    Store store = *store_;
    store.fate = Store::Fate::kSending;
    SetStore(store);
    return Step::kCheckStore;
}

UploadSession::Step UploadSession::DoCheckStore() {
    const Store store = *store_;
    // A server may answer 226 and keep less (a quota, a full disk, a proxy): its SIZE tells.
    if (serverAnswersSize_) {
        const ChannelResult answer = Channel().Ask("SIZE " + store.remotePath);
        if (answer.outcome == ChannelOutcome::kStopped) return Step::kDone;
        if (answer.Ok() && nsFTP::ReadSizeReply(answer.response).kind == nsFTP::SizeReply::Kind::kNoSizeCommand)
            serverAnswersSize_ = false;
        if (answer.Ok() && nsFTP::JudgeStoredSize(answer.response, store.Held()) == nsFTP::StoredSize::kDiffers) {
            RefuseStore(store, answer.response);
            // A store that went on from an offset and came out the wrong size: the server did not
            // go on from there (it took REST and wrote from the start). The file goes whole next.
            if (store.offset > 0) noResume_.insert(store.index);
            NotePartial(store);
            return Step::kEndAttempt;
        }
    }
    return CountStore(store) ? Step::kNextFile : Step::kDone;
}

bool UploadSession::CountStore(const Store& store) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stopReason_ != StopReason::kNone) return false;
        store_.reset();
    }
    const UploadFile& file = request_.files[store.index];
    view_->FileProgress(100);  // every byte is there, also for an empty file
    view_->FileStored();
    stored_.push_back({store.stored, store.Held()});
    limits_.Sent(file.listedSize, store.Held());
    ++sent_;
    view_->LogLine(TransferLine("[end transfer]", file, store.remotePath, store.Held()));
    // A refusal is reported; the file stays counted as sent.
    const ChannelResult permissions = Channel().Site("chmod 777 " + store.remotePath);
    if (!permissions.Ok() && permissions.outcome != ChannelOutcome::kStopped)
        ReportResult(SessionStep::SetPermissions, permissions);
    return true;
}

void UploadSession::RefuseStore(const Store& store, const std::string& reply) {
    // The server's own words, and what it should have said.
    ChannelResult refused;
    refused.outcome = ChannelOutcome::kRefused;
    refused.response = std::string(nsFTP::TrimLineEnds(reply)) + " (" + std::to_string(store.Held()) + " bytes sent)";
    refused.replyCode = nsFTP::LastReplyCode(refused.response);
    refused.error = kReplyRefused;
    refused.responseError = kReplyRefused;
    Fail(SessionStep::FinishStore, refused);
    ReportResult(SessionStep::FinishStore, refused);
}

bool UploadSession::ServerHolds(const std::string& remotePath) {
    if (!serverAnswersSize_) return false;
    const ChannelResult answer = Channel().Ask("SIZE " + remotePath);
    if (!answer.Ok()) return false;
    const nsFTP::SizeReply reply = nsFTP::ReadSizeReply(answer.response);
    if (reply.kind == nsFTP::SizeReply::Kind::kNoSizeCommand) serverAnswersSize_ = false;
    // Any 213 says that a file of that name is there, whatever it gives as its size.
    return reply.kind == nsFTP::SizeReply::Kind::kSize || reply.kind == nsFTP::SizeReply::Kind::kMalformed;
}

bool UploadSession::KeepsToLimits(const UploadFile& file, std::uint64_t length) {
    const SendRule rule = limits_.Judge(file.listedSize, length);
    if (rule == SendRule::kFits) return true;
    file_.reset();
    const char* broken =
        rule == SendRule::kOverFileMaximum ? "over the largest file taken (1 GiB)" : "over the page's size limit";
    FailLocal(SessionStep::LocalFileTooLarge, kFileTooLarge, file, std::to_string(length) + " bytes, " + broken);
    return false;
}

void UploadSession::FailLocal(SessionStep step, std::uint32_t error, const UploadFile& file,
                              const std::string& detail) {
    ChannelResult local;
    local.outcome = ChannelOutcome::kLocalError;
    local.error = static_cast<std::int32_t>(error);
    local.responseError = local.error;
    Fail(step, local);
    Report(step, local.error,
           "local file: " + file.reportPath + (detail.empty() ? std::string() : " (" + detail + ")"));
}

void UploadSession::NotePartial(Store store) {
    // Only a part this session wrote is ever gone on from: the stored name is its own.
    const bool goOn = request_.resume && noResume_.count(store.index) == 0;
    store.fate = goOn ? Store::Fate::kProbe : Store::Fate::kDelete;
    SetStore(store);
}

// The bar shows the file's real percentage; it never moves back.
void UploadSession::AdvanceFileBar(std::uint64_t sent, std::uint64_t length) {
    if (length == 0) return;
    const std::uint64_t percent = std::min<std::uint64_t>(sent * 100 / length, 100);
    if (static_cast<int>(percent) <= lastPercent_) return;
    lastPercent_ = static_cast<int>(percent);
    view_->FileProgress(lastPercent_);
}

void UploadSession::TellRate(std::uint64_t now, const Store& store) {
    rate_.Add(now, bytesSent_);
    if (!rate_.Due(now)) return;
    const std::uint64_t left = store.length - store.Held() + bytesAfter_[store.index];
    if (const std::optional<double> rate = rate_.BytesPerSecond()) view_->Rate(RateText(*rate, left));
}

}  // namespace tovalo::upload
