// bare_upload: the upload benchmark's peer. It sends one file with the same WinINet calls as the
// control's upload dialog, in 1024-byte blocks with one waiting message dispatched per block (as
// the dialog did before its blocks adapted), and the same SITE chmod, with nothing around it: no
// dialog, no page, no control.
// Usage: bare_upload HOST PORT USER PASSWORD LOCAL REMOTE; prints "ELAPSED <ms>".
//        bare_upload --stop-after MS HOST PORT USER PASSWORD LOCAL REMOTE: the dialog's block rule
//        (BlockSizer) instead, with a stop posted to the loop from another thread MS milliseconds
//        in, as a click on "S" reaches the dialog; prints "STOP <ms>" (from the post to the loop
//        leaving) and "LONGEST_WRITE <ms>", then ends without waiting for the server.
#include "upload/BlockSize.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Handle {
    HINTERNET h = nullptr;
    ~Handle() {
        if (h) ::InternetCloseHandle(h);
    }
};

struct File {
    HANDLE h;
    ~File() {
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
};

int Fail(const char* step);

double NowMs() {
    LARGE_INTEGER frequency{}, now{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

constexpr UINT kStopMessage = WM_APP + 1;
struct Stopper {
    DWORD thread;
    DWORD afterMs;
    volatile double postedAt;
};

DWORD WINAPI PostStop(void* parameter) {
    auto* stopper = static_cast<Stopper*>(parameter);
    ::Sleep(stopper->afterMs);
    stopper->postedAt = NowMs();
    ::PostThreadMessageW(stopper->thread, kStopMessage, 0, 0);
    return 0;
}

// The dialog's loop: blocks sized by BlockSizer, every waiting message after each, until a stop.
int SendUntilStopped(HINTERNET remote, HANDLE local, DWORD stopAfterMs) {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists before the post
    Stopper stopper{::GetCurrentThreadId(), stopAfterMs, 0};
    HANDLE poster = ::CreateThread(nullptr, 0, PostStop, &stopper, 0, nullptr);
    if (!poster) return Fail("CreateThread");
    std::vector<char> block(tovalo::upload::BlockSizer::kLargest);
    tovalo::upload::BlockSizer sizer;
    double longest = 0;
    for (bool stop = false; !stop;) {
        DWORD read = 0;
        if (!::ReadFile(local, block.data(), sizer.Size(), &read, nullptr)) return Fail("ReadFile");
        if (read == 0) return Fail("the file ended before the stop");
        DWORD written = 0;
        const double start = NowMs();
        if (!::InternetWriteFile(remote, block.data(), read, &written)) return Fail("InternetWriteFile");
        const double took = NowMs() - start;
        longest = std::max(longest, took);
        sizer.Record(read, static_cast<std::uint64_t>(took * 1000));
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == kStopMessage) stop = true;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    std::printf("STOP %.1f\nLONGEST_WRITE %.1f\n", NowMs() - stopper.postedAt, longest);
    std::fflush(stdout);
    // The server still reads what the buffers hold at its own pace: not waited for.
    ::ExitProcess(0);
}

int Fail(const char* step) {
    std::fprintf(stderr, "bare_upload: %s failed (%lu)\n", step, ::GetLastError());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    DWORD stopAfterMs = 0;
    if (argc == 9 && std::string(argv[1]) == "--stop-after") {
        stopAfterMs = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
        argv += 2;
        argc -= 2;
    }
    if (argc != 7) {
        std::fprintf(stderr, "usage: bare_upload [--stop-after MS] HOST PORT USER PASSWORD LOCAL REMOTE\n");
        return 2;
    }
    const auto port = static_cast<INTERNET_PORT>(std::strtoul(argv[2], nullptr, 10));
    const DWORD start = ::GetTickCount();
    Handle session{::InternetOpenA("Tovalo", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)};
    if (!session.h) return Fail("InternetOpenA");
    Handle connection{::InternetConnectA(session.h, argv[1], port, argv[3], argv[4], INTERNET_SERVICE_FTP, 0, 0)};
    if (!connection.h) return Fail("InternetConnectA");
    File local{::CreateFileA(argv[5], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    if (local.h == INVALID_HANDLE_VALUE) return Fail("CreateFileA");
    {
        Handle remote{::FtpOpenFileA(connection.h, argv[6], GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0)};
        if (!remote.h) return Fail("FtpOpenFileA");
        if (stopAfterMs) return SendUntilStopped(remote.h, local.h, stopAfterMs);
        char block[1024];
        for (;;) {
            DWORD read = 0;
            if (!::ReadFile(local.h, block, sizeof block, &read, nullptr)) return Fail("ReadFile");
            if (read == 0) break;
            DWORD written = 0;
            if (!::InternetWriteFile(remote.h, block, read, &written)) return Fail("InternetWriteFile");
            MSG msg;
            if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
    }
    const std::string chmod = std::string("SITE chmod 777 ") + argv[6];
    if (!::FtpCommandA(connection.h, FALSE, FTP_TRANSFER_TYPE_ASCII, chmod.c_str(), 0, nullptr))
        return Fail("FtpCommandA");
    std::printf("ELAPSED %lu\n", ::GetTickCount() - start);
    return 0;
}
