// The FTP client's sockets under Windows Sockets 2: bulk data through non-blocking sends, time-outs,
// and the cancel signal ending a blocked send, receive, accept or TLS handshake at once.
#include "ftp/BlockingSocket.h"
#include "ftp/TlsConnection.h"
#include "tests/native/SocketPair.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using nsSocket::CBlockingSocket;
using nsSocket::CBlockingSocketException;
using nsSocket::CSocketAddress;
using TClock = std::chrono::steady_clock;

using socket_test::CConnectedPair;

// What a call raised: "operation: text", "cancelled" first when it was a stop; "" when nothing.
std::string Outcome(const std::function<void()>& call) {
    try {
        call();
    } catch (const CBlockingSocketException& exception) {
        return (exception.IsCancelled() ? "cancelled " : "") + exception.m_strOperation + ": " +
               exception.m_strDescription;
    }
    return "";
}

TEST(SocketCancel, BulkDataCrossesWhole) {
    // Partial sends and the waits between them: each byte arrives once, in order.
    CConnectedPair pair;
    std::vector<char> sent(8 << 20);
    for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7 + i / 4096);
    std::thread sender([&] {
        pair.client.SendAll(sent.data(), sent.size(), 10);
        pair.client.Close();
    });
    std::vector<char> received;
    std::vector<char> buffer(100000);
    for (std::size_t count; (count = pair.server.Receive(buffer.data(), buffer.size(), 10)) != 0;)
        received.insert(received.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
    sender.join();
    EXPECT_TRUE(received == sent) << received.size() << " bytes of " << sent.size();
}

TEST(SocketCancel, TimeOutsStillEndWaits) {
    CConnectedPair pair;
    char buffer[16];
    const auto start = TClock::now();
    EXPECT_EQ(Outcome([&] { pair.client.Receive(buffer, sizeof buffer, 1); }), "Receive timeout: no answer within 1 s");
    EXPECT_LT(TClock::now() - start, std::chrono::seconds(10));
    CBlockingSocket target;
    CSocketAddress peer;
    EXPECT_EQ(Outcome([&] { pair.listener.Accept(target, peer, 0); }), "Accept timeout: no connection within 0 s");
}

TEST(SocketCancel, TheSignalEndsEveryWait) { socket_test::ExpectEveryWaitCancelled(); }

}  // namespace
