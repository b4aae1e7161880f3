// CClientFtpChannel: an upload session's channel over the project's own FTP client.
#include "upload/ClientFtpChannel.h"

#include "ftp/ReplyMeanings.h"
#include "upload/LogFilter.h"

#include <wininet.h>

#include <chrono>
#include <utility>

namespace tovalo::upload {
namespace {

// The seconds any one wait may last: WinINet's receive time-out, which the session's handling of
// a late final reply is built around. The cleanup after a stop gives its whole exchange less.
constexpr unsigned kTimeoutSeconds = 30;
constexpr unsigned kQuickTimeoutSeconds = 2;
// The client's buffer: the largest receive, and a listing's block (a store's blocks are the
// session's own).
constexpr unsigned kBufferSize = 65536;
}  // namespace

void CClientFtpChannel::CExchange::OnReplyLine(const std::string& line) {
    lines.push_back(line);
    if (log && !IsHiddenReply(line)) log(line);
}

void CClientFtpChannel::CExchange::OnCommandSent(const std::string& command) {
    if (log && !IsHiddenCommand(command)) log(command);
}

std::string CClientFtpChannel::CExchange::Text() const {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text.size() <= kResponseBytes ? text : text.substr(text.size() - kResponseBytes);
}

CClientFtpChannel::CClientFtpChannel(bool secure, std::string pinSha256, bool quick)
    : m_secure(secure),
      m_quick(quick),
      m_pin(std::move(pinSha256)),
      m_client(quick ? kQuickTimeoutSeconds : kTimeoutSeconds, kBufferSize, false) {
    // The session's reply reads need no pacing.
    // A stop ends any wait of the client's sockets at once, a blocked write on a stalled server too.
    m_client.SetCancelSignal(&m_stop);
    m_client.AddObserver(&m_exchange);
}

CClientFtpChannel::~CClientFtpChannel() {
    Disconnect();
    m_client.RemoveObserver(&m_exchange);
}

bool CClientFtpChannel::Begin() {
    m_exchange.lines.clear();
    m_exchange.report.clear();
    return !m_stop.Raised();
}

ChannelResult CClientFtpChannel::End(bool ok, std::uint32_t error) {
    if (m_stop.Raised()) return ChannelResult::Stopped();
    ChannelResult result;
    // The reply the client read is the reason, when one came; otherwise its report says why.
    result.response = m_exchange.lines.empty() ? m_exchange.report : m_exchange.Text();
    result.replyCode = m_exchange.lines.empty() ? 0 : nsFTP::LastReplyCode(result.response);
    if (ok) return result;
    result.error = static_cast<std::int32_t>(error);
    result.responseError = result.error;
    const bool refused = error == ERROR_INTERNET_LOGIN_FAILURE || result.replyCode >= 500;
    result.outcome = refused ? ChannelOutcome::kRefused : ChannelOutcome::kTransient;
    result.noDataConnection = error == ERROR_INTERNET_CANNOT_CONNECT;
    return result;
}

ChannelResult CClientFtpChannel::TlsRefused() {
    // The cause is in the client's report: the text the server sent last says nothing of it.
    ChannelResult result;
    result.outcome = ChannelOutcome::kTlsRefused;
    result.response = "TLS: " + m_exchange.report;
    result.error = ERROR_INTERNET_LOGIN_FAILURE;
    result.responseError = ERROR_INTERNET_LOGIN_FAILURE;
    return result;
}

ChannelResult CClientFtpChannel::Connect(const ConnectRequest& request) {
    if (!Begin()) return ChannelResult::Stopped();
    if (!m_sockets.IsStarted()) {
        m_exchange.report = "the socket library did not start";
        ChannelResult local = End(false, ERROR_INTERNET_INTERNAL_ERROR);
        local.outcome = ChannelOutcome::kLocalError;
        return local;
    }
    if (request.port > 0xFFFF) {
        ChannelResult local = End(false, ERROR_INVALID_PARAMETER);
        local.outcome = ChannelOutcome::kLocalError;
        return local;
    }
    if (m_quick) {
        // Connect, log-on and whatever follows, within the bound, however the server paces them.
        m_stop.RaiseAt(std::chrono::steady_clock::now() + std::chrono::seconds(kQuickTimeoutSeconds));
    }
    m_passive = request.passive;
    if (m_secure) {
        const std::string pin = nsTls::NormalizePin(m_pin);
        if (!m_pin.empty() && pin.empty()) {
            // A pin that cannot match any certificate: nothing is sent, and the page is told why.
            m_exchange.report = "ftpCertPin is not a SHA-256 of 64 hex digits";
            return TlsRefused();
        }
        m_client.RequireTls(nsTls::CTlsPolicy{{}, pin, false});
    }
    const nsFTP::CLogonData logon(request.host, request.port, request.user, request.password, "");
    if (m_client.Logon(logon)) {
        // Image type from the start, as over WinINet: servers refuse SIZE in ASCII type (a name's
        // question before the first store, a part's size before it is gone on from or deleted).
        m_client.SetType(nsFTP::CTransferType::Image());
        return End(true, 0);
    }
    if (m_client.TlsRefused()) return TlsRefused();
    // Why, as WinINet would say it: a refused log-on (a 530) is not retried; no connection, or
    // one that broke, is.
    const bool greeted = !m_exchange.lines.empty();
    const bool loggedOut = greeted && m_exchange.lines.back().rfind("530", 0) == 0;
    return End(false, loggedOut ? ERROR_INTERNET_LOGIN_FAILURE
                                : (greeted ? ERROR_INTERNET_CONNECTION_ABORTED : ERROR_INTERNET_CANNOT_CONNECT));
}

ChannelResult CClientFtpChannel::OpenStore(const std::string& remotePath, std::uint64_t offset) {
    if (!Begin()) return ChannelResult::Stopped();
    m_storeOpen = m_client.BeginStore(remotePath, m_passive, static_cast<std::int64_t>(offset));
    if (m_storeOpen) return End(true, 0);
    if (m_client.TlsRefused()) return TlsRefused();
    ChannelResult failed =
        End(false, m_exchange.lines.empty() ? ERROR_INTERNET_CANNOT_CONNECT : ERROR_INTERNET_EXTENDED_ERROR);
    failed.restartRefused = offset > 0 && m_client.RestartRefused();
    return failed;
}

ChannelResult CClientFtpChannel::Write(const char* data, std::size_t count) {
    if (!Begin()) return ChannelResult::Stopped();
    if (count == 0) return ChannelResult{};
    return End(m_client.WriteStore(data, count), ERROR_INTERNET_CONNECTION_RESET);
}

ChannelResult CClientFtpChannel::FinishStore() {
    if (!m_storeOpen) return End(false, ERROR_INVALID_HANDLE);
    m_storeOpen = false;
    if (!Begin()) return ChannelResult::Stopped();
    // As WinINet: the end of the data succeeds, and the final reply (226, or a refusal) tells.
    m_client.FinishStore();
    return End(true, 0);
}

void CClientFtpChannel::AbortStore() {
    if (!m_storeOpen) return;
    m_storeOpen = false;
    // After a stop the client ends the store's data with a reset and no close_notify, and does not
    // wait for the final reply: the server sees a transfer that broke off, not a complete file.
    m_stop.Raise();
    m_client.FinishStore();
}

ChannelResult CClientFtpChannel::Ask(const std::string& command) {
    if (!Begin()) return ChannelResult::Stopped();
    std::string reply;
    int replyClass = -1;
    const bool answered = m_client.SendCommand(command) && m_client.ReadReply(reply, replyClass);
    return End(answered, ERROR_INTERNET_CONNECTION_ABORTED);
}

ChannelResult CClientFtpChannel::Site(const std::string& text) {
    if (!Begin()) return ChannelResult::Stopped();
    const int outcome = m_client.Site(text);
    return End(outcome == 0, outcome > 0 ? ERROR_INTERNET_EXTENDED_ERROR : ERROR_INTERNET_CONNECTION_ABORTED);
}

ChannelResult CClientFtpChannel::Delete(const std::string& remotePath) {
    if (!Begin()) return ChannelResult::Stopped();
    const int outcome = m_client.Delete(remotePath);
    return End(outcome == 0, outcome > 0 ? ERROR_INTERNET_EXTENDED_ERROR : ERROR_INTERNET_CONNECTION_ABORTED);
}

void CClientFtpChannel::Disconnect() {
    AbortStore();
    if (!m_client.IsConnected()) return;
    // A stopped client has closed its connection already, without a goodbye.
    m_client.Quit();
    m_client.DisconnectControl();
}

void CClientFtpChannel::Cancel() { m_stop.Raise(); }

}  // namespace tovalo::upload
