// CInetFtpChannel: the plain FTP channel of an upload session, through WinINet: its handles
// (session, FTP connection, remote file) with one operation per WinINet call, each call's error
// and the server's last response read right after it on the calling thread.
//
// Its handles are opened, used and closed by the thread that runs the session, and by no other:
// a handle closed under a thread that may still use it can be given to another connection of the
// process (the host's own, or a later session's), which that thread's next call would then act
// on. So a stop from another thread only makes every later call fail at once; the call in
// progress runs on to WinINet's own time-outs, which the channel sets (where WinINet keeps them).
#pragma once

#include <windows.h>
#include <wininet.h>

#include <mutex>
#include <optional>
#include <string>

#include "framework/Raii.h"
#include "upload/UploadChannel.h"

namespace tovalo::upload {

namespace detail {
inline void CloseInternet(HINTERNET h) { ::InternetCloseHandle(h); }
}  // namespace detail
using UniqueInternet = fw::UniqueHandle<HINTERNET, detail::CloseInternet>;

class CInetFtpChannel final : public IUploadChannel {
public:
    // agent: the name WinINet gives the session.
    explicit CInetFtpChannel(std::string agent);
    // Closes whatever is still open (file, then connection, then session).
    ~CInetFtpChannel() override = default;

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
    void SetLog(LogSink sink) override { m_log = std::move(sink); }

private:
    // Whether a stop came: then no call is made.
    bool Cancelled() const;
    // The result of a call that returned ok (false: failed) on the calling thread: its error and
    // the server's last response, or a stop when one came meanwhile. The response's lines go to
    // the log.
    ChannelResult Finish(bool ok);
    void Log(const std::string& line) const;

    const std::string m_agent;
    LogSink m_log;
    // Closed in this order's reverse: the file, the connection, the session.
    UniqueInternet m_internet;
    UniqueInternet m_connect;
    UniqueInternet m_file;

    mutable std::mutex m_mutex;
    bool m_cancelled = false;
};

}  // namespace tovalo::upload
