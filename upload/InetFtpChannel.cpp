// CInetFtpChannel: synchronous ANSI WinINet calls with their arguments fixed.
#include "upload/InetFtpChannel.h"

#include <utility>

namespace tovalo::upload {

CInetFtpChannel::~CInetFtpChannel() {
    CloseRemoteFile();
    CloseConnection();
    CloseSession();
}

bool CInetFtpChannel::Close(HINTERNET& handle) {
    // Reset first: a handle is closed once, whatever the call says.
    HINTERNET h = std::exchange(handle, nullptr);
    return h && ::InternetCloseHandle(h);
}

bool CInetFtpChannel::OpenSession(const std::string& agent) {
    Close(m_hInternet);
    m_hInternet = ::InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    return m_hInternet != nullptr;
}

bool CInetFtpChannel::ConnectServer(const std::string& host, std::uint32_t port, const std::string& user,
                                    const std::string& password) {
    Close(m_hConnect);
    if (port > 0xFFFF) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const auto ftpPort = static_cast<INTERNET_PORT>(port == 0 ? INTERNET_DEFAULT_FTP_PORT : port);
    // Flags 0: active data connections, unless a fallback asked for passive ones.
    m_hConnect = ::InternetConnectA(m_hInternet, host.c_str(), ftpPort, user.c_str(), password.c_str(),
                                    INTERNET_SERVICE_FTP, m_passive ? INTERNET_FLAG_PASSIVE : 0, 0);
    if (!m_hConnect) return false;
    // Binary type from the start, so that a server answers SIZE before the first store too (some
    // refuse SIZE in ASCII type); WinINet sets the type again for every transfer.
    ::FtpCommandA(m_hConnect, FALSE, FTP_TRANSFER_TYPE_BINARY, "TYPE I", 0, nullptr);
    return true;
}

bool CInetFtpChannel::OpenRemoteFile(const std::string& remotePath) {
    Close(m_hFile);
    m_hFile = ::FtpOpenFileA(m_hConnect, remotePath.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0);
    return m_hFile != nullptr;
}

bool CInetFtpChannel::WriteBlock(const void* buffer, DWORD count, DWORD* written) {
    *written = 0;
    if (count == 0) return true;
    return ::InternetWriteFile(m_hFile, buffer, count, written) != FALSE;
}

bool CInetFtpChannel::SiteCommand(const std::string& text) {
    const std::string command = "SITE " + text;
    return ::FtpCommandA(m_hConnect, FALSE, FTP_TRANSFER_TYPE_ASCII, command.c_str(), 0, nullptr) != FALSE;
}

ServerAnswer CInetFtpChannel::Ask(const std::string& command) {
    const bool ok = ::FtpCommandA(m_hConnect, FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr) != FALSE;
    const DWORD error = ::GetLastError();
    ServerAnswer answer;
    // A refusal (4xx or 5xx) is an answer too; a time-out or a lost connection is none.
    answer.answered = ok || error == ERROR_INTERNET_EXTENDED_ERROR;
    answer.timedOut = !answer.answered && error == ERROR_INTERNET_TIMEOUT;
    if (answer.answered) answer.text = ReadLastResponse().text;
    return answer;
}

bool CInetFtpChannel::DeleteRemoteFile(const std::string& remotePath) {
    return ::FtpDeleteFileA(m_hConnect, remotePath.c_str()) != FALSE;
}

bool CInetFtpChannel::CloseRemoteFile() { return Close(m_hFile); }
bool CInetFtpChannel::CloseConnection() { return Close(m_hConnect); }
bool CInetFtpChannel::CloseSession() { return Close(m_hInternet); }

LastResponse CInetFtpChannel::ReadLastResponse() {
    constexpr DWORD kBufferSize = 1024;
    LastResponse response;
    char buffer[kBufferSize] = {};
    DWORD error = 0;
    DWORD length = kBufferSize;
    if (::InternetGetLastResponseInfoA(&error, buffer, &length)) {
        response.text.assign(buffer, length < kBufferSize ? length : kBufferSize);
    }
    response.error = static_cast<std::int32_t>(error);
    return response;
}

}  // namespace tovalo::upload
