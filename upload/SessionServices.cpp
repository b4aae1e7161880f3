// What an upload session takes from Windows (see SessionServices.h).
#include "upload/SessionServices.h"

#include "framework/LocalPath.h"
#include "framework/Module.h"
#include "upload/ClientFtpChannel.h"
#include "upload/ErrorReport.h"
#include "upload/InetFtpChannel.h"
#include "upload/ReportSender.h"
#include "upload/SessionGate.h"
#include "upload/StoredName.h"

#include <windows.h>

#include <chrono>
#include <exception>
#include <memory>

namespace tovalo::upload {
namespace {

constexpr char kAgent[] = "Tovalo";

// A local file open for reading, shared with every other reader and writer; closed on every path.
class CLocalFile final : public ILocalFile {
public:
    explicit CLocalFile(HANDLE handle) : m_handle(handle) {}
    ~CLocalFile() override { ::CloseHandle(m_handle); }
    CLocalFile(const CLocalFile&) = delete;
    CLocalFile& operator=(const CLocalFile&) = delete;

    bool Length(std::uint64_t& length, std::uint32_t& error) override {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(m_handle, &size)) {
            error = ::GetLastError();
            return false;
        }
        length = static_cast<std::uint64_t>(size.QuadPart);
        return true;
    }
    bool Seek(std::uint64_t offset, std::uint32_t& error) override {
        LARGE_INTEGER to{};
        to.QuadPart = static_cast<LONGLONG>(offset);
        if (::SetFilePointerEx(m_handle, to, nullptr, FILE_BEGIN)) return true;
        error = ::GetLastError();
        return false;
    }
    bool Read(char* buffer, std::size_t capacity, std::size_t& read, std::uint32_t& error) override {
        DWORD got = 0;
        const DWORD wanted = static_cast<DWORD>(capacity < 0x40000000 ? capacity : 0x40000000);
        if (!::ReadFile(m_handle, buffer, wanted, &got, nullptr)) {
            error = ::GetLastError();
            return false;
        }
        read = got;
        return true;
    }

private:
    HANDLE m_handle;
};

struct ModuleThread {
    std::function<void()> work;
    HMODULE module;  // a reference of this thread's own, or null in a program of our own
};

DWORD WINAPI RunModuleThread(void* parameter) {
    HMODULE module = nullptr;
    {
        const std::unique_ptr<ModuleThread> thread(static_cast<ModuleThread*>(parameter));
        module = thread->module;
        // Nothing may leave a thread's function: the work handles its failures itself, and what
        // escapes it anyway (memory) ends the work, not the process.
        try {
            thread->work();
        } catch (...) {
        }
    }
    fw::Module::Unlock();
    // The module's last reference may be this thread's: it goes as the thread leaves the code.
    if (module) ::FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace

std::unique_ptr<IUploadChannel> CSessionServices::MakeChannel(const UploadRequest& request, bool forCleanup) {
    try {
        // The cleanup needs time limits that hold everywhere, which WinINet's do not (Wine keeps no
        // reply time-out): the project's own client, plain or secure as the session.
        if (request.secure || forCleanup)
            return std::make_unique<CClientFtpChannel>(request.secure, request.certPin, forCleanup);
        return std::make_unique<CInetFtpChannel>(kAgent);
    } catch (const std::exception&) {
        return nullptr;  // the system gave no event or memory for it
    }
}

std::unique_ptr<ILocalFile> CSessionServices::OpenLocalFile(const std::wstring& path, std::uint32_t& error) {
    const HANDLE handle = ::CreateFileW(fw::FileApiPath(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        return nullptr;
    }
    return std::make_unique<CLocalFile>(handle);
}

std::uint64_t CSessionServices::NowMicros() {
    // The performance counter: a write of a few milliseconds must be told apart from one of tens,
    // finer than the system tick.
    static const std::uint64_t ticksPerSecond = [] {
        LARGE_INTEGER frequency{};
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<std::uint64_t>(frequency.QuadPart);
    }();
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    const auto ticks = static_cast<std::uint64_t>(now.QuadPart);
    return ticks / ticksPerSecond * 1000000 + ticks % ticksPerSecond * 1000000 / ticksPerSecond;
}

std::uint32_t CSessionServices::WallSeconds32() { return CurrentTime32(); }

void CSessionServices::Wait(std::uint64_t ms, const std::function<bool()>& stopped) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), stopped);
}

void CSessionServices::Wake() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_wake.notify_all();
}

bool CSessionServices::StartThread(std::function<void()> work) { return StartModuleThread(std::move(work)); }

void CSessionServices::Report(std::int32_t error, const std::string& text) {
    const std::shared_ptr<Reports> reports = m_reports;
    {
        const std::lock_guard<std::mutex> lock(reports->mutex);
        reports->requests.push_back(FormatReportRequest(error, text, ReportHost()));
        if (reports->sending) return;  // the thread that sends takes it next
        reports->sending = true;
    }
    if (!StartModuleThread([reports] { SendReports(reports); })) {
        const std::lock_guard<std::mutex> lock(reports->mutex);
        reports->requests.clear();  // no thread: the reports are lost, as a report host that is down loses them
        reports->sending = false;
    }
}

void CSessionServices::SendReports(const std::shared_ptr<Reports>& reports) {
    for (;;) {
        std::string request;
        {
            const std::lock_guard<std::mutex> lock(reports->mutex);
            if (reports->requests.empty()) {
                reports->sending = false;
                return;
            }
            request = std::move(reports->requests.front());
            reports->requests.pop_front();
        }
        SendReport(request, ReportHost(), kReportPort, StartModuleThread);
    }
}

SessionGate& CSessionServices::Gate() { return SessionGate::Process(); }

bool StartModuleThread(std::function<void()> work) {
    auto thread = std::make_unique<ModuleThread>();
    thread->work = std::move(work);
    // A reference to the module that holds this code, unless that is the program itself.
    HMODULE module = nullptr;
    if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&RunModuleThread),
                             &module) &&
        module == ::GetModuleHandleW(nullptr)) {
        ::FreeLibrary(module);
        module = nullptr;
    }
    thread->module = module;
    fw::Module::Lock();
    const HANDLE handle = ::CreateThread(nullptr, 0, RunModuleThread, thread.get(), 0, nullptr);
    if (!handle) {
        fw::Module::Unlock();
        if (module) ::FreeLibrary(module);
        return false;
    }
    thread.release();
    ::CloseHandle(handle);
    return true;
}

}  // namespace tovalo::upload
