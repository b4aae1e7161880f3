// UploadSession: the loop over its steps, connecting, and how a session ends.
#include "upload/UploadSession.h"

#include "ftp/ReplyMeanings.h"
#include "upload/ErrorReport.h"
#include "upload/Password.h"
#include "upload/SessionGate.h"

#include <algorithm>
#include <utility>

namespace tovalo::upload {
namespace {

// The port FTP has when the page gives none.
constexpr std::uint32_t kFtpPort = 21;
// How often a session that waits for the pass asks for it again.
constexpr std::uint64_t kGatePollMs = 250;

}  // namespace

UploadSession::UploadSession(UploadRequest request, std::shared_ptr<ISessionServices> services,
                             std::shared_ptr<IUploadView> view)
    : request_(std::move(request)),
      services_(std::move(services)),
      view_(std::move(view)),
      password_(DecodePassword(request_.password)),
      limits_(request_.limits),
      retryBudget_(request_.retryCount),
      bytesAfter_(request_.files.size(), 0) {
    account_.host = request_.host;
    account_.port = request_.port == 0 ? kFtpPort : request_.port;
    account_.user = request_.user;
    account_.password = password_;
    for (std::size_t i = bytesAfter_.size(); i-- > 1;)
        bytesAfter_[i - 1] = bytesAfter_[i] + request_.files[i].listedSize;
}

UploadSession::~UploadSession() = default;

void UploadSession::Run() {
    if (!EnterGate()) return;  // stopped while it waited: nothing was sent
    Step step = Step::kConnect;
    while (step != Step::kDone && !Stopped()) step = Do(step);
    Teardown();
}

bool UploadSession::EnterGate() {
    const std::uint64_t start = services_->NowMicros();
    bool waiting = false;
    for (;;) {
        if (Stopped()) return false;
        const std::uint64_t waited = services_->NowMicros() - start;
        if (std::shared_ptr<SessionPass> pass = services_->Gate().TryEnter(waited >= kGateGraceMicros)) {
            bool stopped = false;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                pass_ = pass;
                stopped = stopReason_ != StopReason::kNone;
            }
            if (stopped) pass->MarkSettled();  // a stop that came as the pass did
            if (waiting) view_->WaitingForPrevious(false);
            return true;
        }
        if (!waiting && waited >= kGateNoticeMicros) {
            waiting = true;
            view_->WaitingForPrevious(true);
        }
        services_->Wait(kGatePollMs, [this] { return Stopped(); });
    }
}

UploadSession::Step UploadSession::Do(Step step) {
    switch (step) {
    case Step::kConnect:
        return DoConnect();
    case Step::kTidyServer:
        return DoTidyServer();
    case Step::kProbeResume:
        return DoProbeResume();
    case Step::kConfirmPending:
        return DoConfirmPending();
    case Step::kNextFile:
        return DoNextFile();
    case Step::kOpenFile:
        return DoOpenFile();
    case Step::kSendBlocks:
        return DoSendBlocks();
    case Step::kFinishStore:
        return DoFinishStore();
    case Step::kAwaitLateReply:
        return DoAwaitLateReply();
    case Step::kCheckStore:
        return DoCheckStore();
    case Step::kEndAttempt:
        return DoEndAttempt();
    case Step::kWaitRetry:
        return DoWaitRetry();
    case Step::kDone:
        break;
    }
    return Step::kDone;
}

bool UploadSession::Stop(StopReason reason) {
    std::shared_ptr<IUploadChannel> busy;
    std::shared_ptr<SessionPass> pass;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (outcome_) return false;
        stopReason_ = reason;
        UploadOutcome stopped;
        stopped.stopped = reason;
        outcome_ = std::move(stopped);
        busy = channel_;
        pass = pass_;
    }
    services_->Wake();
    // The call under way ends where the channel can end it without touching what the worker
    // still uses (the secure channel's waits end at once; a WinINet call runs on to its time-out),
    // and every later call fails at once.
    if (busy) busy->Cancel();
    if (!pass) return true;  // it had not begun: nothing is on any server
    pass->MarkSettled();
    // What the session left on the server goes at once, on a connection of its own and a thread
    // of its own: the worker may still hang where the platform cannot cut a call short, and the
    // page's thread must never wait on the network. The worker tries again as it ends.
    const std::shared_ptr<UploadSession> self = shared_from_this();
    services_->StartThread([self, pass] { pass->Act([&self] { self->DeleteLeftovers(); }); });
    return true;
}

std::optional<UploadOutcome> UploadSession::Outcome() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return outcome_;
}

bool UploadSession::Stopped() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return stopReason_ != StopReason::kNone;
}

