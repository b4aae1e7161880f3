// What an upload session takes from Windows: its channels (WinINet, or the project's own client
// for FTPS), local files by their wide paths, the clocks, waits a stop ends, the system's code
// page, and threads that hold the module while they run.
#pragma once

#include "upload/UploadTypes.h"

#include <condition_variable>
#include <functional>
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
    std::wstring Widen(std::string_view text) override;
    bool StartThread(std::function<void()> work) override;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
};

// Runs work on a thread of its own that keeps the module loaded until the thread is out of the
// module's code (and DllCanUnloadNow says no meanwhile); false when no thread could start.
bool StartModuleThread(std::function<void()> work);

}  // namespace tovalo::upload
