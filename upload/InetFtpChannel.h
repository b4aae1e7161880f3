// CInetFtpChannel: the WinINet handles of one upload session (session, FTP connection, remote
// file) with one operation per WinINet call. Failures are told by the results only; the owner
// reads WinINet's last response on the same thread right after a failed call.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

namespace tovalo::upload {

class CInetFtpChannel {
public:
    CInetFtpChannel() = default;
    // Closes whatever is still open (file, then connection, then session), so that no failure
    // path of the owner leaves a handle behind.
    ~CInetFtpChannel();
    CInetFtpChannel(const CInetFtpChannel&) = delete;
    CInetFtpChannel& operator=(const CInetFtpChannel&) = delete;

    bool OpenSession(const std::string& agent);
    // Passive data connections from the next ConnectServer on (active until then).
    void UsePassive(bool passive) { m_passive = passive; }
    // port 0 is FTP's own port, 21; a port above 65535 is refused without a call.
    bool ConnectServer(const std::string& host, std::uint32_t port, const std::string& user,
                       const std::string& password);
    bool OpenRemoteFile(const std::string& remotePath);
    // A zero byte count is never issued: it succeeds with nothing written.
    bool WriteBlock(const void* buffer, DWORD count, DWORD* written);
    bool SiteCommand(const std::string& text);
    // The server's answer to a command without data ("SIZE remotePath", "NOOP"; see ServerAnswer).
    struct ServerAnswer;
    ServerAnswer Ask(const std::string& command);
    // Removes a remote file (what a lost data connection left of an upload that is sent again).
    bool DeleteRemoteFile(const std::string& remotePath);
    bool CloseRemoteFile();
    bool CloseConnection();
    bool CloseSession();

private:
    static bool Close(HINTERNET& handle);

    HINTERNET m_hInternet = nullptr;
    HINTERNET m_hConnect = nullptr;
    HINTERNET m_hFile = nullptr;
    bool m_passive = false;
};

// What the server answered to a command: answered is false when no reply came for it, and then
// timedOut tells whether WinINet gave up waiting (the connection may still be there) rather than
// losing the connection; text is the reply when there was one.
struct CInetFtpChannel::ServerAnswer {
    bool answered = false;
    bool timedOut = false;
    std::string text;
};

// The error number and the server's last response that WinINet kept for this thread (the text
// cut to the length reported, at most 1024 bytes; empty when there is none).
struct LastResponse {
    std::int32_t error = 0;
    std::string text;
};
LastResponse ReadLastResponse();

}  // namespace tovalo::upload