UploadSession::Step UploadSession::DoConnect() {
    failure_.reset();
    connected_ = false;
    const std::shared_ptr<IUploadChannel> channel = services_->MakeChannel(request_, false);
    if (!channel) {
        ChannelResult local;
        local.outcome = ChannelOutcome::kLocalError;
        Fail(SessionStep::Connect, local);
        return Step::kEndAttempt;
    }
    channel->SetLog([view = view_](const std::string& line) { view->LogLine(line); });
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        channel_ = channel;
    }
    ConnectRequest connect = account_;
    connect.passive = passive_;
    const ChannelResult result = channel->Connect(connect);
    if (!result.Ok()) {
        Fail(SessionStep::Connect, result);
        ReportResult(SessionStep::Connect, result);
        return Step::kEndAttempt;
    }
    connected_ = true;
    retryBudget_.LoggedOn();
    return Step::kTidyServer;
}

UploadSession::Step UploadSession::DoTidyServer() {
    // A part nobody goes on from (the file is sent again in full under a new name) goes, and so do
    // the parts whose deletion failed before.
    if (store_ && store_->fate == Store::Fate::kDelete) AbandonStore();
    DeleteStrays(Channel());
    if (store_ && store_->fate == Store::Fate::kProbe) return Step::kProbeResume;
    if (store_ && store_->fate == Store::Fate::kConfirm) return Step::kConfirmPending;
    return Step::kNextFile;
}

UploadSession::Step UploadSession::DoEndAttempt() {
    std::shared_ptr<IUploadChannel> channel;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        channel = std::exchange(channel_, nullptr);
    }
    if (channel) channel->Disconnect();
    if (Stopped()) return Step::kDone;
    // A store whose final reply came late is confirmed on a fresh connection at once.
    if (store_ && store_->fate == Store::Fate::kConfirm && !failure_) return Step::kConnect;
    if (failure_) {
        const FailureVerdict verdict = JudgeFailure(failure_->step, passive_, failure_->result);
        const std::optional<RetryBudget::Retry> retry = verdict.retry ? retryBudget_.Take() : std::nullopt;
        if (retry) {
            lastRetry_ = retry;
            if (verdict.usePassive) passive_ = true;
            // The server's reply is in its code page, the system's.
            view_->Retrying(retry->number, retry->of, FailureReason(failure_->step, failure_->result));
            retryDelaySeconds_ = retry->delaySeconds;
            return Step::kWaitRetry;
        }
        if (!connected_) {
            // Files sent by earlier attempts are not reported either: the session failed.
            UploadOutcome failed;
            failed.connectFailed = true;
            Settle(std::move(failed));
            return Step::kDone;
        }
    }
    const std::size_t count = request_.files.size();
    UploadOutcome ended;
    ended.result = sent_ == count ? 1 : 0;
    if (count > 0 && sent_ == count) ended.stored = stored_;
    Settle(std::move(ended));
    return Step::kDone;
}

UploadSession::Step UploadSession::DoWaitRetry() {
    // "S" and a yes to the close question end the wait, as they end a transfer.
    services_->Wait(std::uint64_t{retryDelaySeconds_} * 1000, [this] { return Stopped(); });
    return Stopped() ? Step::kDone : Step::kConnect;
}

void UploadSession::Settle(UploadOutcome outcome) {
    std::shared_ptr<SessionPass> pass;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (outcome_) return;  // a stop came first: it settled the outcome, and the last act needs the pass
        outcome_ = outcome;
        pass = std::exchange(pass_, nullptr);
    }
    pass.reset();
    view_->Ended(outcome);
}

void UploadSession::SetStore(std::optional<Store> store) {
    const std::lock_guard<std::mutex> lock(mutex_);
    store_ = std::move(store);
}

void UploadSession::AbandonStore() {
    const std::lock_guard<std::mutex> lock(mutex_);
    strays_.push_back(store_->remotePath);
    store_.reset();
}

void UploadSession::DeleteStrays(IUploadChannel& channel) {
    std::vector<std::string> strays;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        strays = strays_;
    }
    for (const std::string& part : strays) {
        if (!RemovePart(channel, part)) continue;
        const std::lock_guard<std::mutex> lock(mutex_);
        strays_.erase(std::find(strays_.begin(), strays_.end(), part));
    }
}

void UploadSession::Fail(SessionStep step, ChannelResult result) { failure_ = Failure{step, std::move(result)}; }

IUploadChannel& UploadSession::Channel() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return *channel_;
}

void UploadSession::Report(SessionStep step, std::int32_t error, const std::string& text) {
    // Over FTPS the report names no file and quotes no reply: it goes over plain HTTP, and the
    // names and paths are what the secure channel kept from the network.
    const std::string said = request_.secure ? SecureReportText(StepText(step), nsFTP::LastReplyCode(text)) : text;
    if (lastReport_ && lastReport_->first == error && lastReport_->second == said) return;
    lastReport_.emplace(error, said);
    services_->Report(error, said);
}

void UploadSession::ReportResult(SessionStep step, const ChannelResult& result) {
    // A stop is no failure to report: it was asked for.
    if (result.outcome == ChannelOutcome::kStopped) return;
    Report(step, result.responseError, result.response);
}

}  // namespace tovalo::upload
