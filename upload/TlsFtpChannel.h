// CTlsFtpChannel: the secure channel of an upload session: the project's own FTP client with
// explicit FTPS required (WinINet has none), its blocks written one by one. To the session its
// failures look as WinINet's do: an error number for the thread and the server's last response.
// Failures of TLS itself (AUTH refused, a handshake, a certificate or a pin) are a refused log-on:
// never retried, and reported with their cause.
#pragma once

#include "ftp/FtpClient.h"
#include "upload/UploadChannel.h"

#include <string>
#include <vector>

namespace tovalo::upload {

class CTlsFtpChannel final : public IUploadChannel {
public:
    // pinSha256: the certificate's SHA-256 as the page gave it (hex, ":" allowed), or empty for
    // the system's trust store and the host name.
    explicit CTlsFtpChannel(std::string pinSha256);
    ~CTlsFtpChannel() override;

    bool OpenSession(const std::string& agent) override;
    void UsePassive(bool passive) override { m_passive = passive; }
    bool ConnectServer(const std::string& host, std::uint32_t port, const std::string& user,
                       const std::string& password) override;
    bool OpenRemoteFile(const std::string& remotePath) override;
    bool WriteBlock(const void* buffer, DWORD count, DWORD* written) override;
    bool SiteCommand(const std::string& text) override;
    ServerAnswer Ask(const std::string& command) override;
    bool DeleteRemoteFile(const std::string& remotePath) override;
    bool CloseRemoteFile() override;
    bool CloseConnection() override;
    bool CloseSession() override;
    LastResponse Response() const override { return m_last; }

private:
    // Keeps the reply lines of the exchange under way and the client's last error report.
    class CExchange final : public nsFTP::CFTPClient::CNotifaction {
    public:
        void OnReplyLine(const std::string& line) override { lines.push_back(line); }
        void OnErrorReport(const std::string& message, const std::string&, int) override { report = message; }
        std::string Text() const;
        std::vector<std::string> lines;
        std::string report;
    };

    // Starts an exchange: its lines and report are what the next Response() tells.
    void Begin();
    // Ends one: the response is the reply lines (or, without any, the client's report), and error
    // becomes the thread's last error. Gives ok.
    bool End(bool ok, DWORD error);
    // Ends a step that failed on TLS itself: a refused log-on, with the cause as the response.
    bool EndTlsRefused();

    std::string m_pin;
    bool m_passive = false;
    bool m_storeOpen = false;
    nsSocket::CSocketLibrary m_sockets;
    nsFTP::CFTPClient m_client;
    CExchange m_exchange;
    LastResponse m_last;
};

}  // namespace tovalo::upload
