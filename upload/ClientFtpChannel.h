// CClientFtpChannel: a channel of an upload session over the project's own FTP client, whose
// waits all end at once on a stop and whose time limits hold on every platform: the secure
// channel (explicit FTPS required, which WinINet has not), its blocks written one by one, and the
// cleanup after a stop, plain or secure as the session was. Failures of TLS itself (AUTH refused,
// a handshake, a certificate or a pin) are kTlsRefused: never retried, and reported with their
// cause. Its failures carry the numbers WinINet would give them, so that reports and status lines
// read the same over either channel.
#pragma once

#include "ftp/CancelSignal.h"
#include "ftp/FtpClient.h"
#include "upload/UploadChannel.h"

#include <string>
#include <vector>

namespace tovalo::upload {

class CClientFtpChannel final : public IUploadChannel {
public:
    // secure: explicit FTPS required. pinSha256: the certificate's SHA-256 as the page gave it
    // (hex, ":" allowed), or empty for the system's trust store and the host name. quick: the
    // whole exchange from the connection on gives up after a couple of seconds (the cleanup after a
    // stop); else each wait may last 30 s, as WinINet's.
    CClientFtpChannel(bool secure, std::string pinSha256, bool quick);
    ~CClientFtpChannel() override;

    ChannelResult Connect(const ConnectRequest& request) override;
    ChannelResult OpenStore(const std::string& remotePath, std::uint64_t offset) override;
    ChannelResult Write(const char* data, std::size_t count) override;
    ChannelResult FinishStore() override;
    void AbortStore() override;
    ChannelResult Ask(const std::string& command) override;
    ChannelResult Site(const std::string& text) override;
    ChannelResult Delete(const std::string& remotePath) override;
    void Disconnect() override;
    void Cancel() override;
    void SetLog(LogSink sink) override { m_exchange.log = std::move(sink); }

private:
    // Keeps the reply lines of the exchange under way and the client's last error report, and
    // hands commands and replies to the log (the account's never).
    class CExchange final : public nsFTP::CFTPClient::CNotifaction {
    public:
        void OnReplyLine(const std::string& line) override;
        void OnCommandSent(const std::string& command) override;
        void OnErrorReport(const std::string& message, const std::string&, int) override { report = message; }
        std::string Text() const;
        std::vector<std::string> lines;
        std::string report;
        LogSink log;
    };

    // Starts an exchange: its lines and report are what the next result tells; false once a stop
    // came (nothing is sent then).
    bool Begin();
    // The result of an exchange: ok, or a failure with the number WinINet would give it (reports
    // and status lines state it), the reply the client read, and what the failure means.
    ChannelResult End(bool ok, std::uint32_t error);
    // A step that failed on TLS itself, with the cause as the response.
    ChannelResult TlsRefused();

    const bool m_secure;
    const bool m_quick;
    std::string m_pin;
    bool m_passive = false;
    bool m_storeOpen = false;
    nsSocket::CSocketLibrary m_sockets;
    nsSocket::CCancelSignal m_stop;
    nsFTP::CFTPClient m_client;
    CExchange m_exchange;
};

}  // namespace tovalo::upload
