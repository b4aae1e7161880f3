// CInetFtpChannel: the plain FTP channel of an upload session, through WinINet: its handles
// (session, FTP connection, remote file) with one operation per WinINet call, each call's error
// and the server's last response read right after it on the calling thread. A stop from another
// thread closes the handles of a call in progress, which ends that call on Windows.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <mutex>
#include <optional>
#include <string>

#include "upload/UploadChannel.h"

namespace tovalo::upload {

class CInetFtpChannel final : public IUploadChannel {
public:
    // agent: the name WinINet gives the session. quick: waits of a couple of seconds at most (the
    // cleanup after a stop), else WinINet's own (30 s).
    CInetFtpChannel(std::string agent, bool quick);
    // Closes whatever is still open (file, then connection, then session).
    ~CInetFtpChannel() override;

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
    struct Handles {
        HINTERNET internet = nullptr;
        HINTERNET connect = nullptr;
        HINTERNET file = nullptr;
    };
    // Every WinINet call runs between Enter and Leave. Enter gives the handles to use, or nothing
    // once a stop came (the call is not made); Leave says whether a stop came during the call
    // (its handles were closed by then: the call's result means nothing).
    std::optional<Handles> Enter();
    bool Leave();
    // The result of a call that returned ok (false: failed) on the calling thread: its error and
    // the server's last response. The response's lines go to the log.
    ChannelResult Finish(bool ok);
    // Keeps a handle a call made, unless a stop came meanwhile: then it is closed at once (false).
    bool Keep(HINTERNET Handles::*slot, HINTERNET handle);
    void Log(const std::string& line) const;
    static void Close(HINTERNET handle);

    const std::string m_agent;
    const bool m_quick;
    LogSink m_log;

    std::mutex m_mutex;
    Handles m_handles;
    bool m_inCall = false;
    bool m_cancelled = false;
};

}  // namespace tovalo::upload
