// UploadSession: the loop over its steps, connecting, and how a session ends.
#include "upload/UploadSession.h"

#include "ftp/ReplyMeanings.h"
#include "upload/ErrorReport.h"
#include "upload/Password.h"

#include <utility>

namespace tovalo::upload {
namespace {

// The port FTP has when the page gives none.
constexpr std::uint32_t kFtpPort = 21;

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
    Step step = Step::kConnect;
    while (step != Step::kDone && !Stopped()) step = Do(step);
    Teardown();
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
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (outcome_) return false;
        stopReason_ = reason;
        UploadOutcome stopped;
        stopped.stopped = reason;
        outcome_ = std::move(stopped);
        busy = channel_;
    }
    services_->Wake();
    // The channel's call under way is cut short, and what the session left on the server is
    // deleted, on a thread of the cleanup's own: closing a WinINet handle can wait for the
    // server's final reply, and the page's thread must never wait on the network. The worker,
    // still stuck where the platform cannot cut a call short, does the same as it ends.
    const std::shared_ptr<UploadSession> self = shared_from_this();
    services_->StartThread([self, busy] { self->CleanUpAfterStop(busy); });
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
    std::string partial;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        partial = std::exchange(partialPath_, std::string());
    }
    // The file is sent again in full under a new name; what the lost connection left goes.
    if (!partial.empty()) Channel().Delete(partial);
    if (resume_) return Step::kProbeResume;
    return pending_ ? Step::kConfirmPending : Step::kNextFile;
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
    if (pending_ && !failure_) return Step::kConnect;
    if (failure_) {
        const FailureVerdict verdict = JudgeFailure(failure_->step, passive_, failure_->result);
        const std::optional<RetryBudget::Retry> retry = verdict.retry ? retryBudget_.Take() : std::nullopt;
        if (retry) {
            lastRetry_ = retry;
            if (verdict.usePassive) passive_ = true;
            // The server's reply is in its code page, the system's.
            view_->Status(L"재시도 " + std::to_wstring(retry->number) + L"/" + std::to_wstring(retry->of) + L" … " +
                          services_->Widen(FailureReason(failure_->step, failure_->result)));
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
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (outcome_) return;  // a stop came first: it settled the outcome
        outcome_ = outcome;
    }
    view_->Ended(outcome);
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
    view_->Report(error, said);
}

void UploadSession::ReportResult(SessionStep step, const ChannelResult& result) {
    // A stop is no failure to report: it was asked for.
    if (result.outcome == ChannelOutcome::kStopped) return;
    Report(step, result.responseError, result.response);
}

}  // namespace tovalo::upload
