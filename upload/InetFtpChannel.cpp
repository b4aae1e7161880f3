// CInetFtpChannel: synchronous ANSI WinINet calls with their arguments fixed, made and closed on
// the session's thread only; a stop from another thread makes every later call fail at once.
#include "upload/InetFtpChannel.h"

#include "ftp/ReplyMeanings.h"
#include "upload/LogFilter.h"
#include "upload/InetResult.h"

#include <algorithm>
#include <utility>

namespace tovalo::upload {
namespace {

// WinINet keeps at most this much of the server's last response for us.
constexpr auto kResponseSize = static_cast<DWORD>(kResponseBytes);
// The session's waits, set rather than left to WinINet's defaults (which differ between versions):
// the handling of a late final reply is built around 30 s.
constexpr DWORD kTimeoutMs = 30000;

struct LastResponse {
    std::int32_t error = 0;
    std::string text;
};

// The error number and the server's last response that WinINet kept for this thread.
LastResponse ReadLastResponse() {
    LastResponse response;
    char buffer[kResponseSize] = {};
    DWORD error = 0;
    DWORD length = kResponseSize;
    if (::InternetGetLastResponseInfoA(&error, buffer, &length)) {
        response.text.assign(buffer, length < kResponseSize ? length : kResponseSize);
    }
    response.error = static_cast<std::int32_t>(error);
    return response;
}

}  // namespace

CInetFtpChannel::CInetFtpChannel(std::string agent) : m_agent(std::move(agent)) {}

bool CInetFtpChannel::Cancelled() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_cancelled;
}

void CInetFtpChannel::Cancel() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
}

void CInetFtpChannel::Log(const std::string& line) const {
    if (m_log) m_log(line);
}

ChannelResult CInetFtpChannel::Finish(bool ok) {
    const DWORD error = ok ? 0 : ::GetLastError();
    LastResponse response = ReadLastResponse();
    // The response's lines, for the log (the account's never).
    std::size_t start = 0;
    while (start < response.text.size()) {
        std::size_t end = response.text.find('\n', start);
        if (end == std::string::npos) end = response.text.size();
        std::string line = response.text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && !IsHiddenReply(line)) Log(line);
        start = end + 1;
    }
    // A stop that came during the call: what the call did counts for nothing.
    if (Cancelled()) return ChannelResult::Stopped();
    if (!ok) return InetFailure(error, std::move(response.text), response.error);
    ChannelResult result;
    result.replyCode = nsFTP::LastReplyCode(response.text);
    result.response = std::move(response.text);
    result.responseError = response.error;
    return result;
}

ChannelResult CInetFtpChannel::Connect(const ConnectRequest& request) {
    if (request.port > 0xFFFF) return InetFailure(ERROR_INVALID_PARAMETER, std::string(), 0);
    if (Cancelled()) return ChannelResult::Stopped();
    if (!m_internet) {
        m_internet.Reset(::InternetOpenA(m_agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
        if (!m_internet) return Finish(false);
        DWORD timeout = kTimeoutMs;
        for (const DWORD option :
             {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT})
            ::InternetSetOptionA(m_internet.Get(), option, &timeout, sizeof timeout);
    }
    Log("(connect " + request.host + ":" + std::to_string(request.port) + ")");
    // Flags 0: active data connections, unless a fallback asked for passive ones.
    m_connect.Reset(::InternetConnectA(m_internet.Get(), request.host.c_str(), static_cast<INTERNET_PORT>(request.port),
                                       request.user.c_str(), request.password.c_str(), INTERNET_SERVICE_FTP,
                                       request.passive ? INTERNET_FLAG_PASSIVE : 0, 0));
    ChannelResult result = Finish(static_cast<bool>(m_connect));
    if (!result.Ok()) return result;
    // Binary type from the start, so that a server answers SIZE before the first store too (some
    // refuse SIZE in ASCII type); WinINet sets the type again for every transfer.
    Ask("TYPE I");
    return result;
}

ChannelResult CInetFtpChannel::OpenStore(const std::string& remotePath, std::uint64_t offset) {
    if (offset > 0) {
        // WinINet has no call that goes on from an offset, but the server takes REST before the
        // store that FtpOpenFile sends. REST wants image type, which FtpCommand's own binary flag
        // does not set (servers answer REST in ASCII type with 501). APPE through FtpCommand opens
        // no data connection, so a refused REST means the file starts over.
        const ChannelResult type = Ask("TYPE I");
        if (!type.Ok()) return type;
        ChannelResult restart = Ask("REST " + std::to_string(offset));
        if (!restart.Ok()) return restart;
        if (restart.replyCode != 350) {
            restart.outcome = ChannelOutcome::kRefused;
            restart.restartRefused = true;
            return restart;
        }
    }
    if (Cancelled()) return ChannelResult::Stopped();
    Log("STOR " + remotePath);
    m_file.Reset(::FtpOpenFileA(m_connect.Get(), remotePath.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0));
    return Finish(static_cast<bool>(m_file));
}

ChannelResult CInetFtpChannel::Write(const char* data, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        if (Cancelled()) return ChannelResult::Stopped();
        const DWORD block = static_cast<DWORD>(std::min<std::size_t>(count - done, 0x40000000));
        DWORD written = 0;
        BOOL ok = ::InternetWriteFile(m_file.Get(), data + done, block, &written);
        if (ok && written == 0) {
            // Nothing taken and no error: the connection is gone.
            ::SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
            ok = FALSE;
        }
        if (!ok) return Finish(false);
        done += written;
    }
    // A write leaves nothing to read: the result is the call's alone.
    if (Cancelled()) return ChannelResult::Stopped();
    return ChannelResult{};
}

ChannelResult CInetFtpChannel::FinishStore() {
    if (Cancelled()) return ChannelResult::Stopped();
    if (!m_file) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return Finish(false);
    }
    // WinINet reads the store's final reply when the file is closed, and calls the close a
    // success whatever the reply: the response tells.
    return Finish(::InternetCloseHandle(m_file.Release()) != FALSE);
}

void CInetFtpChannel::AbortStore() {
    // WinINet has no other way to end a store's data: the server is told by the deletion that
    // follows. The close may wait for the server's final reply: this thread's to wait for.
    m_file.Reset();
}

ChannelResult CInetFtpChannel::Ask(const std::string& command) {
    if (Cancelled()) return ChannelResult::Stopped();
    Log(command);
    const BOOL ok = ::FtpCommandA(m_connect.Get(), FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr);
    // A refusal (4xx or 5xx) is an answer too; a time-out or a lost connection is none.
    if (!ok && ::GetLastError() == ERROR_INTERNET_EXTENDED_ERROR) return Finish(true);
    return Finish(ok != FALSE);
}

ChannelResult CInetFtpChannel::Site(const std::string& text) {
    if (Cancelled()) return ChannelResult::Stopped();
    const std::string command = "SITE " + text;
    Log(command);
    return Finish(::FtpCommandA(m_connect.Get(), FALSE, FTP_TRANSFER_TYPE_ASCII, command.c_str(), 0, nullptr) != FALSE);
}

ChannelResult CInetFtpChannel::Delete(const std::string& remotePath) {
    if (Cancelled()) return ChannelResult::Stopped();
    Log("DELE " + remotePath);
    return Finish(::FtpDeleteFileA(m_connect.Get(), remotePath.c_str()) != FALSE);
}

void CInetFtpChannel::Disconnect() {
    m_file.Reset();
    m_connect.Reset();
    m_internet.Reset();
}

}  // namespace tovalo::upload
