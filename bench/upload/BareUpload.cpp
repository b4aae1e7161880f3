// bare_upload: the upload benchmark's peer. It sends one file with the same WinINet calls and
// 1024-byte blocks as the control's upload dialog, one waiting message dispatched per block, and
// the same SITE chmod, with nothing around it: no dialog, no page, no control.
// Usage: bare_upload HOST PORT USER PASSWORD LOCAL REMOTE; prints "ELAPSED <ms>".
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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

int Fail(const char* step) {
    std::fprintf(stderr, "bare_upload: %s failed (%lu)\n", step, ::GetLastError());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: bare_upload HOST PORT USER PASSWORD LOCAL REMOTE\n");
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
