// IUploadChannel: what an upload session needs of its connection to the FTP server, one operation
// per step, so that the session runs the same over either channel: WinINet for plain FTP, or the
// project's own client where the connection must be encrypted. Failures are told by the results;
// the session then reads the channel's last response (and the thread's last error) at once.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tovalo::upload {

// What the server answered to a command: answered is false when no reply came for it, and then
// timedOut tells whether the wait ran out (the connection may still be there) rather than the
// connection being lost; text is the reply when there was one.
struct ServerAnswer {
    bool answered = false;
    bool timedOut = false;
    std::string text;
};

// The error number of the last failed step and the server's last response (one or more lines, at
// most 1024 bytes; empty when there is none).
struct LastResponse {
    std::int32_t error = 0;
    std::string text;
};

class IUploadChannel {
public:
    virtual ~IUploadChannel() = default;

    virtual bool OpenSession(const std::string& agent) = 0;
    // Passive data connections from the next ConnectServer on (active until then).
    virtual void UsePassive(bool passive) = 0;
    // port 0 is FTP's own port, 21; a port above 65535 is refused without a call.
    virtual bool ConnectServer(const std::string& host, std::uint32_t port, const std::string& user,
                               const std::string& password) = 0;
    virtual bool OpenRemoteFile(const std::string& remotePath) = 0;
    // A zero byte count is never issued: it succeeds with nothing written.
    virtual bool WriteBlock(const void* buffer, DWORD count, DWORD* written) = 0;
    virtual bool SiteCommand(const std::string& text) = 0;
    // The server's answer to a command without data ("SIZE remotePath", "NOOP").
    virtual ServerAnswer Ask(const std::string& command) = 0;
    // Removes a remote file (what a lost data connection left of an upload that is sent again).
    virtual bool DeleteRemoteFile(const std::string& remotePath) = 0;
    virtual bool CloseRemoteFile() = 0;
    virtual bool CloseConnection() = 0;
    virtual bool CloseSession() = 0;
    virtual LastResponse Response() const = 0;

protected:
    IUploadChannel() = default;
    IUploadChannel(const IUploadChannel&) = delete;
    IUploadChannel& operator=(const IUploadChannel&) = delete;
};

}  // namespace tovalo::upload
