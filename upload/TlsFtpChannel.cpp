// CTlsFtpChannel: the upload session over the project's own FTP client with FTPS required.
#include "upload/TlsFtpChannel.h"

#include <wininet.h>

#include <utility>

namespace tovalo::upload {
namespace {

// The seconds any one wait may last: WinINet's receive time-out, which the session's handling of
// a late final reply is built around.
constexpr unsigned kTimeoutSeconds = 30;
// The client's buffer: the largest receive, and a listing's block (a store's blocks are the
// session's own).
constexpr unsigned kBufferSize = 65536;

}  // namespace

std::string CTlsFtpChannel::CExchange::Text() const {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text.size() <= 1024 ? text : text.substr(text.size() - 1024);
}

CTlsFtpChannel::CTlsFtpChannel(std::string pinSha256)
    : m_pin(std::move(pinSha256)), m_client(kTimeoutSeconds, kBufferSize, false) {
    // The session's reply reads need no pacing.
    m_client.SetReplyPause(std::chrono::milliseconds(0));
    m_client.AddObserver(&m_exchange);
}

CTlsFtpChannel::~CTlsFtpChannel() {
    CloseConnection();
    m_client.RemoveObserver(&m_exchange);
}

void CTlsFtpChannel::Begin() {
    m_exchange.lines.clear();
    m_exchange.report.clear();
}

bool CTlsFtpChannel::End(bool ok, DWORD error) {
    m_last.error = ok ? 0 : static_cast<std::int32_t>(error);
    m_last.text = m_exchange.lines.empty() ? m_exchange.report : m_exchange.Text();
    if (!ok) ::SetLastError(error);
    return ok;
}

bool CTlsFtpChannel::EndTlsRefused() {
    // The cause is in the client's report: the text the server sent last says nothing of it.
    m_exchange.lines.clear();
    m_exchange.report = "TLS: " + m_exchange.report;
    return End(false, ERROR_INTERNET_LOGIN_FAILURE);
}

bool CTlsFtpChannel::OpenSession(const std::string&) {
    Begin();
    if (!m_sockets.IsStarted()) m_exchange.report = "the socket library did not start";
    return End(m_sockets.IsStarted(), ERROR_INTERNET_INTERNAL_ERROR);
}

bool CTlsFtpChannel::ConnectServer(const std::string& host, std::uint32_t port, const std::string& user,
                                   const std::string& password) {
    Begin();
    if (port > 0xFFFF) return End(false, ERROR_INVALID_PARAMETER);
    const std::string pin = nsTls::NormalizePin(m_pin);
    if (!m_pin.empty() && pin.empty()) {
        // A pin that cannot match any certificate: nothing is sent, and the page is told why.
        m_exchange.report = "TLS: ftpCertPin is not a SHA-256 of 64 hex digits";
        return End(false, ERROR_INTERNET_LOGIN_FAILURE);
    }
    m_client.RequireTls(nsTls::CTlsPolicy{{}, pin, false});
    const nsFTP::CLogonData logon(host, port == 0 ? 21 : port, user, password, "");
    if (m_client.Logon(logon)) return End(true, 0);
    // Why, as WinINet would say it: a refused log-on (a 530, or TLS itself: no AUTH TLS, a
    // handshake, a certificate or a pin that did not match) is not retried; no connection, or
    // one that broke, is.
    const bool greeted = !m_exchange.lines.empty();
    const bool loggedOut = greeted && m_exchange.lines.back().rfind("530", 0) == 0;
    if (m_client.TlsRefused()) return EndTlsRefused();
    return End(false, loggedOut ? ERROR_INTERNET_LOGIN_FAILURE
                                : (greeted ? ERROR_INTERNET_CONNECTION_ABORTED : ERROR_INTERNET_CANNOT_CONNECT));
}

bool CTlsFtpChannel::OpenRemoteFile(const std::string& remotePath) {
    Begin();
    m_storeOpen = m_client.BeginStore(remotePath, m_passive);
    if (m_storeOpen) return End(true, 0);
    if (m_client.TlsRefused()) return EndTlsRefused();
    return End(false, m_exchange.lines.empty() ? ERROR_INTERNET_CANNOT_CONNECT : ERROR_INTERNET_EXTENDED_ERROR);
}

bool CTlsFtpChannel::WriteBlock(const void* buffer, DWORD count, DWORD* written) {
    *written = 0;
    if (count == 0) return true;
    Begin();
    if (!m_client.WriteStore(static_cast<const char*>(buffer), count))
        return End(false, ERROR_INTERNET_CONNECTION_RESET);
    *written = count;
    return true;
}

bool CTlsFtpChannel::CloseRemoteFile() {
    if (!m_storeOpen) return false;
    m_storeOpen = false;
    Begin();
    // As WinINet: the close succeeds, and the final reply (226, or a refusal) is the response.
    m_client.FinishStore();
    return End(true, 0);
}

bool CTlsFtpChannel::SiteCommand(const std::string& text) {
    Begin();
    const int outcome = m_client.Site(text);
    return End(outcome == 0, outcome > 0 ? ERROR_INTERNET_EXTENDED_ERROR : ERROR_INTERNET_CONNECTION_ABORTED);
}

ServerAnswer CTlsFtpChannel::Ask(const std::string& command) {
    Begin();
    ServerAnswer answer;
    std::string reply;
    int replyClass = -1;
    answer.answered = m_client.SendCommand(command) && m_client.ReadReply(reply, replyClass);
    if (answer.answered) answer.text = m_exchange.Text();
    End(answer.answered, ERROR_INTERNET_CONNECTION_ABORTED);
    return answer;
}

bool CTlsFtpChannel::DeleteRemoteFile(const std::string& remotePath) {
    Begin();
    const int outcome = m_client.Delete(remotePath);
    return End(outcome == 0, outcome > 0 ? ERROR_INTERNET_EXTENDED_ERROR : ERROR_INTERNET_CONNECTION_ABORTED);
}

bool CTlsFtpChannel::CloseConnection() {
    if (m_storeOpen) CloseRemoteFile();
    if (!m_client.IsConnected()) return true;
    m_client.Quit();
    m_client.DisconnectControl();
    return true;
}

bool CTlsFtpChannel::CloseSession() { return true; }

}  // namespace tovalo::upload
