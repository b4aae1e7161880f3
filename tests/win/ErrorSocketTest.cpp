// CErrorSocket against a listening socket of the test's own on loopback: the request bytes, one
// report at a time, the answer never read, silent failures, and the grace before a dialog closes.
#include "upload/ErrorReport.h"
#include "upload/ErrorSocket.h"

#include <gtest/gtest.h>
#include <winsock2.h>

#include <string>

namespace {

using tovalo::upload::CErrorSocket;
using tovalo::upload::FormatReportRequest;

// Dispatches the thread's messages (the socket's notifications) for a while.
void Pump(DWORD ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    while (::GetTickCount64() < end) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
}

bool Readable(SOCKET s, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    return ::select(0, &set, nullptr, nullptr, &wait) == 1;
}

class ErrorSocketTest : public testing::Test {
protected:
    void SetUp() override {
        WSADATA data{};
        ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listener_, 4), 0);
        int length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ::ntohs(address.sin_port);
    }
    void TearDown() override {
        if (peer_ != INVALID_SOCKET) ::closesocket(peer_);
        ::closesocket(listener_);
        ::WSACleanup();
    }
    // Accepts the next connection and reads until the request's empty line (or 2 s pass).
    std::string AcceptRequest() {
        if (!Readable(listener_, 2000)) return "(no connection)";
        peer_ = ::accept(listener_, nullptr, nullptr);
        std::string bytes;
        while (bytes.find("\n\n") == std::string::npos && Readable(peer_, 2000)) {
            char buffer[512];
            const int got = ::recv(peer_, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            bytes.append(buffer, static_cast<size_t>(got));
        }
        return bytes;
    }

    SOCKET listener_ = INVALID_SOCKET;
    SOCKET peer_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
};

TEST_F(ErrorSocketTest, SendsTheRequestOnceConnectedAndClosesOnTheFirstAnswerBytes) {
    CErrorSocket sender;
    ASSERT_TRUE(sender.Report(12015, "530 Login incorrect.", "127.0.0.1", port_));
    EXPECT_TRUE(sender.Connecting());
    sender.Flush(2000);
    EXPECT_TRUE(sender.Sent());
    EXPECT_EQ(sender.Request(), "");  // emptied once sent
    EXPECT_EQ(AcceptRequest(), FormatReportRequest(12015, "530 Login incorrect.", "127.0.0.1"));

    const char answer[] = "HTTP/1.1 200 OK\r\n\r\n";
    ::send(peer_, answer, sizeof answer - 1, 0);
    Pump(300);
    // The sender closed without reading: the listener sees the end of the stream.
    ASSERT_TRUE(Readable(peer_, 2000));
    char byte;
    EXPECT_EQ(::recv(peer_, &byte, 1, 0), 0);
}

TEST_F(ErrorSocketTest, ASecondReportWhileTheFirstConnectsIsDropped) {
    CErrorSocket sender;
    ASSERT_TRUE(sender.Report(1, "first", "127.0.0.1", port_));
    EXPECT_FALSE(sender.Report(2, "second", "127.0.0.1", port_));
    sender.Flush(2000);
    EXPECT_EQ(AcceptRequest(), FormatReportRequest(1, "first", "127.0.0.1"));
    Pump(200);
    EXPECT_FALSE(Readable(listener_, 200)) << "a second connection was made";

    // Once the first went out, a new report is made again.
    ASSERT_TRUE(sender.Report(3, "third", "127.0.0.1", port_));
    sender.Flush(2000);
    ::closesocket(peer_);
    peer_ = INVALID_SOCKET;
    EXPECT_EQ(AcceptRequest(), FormatReportRequest(3, "third", "127.0.0.1"));
}

TEST_F(ErrorSocketTest, ARefusedConnectionIsSilentAndEndsTheWait) {
    ::closesocket(listener_);
    listener_ = INVALID_SOCKET;  // nobody listens on the port any more
    CErrorSocket sender;
    ASSERT_TRUE(sender.Report(1, "x", "127.0.0.1", port_));
    const ULONGLONG start = ::GetTickCount64();
    sender.Flush(2000);
    EXPECT_FALSE(sender.Connecting());
    EXPECT_FALSE(sender.Sent());
    EXPECT_LT(::GetTickCount64() - start, 1900u);
    // Idle again: the next report may start.
    EXPECT_TRUE(sender.Report(2, "y", "127.0.0.1", port_));
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);  // for TearDown
}

}  // namespace
