// CInetFtpChannel: synchronous ANSI WinINet calls with their arguments fixed, guarded so that a
// stop from another thread can close the handles of the call in progress, and only those.
#include "upload/InetFtpChannel.h"

#include "ftp/ReplyMeanings.h"
#include "upload/LogFilter.h"
#include "upload/InetResult.h"

#include <utility>

namespace tovalo::upload {
namespace {

// The cleanup after a stop waits this long at most for each step.
constexpr DWORD kQuickTimeoutMs = 2000;
// WinINet keeps at most this much of the server's last response for us.
constexpr auto kResponseSize = static_cast<DWORD>(kResponseBytes);

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

CInetFtpChannel::CInetFtpChannel(std::string agent, bool quick) : m_agent(std::move(agent)), m_quick(quick) {}

CInetFtpChannel::~CInetFtpChannel() { Disconnect(); }

void CInetFtpChannel::Close(HINTERNET handle) {
    if (handle) ::InternetCloseHandle(handle);
}

std::optional<CInetFtpChannel::Handles> CInetFtpChannel::Enter() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_cancelled) return std::nullopt;
    m_inCall = true;
    return m_handles;
}

bool CInetFtpChannel::Leave() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_inCall = false;
    return m_cancelled;
}

void CInetFtpChannel::Cancel() {
    Handles taken;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_cancelled = true;
        // Between calls the worker closes its handles itself: a close made while no call is in
        // progress waits for the server's final reply, which is the worker's to wait for.
        if (!m_inCall) return;
        taken = std::exchange(m_handles, Handles{});
    }
    // On Windows this ends the call in progress; under Wine a write on a stalled server goes on
    // until the server comes back or gives up, and the worker then finds its handles gone.
    Close(taken.file);
    Close(taken.connect);
    Close(taken.internet);
}

bool CInetFtpChannel::Keep(HINTERNET Handles::*slot, HINTERNET handle) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_cancelled) {
            m_handles.*slot = handle;
            return true;
        }
    }
    // A stop closed the handles of the call that made this one: it goes with them.
    Close(handle);
    return false;
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
    if (Leave()) return ChannelResult::Stopped();
    if (!ok) return InetFailure(error, std::move(response.text), response.error);
    ChannelResult result;
    result.replyCode = nsFTP::LastReplyCode(response.text);
    result.response = std::move(response.text);
    result.responseError = response.error;
    return result;
}

ChannelResult CInetFtpChannel::Connect(const ConnectRequest& request) {
    if (request.port > 0xFFFF) return InetFailure(ERROR_INVALID_PARAMETER, std::string(), 0);
    std::optional<Handles> handles = Enter();
    if (!handles) return ChannelResult::Stopped();
    HINTERNET internet = handles->internet;
    if (!internet) {
        internet = ::InternetOpenA(m_agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        if (internet && m_quick) {
            DWORD timeout = kQuickTimeoutMs;
            for (const DWORD option :
                 {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT})
                ::InternetSetOptionA(internet, option, &timeout, sizeof timeout);
        }
        const DWORD error = ::GetLastError();
        if (!Keep(&Handles::internet, internet)) {
            Leave();
            return ChannelResult::Stopped();
        }
        ::SetLastError(error);
    }
    if (!internet) return Finish(false);
    Log("(connect " + request.host + ":" + std::to_string(request.port) + ")");
    // Flags 0: active data connections, unless a fallback asked for passive ones.
    HINTERNET connect = ::InternetConnectA(internet, request.host.c_str(), static_cast<INTERNET_PORT>(request.port),
                                           request.user.c_str(), request.password.c_str(), INTERNET_SERVICE_FTP,
                                           request.passive ? INTERNET_FLAG_PASSIVE : 0, 0);
    const DWORD error = ::GetLastError();
    Keep(&Handles::connect, connect);
    ::SetLastError(error);
    ChannelResult result = Finish(connect != nullptr);
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
    std::optional<Handles> handles = Enter();
    if (!handles) return ChannelResult::Stopped();
    Log("STOR " + remotePath);
    HINTERNET file = ::FtpOpenFileA(handles->connect, remotePath.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0);
    const DWORD error = ::GetLastError();
    Keep(&Handles::file, file);
    ::SetLastError(error);
    return Finish(file != nullptr);
}

ChannelResult CInetFtpChannel::Write(const char* data, std::size_t count) {
    std::optional<Handles> handles = Enter();
    if (!handles) return ChannelResult::Stopped();
    std::size_t done = 0;
    BOOL ok = TRUE;
    while (ok && done < count) {
        const DWORD block = static_cast<DWORD>(std::min<std::size_t>(count - done, 0x40000000));
        DWORD written = 0;
        ok = ::InternetWriteFile(handles->file, data + done, block, &written);
        if (ok && written == 0) {
            // Nothing taken and no error: the connection is gone.
            ::SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
            ok = FALSE;
        }
        done += written;
    }
    if (ok) {
        // A write leaves nothing to read: the result is the call's alone.
        if (Leave()) return ChannelResult::Stopped();
        return ChannelResult{};
    }
    return Finish(false);
}

ChannelResult CInetFtpChannel::FinishStore() {
    HINTERNET file = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cancelled) return ChannelResult::Stopped();
        m_inCall = true;
        file = std::exchange(m_handles.file, nullptr);
    }
    // WinINet reads the store's final reply when the file is closed, and calls the close a
    // success whatever the reply: the response tells.
    const BOOL ok = file ? ::InternetCloseHandle(file) : FALSE;
    if (!file) ::SetLastError(ERROR_INVALID_HANDLE);
    return Finish(ok != FALSE);
}

void CInetFtpChannel::AbortStore() {
    // WinINet has no other way to end a store's data: the server is told by the deletion that
    // follows.
    HINTERNET file = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        file = std::exchange(m_handles.file, nullptr);
    }
    Close(file);
}

ChannelResult CInetFtpChannel::Ask(const std::string& command) {
    std::optional<Handles> handles = Enter();
    if (!handles) return ChannelResult::Stopped();
    Log(command);
    const BOOL ok = ::FtpCommandA(handles->connect, FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr);
    // A refusal (4xx or 5xx) is an answer too; a time-out or a lost connection is none.
    if (!ok && ::GetLastError() == ERROR_INTERNET_EXTENDED_ERROR) return Finish(true);
    return Finish(ok != FALSE);
}

ChannelResult CInetFtpChannel::Site(const std::string& text) {
    std::optional<Handles> handles = Enter();
    if (!handles) return ChannelResult::Stopped();
    const std::string command = "SITE " + text;
    Log(command);
    return Finish(::FtpCommandA(handles->connect, FALSE, FTP_TRANSFER_TYPE_ASCII, command.c_str(), 0, nullptr) !=
                  FALSE);
}

ChannelResult CInetFtpChannel::Delete(const std::string& remotePath) {
    std::optional<Handles> handles = Enter();
    if (!handles) return ChannelResult::Stopped();
    Log("DELE " + remotePath);
    return Finish(::FtpDeleteFileA(handles->connect, remotePath.c_str()) != FALSE);
}

void CInetFtpChannel::Disconnect() {
    Handles taken;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        taken = std::exchange(m_handles, Handles{});
    }
    Close(taken.file);
    Close(taken.connect);
    Close(taken.internet);
}

}  // namespace tovalo::upload
