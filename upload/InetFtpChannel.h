// CInetFtpChannel: the plain FTP channel of an upload session, through WinINet: its handles
// (session, FTP connection, remote file) with one operation per WinINet call. WinINet keeps the
// last response for the thread; the owner reads it right after a failed call.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "upload/UploadChannel.h"

namespace tovalo::upload {

class CInetFtpChannel final : public IUploadChannel {
public:
    CInetFtpChannel() = default;
    // Closes whatever is still open (file, then connection, then session), so that no failure
    // path of the owner leaves a handle behind.
    ~CInetFtpChannel() override;

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
    // WinINet keeps it for the thread.
    LastResponse Response() const override { return ReadLastResponse(); }

    // The error number and the server's last response that WinINet kept for this thread.
    static LastResponse ReadLastResponse();

private:
    static bool Close(HINTERNET& handle);

    HINTERNET m_hInternet = nullptr;
    HINTERNET m_hConnect = nullptr;
    HINTERNET m_hFile = nullptr;
    bool m_passive = false;
};

}  // namespace tovalo::upload
