// What an upload session takes from Windows: its channels (WinINet, or the project's own client
// for FTPS and for the cleanup after a stop), local files by their wide paths, the clocks, waits a
// stop ends, threads that hold the module while they run, the error reports they send, and the
// process's gate.
#pragma once

#include "upload/UploadTypes.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace tovalo::upload {

class CSessionServices final : public ISessionServices {
public:
    std::unique_ptr<IUploadChannel> MakeChannel(const UploadRequest& request, bool forCleanup) override;
    std::unique_ptr<ILocalFile> OpenLocalFile(const std::wstring& path, std::uint32_t& error) override;
    std::uint64_t NowMicros() override;
    std::uint32_t WallSeconds32() override;
    void Wait(std::uint64_t ms, const std::function<bool()>& stopped) override;
    void Wake() override;
    bool StartThread(std::function<void()> work) override;
    // The session's reports go out one after another, in the order made, on a module thread.
    void Report(std::int32_t error, const std::string& text) override;
    SessionGate& Gate() override;

private:
    // The reports still to send, shared with the thread that sends them (which may outlive this).
    struct Reports {
        std::mutex mutex;
        std::deque<std::string> requests;
        bool sending = false;
    };
    static void SendReports(const std::shared_ptr<Reports>& reports);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::shared_ptr<Reports> m_reports = std::make_shared<Reports>();
};

// Runs work on a thread of its own that keeps the module loaded until the thread is out of the
// module's code (and DllCanUnloadNow says no meanwhile); false when no thread could start.
bool StartModuleThread(std::function<void()> work);

}  // namespace tovalo::upload
