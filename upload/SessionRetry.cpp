// CFileUploadSlg's retries: after an attempt that failed transiently, the status line says so,
// the dialog waits (1, 2, 4, then 8 s, messages pumped, "S" and the close question end the wait),
// and the session reconnects, in passive mode for good once active mode could not make a data
// connection, and sends the failed file again from its start under a new stored name.
#include "upload/FileUploadDlg.h"

#include "upload/InetFtpChannel.h"

#include "framework/Text.h"

namespace tovalo::upload {
namespace {

// WinINet's error numbers after which the server's last response says why a step failed.
constexpr DWORD kReplyErrors[] = {ERROR_INTERNET_EXTENDED_ERROR, ERROR_INTERNET_LOGIN_FAILURE};

// The server's last reply line when it is the reason, else what failed and WinINet's number.
std::string Reason(SessionStep step, DWORD error, const std::string& response) {
    for (const DWORD replyError : kReplyErrors) {
        if (error != replyError) continue;
        std::string line = response;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        const size_t start = line.find_last_of('\n');
        if (start != std::string::npos) line.erase(0, start + 1);
        if (!line.empty()) return line;
    }
    return std::string(StepText(step)) + " (error " + std::to_string(error) + ")";
}

}  // namespace

void CFileUploadSlg::NoteFailure(SessionStep step, DWORD error) { NoteFailure(step, error, Response().text); }

void CFileUploadSlg::NoteFailure(SessionStep step, DWORD error, std::string response) {
    m_failure = FailedStep{step, error, std::move(response)};
}

void CFileUploadSlg::NotePartialFile(const std::string& remotePath) {
    if (!m_failure) return;
    switch (m_failure->step) {
    case SessionStep::WriteBlock:
    case SessionStep::FinishStore:
        m_strPartialRemotePath = remotePath;
        break;
    default:
        break;
    }
}

void CFileUploadSlg::DeletePartialFile(IUploadChannel& channel) {
    if (m_strPartialRemotePath.empty()) return;
    // The file is sent again in full under a new name; what the lost connection left goes.
    channel.DeleteRemoteFile(m_strPartialRemotePath);
    m_strPartialRemotePath.clear();
}

CFileUploadSlg::RetryDecision CFileUploadSlg::DecideRetry() {
    const FailureVerdict verdict = JudgeFailure(m_failure->step, m_bPassive, m_failure->error, m_failure->response);
    if (!verdict.retry) return RetryDecision::GiveUp;
    const std::optional<RetryBudget::Retry> retry = m_retryBudget.Take();
    if (!retry) return RetryDecision::GiveUp;
    if (verdict.usePassive) m_bPassive = true;
    // The server's reply is in its code page, the system's.
    SetStatus(L"재시도 " + std::to_wstring(retry->number) + L"/" + std::to_wstring(retry->of) + L" … " +
              fw::ToWide(Reason(m_failure->step, m_failure->error, m_failure->response)));
    return WaitBeforeRetry(retry->delaySeconds) ? RetryDecision::Retry : RetryDecision::Stopped;
}

bool CFileUploadSlg::WaitBeforeRetry(unsigned seconds) {
    // "S" and a yes to the close question end the wait, as they end a transfer.
    if (m_bGoingAway) return false;
    m_state = SessionState::kWaiting;
    const bool goOn = WaitWhileBusy(seconds * 1000);
    m_state = SessionState::kIdle;
    return goOn;
}

}  // namespace tovalo::upload
