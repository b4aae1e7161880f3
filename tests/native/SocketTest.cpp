// Blocking sockets on loopback: orderly close, time-outs, exception texts, the header-line reader.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ftp/BlockingSocket.h"

using nsSocket::CBlockingSocket;
using nsSocket::CBlockingSocketException;
using nsSocket::CSocketAddress;

namespace {

// A listener on 127.0.0.1 and one connection to it: client and server ends.
struct CConnectedPair {
    CBlockingSocket listener;
    CBlockingSocket client;
    CBlockingSocket server;

    CConnectedPair() {
        listener.Create();
        listener.Bind(CSocketAddress("127.0.0.1", 0));
        listener.Listen();
        CSocketAddress bound;
        listener.GetSockName(bound);
        client.Create();
        client.Connect(CSocketAddress("127.0.0.1", bound.Port()));
        CSocketAddress peer;
        EXPECT_TRUE(listener.Accept(server, peer, 5));
    }
};

std::string OperationOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CBlockingSocketException& exception) {
        return exception.m_strOperation;
    }
    return "no exception";
}

TEST(SocketAddress, KeepsNetworkOrderAndGivesHostOrder) {
    const CSocketAddress fromNumbers(0x7f000001u, 2121);
    EXPECT_EQ(fromNumbers.DottedDecimal(), "127.0.0.1");
    EXPECT_EQ(fromNumbers.Port(), 2121);
    EXPECT_EQ(fromNumbers.HostAddress(), 0x7f000001u);
    const CSocketAddress fromText("10.0.0.5", 4660);
    EXPECT_EQ(fromText.HostAddress(), 0x0a000005u);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&fromText);
    EXPECT_EQ(bytes[2], 0x12);  // port 4660 = 0x1234, most significant byte first
    EXPECT_EQ(bytes[3], 0x34);
    EXPECT_EQ(bytes[4], 10);
}

TEST(Socket, GetHostByNameResolvesDottedText) {
    const CSocketAddress address = CBlockingSocket::GetHostByName("127.0.0.1", 21);
    EXPECT_EQ(address.DottedDecimal(), "127.0.0.1");
    EXPECT_EQ(address.Port(), 21);
    EXPECT_EQ(OperationOf([] { CBlockingSocket::GetHostByName("no-such-host.invalid", 21); }), "GetHostByName");
}

TEST(Socket, ReceiveGivesZeroWhenThePeerClosesInOrder) {
    CConnectedPair pair;
    pair.server.SendAll("ab", 2, 5);
    pair.server.Close();
    char buffer[16];
    EXPECT_EQ(pair.client.Receive(buffer, sizeof buffer, 5), 2u);
    EXPECT_EQ(pair.client.Receive(buffer, sizeof buffer, 5), 0u);
}

TEST(Socket, CloseIsHarmlessWithoutAHandleAndTwice) {
    CBlockingSocket never;
    EXPECT_NO_THROW(never.Close());
    CBlockingSocket socket;
    socket.Create();
    EXPECT_TRUE(socket.IsOpen());
    EXPECT_NO_THROW(socket.Close());
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_NO_THROW(socket.Close());
    EXPECT_NO_THROW(socket.CloseQuietly());
}

TEST(Socket, SendWaitsTheTimeOutItIsGiven) {
    // The peer never reads: once the buffers on both sides are full, the wait for room must end
    // after the one second asked for, not after a fixed long wait.
    CConnectedPair pair;
    const std::vector<char> block(1 << 20, 'x');
    const auto start = std::chrono::steady_clock::now();
    const std::string operation = OperationOf([&] {
        for (int i = 0; i < 512; ++i) pair.client.SendAll(block.data(), block.size(), 1);
    });
    EXPECT_EQ(operation, "Send timeout");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(Socket, AcceptWithTimeOutRaisesWhenNobodyConnects) {
    CBlockingSocket listener;
    listener.Create();
    listener.Bind(CSocketAddress("127.0.0.1", 0));
    listener.Listen();
    CBlockingSocket target;
    CSocketAddress peer;
    EXPECT_EQ(OperationOf([&] { listener.Accept(target, peer, 0); }), "Accept timeout");
    EXPECT_FALSE(target.IsOpen());
}

TEST(Socket, DatagramsCarryTheSenderAddress) {
    CBlockingSocket receiver;
    receiver.Create(nsSocket::kDatagramSocket);
    receiver.Bind(CSocketAddress("127.0.0.1", 0));
    CSocketAddress target;
    receiver.GetSockName(target);
    CBlockingSocket sender;
    sender.Create(nsSocket::kDatagramSocket);
    sender.Bind(CSocketAddress("127.0.0.1", 0));
    CSocketAddress senderAddress;
    sender.GetSockName(senderAddress);

    EXPECT_EQ(sender.SendDatagram("ping", 4, target, 5), 4u);
    char buffer[16] = {};
    CSocketAddress from;
    EXPECT_EQ(receiver.ReceiveDatagram(buffer, sizeof buffer, from, 5), 4u);
    EXPECT_STREQ(buffer, "ping");
    EXPECT_EQ(from.Port(), senderAddress.Port());
    EXPECT_EQ(from.DottedDecimal(), "127.0.0.1");
}

TEST(SocketException, ErrorMessageNamesTheOperationAndCode) {
    const struct {
        const char* operation;
        int code;
        std::size_t size;
        const char* expected;
    } rows[] = {
        {"Receive timeout", 0, 64, "Receive timeout error"},
        {"Connect", 10060, 64, "Connect error 0x274c"},
        {"Connect", 10060, 8, "Connect"},
        {"Send", 255, 64, "Send error 0xff"},
        {"Send", 0, 1, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.operation) + " " + std::to_string(row.size));
        const CBlockingSocketException exception(row.operation, row.code);
        std::vector<char> buffer(row.size, '#');
        EXPECT_TRUE(exception.GetErrorMessage(buffer.data(), buffer.size()));
        EXPECT_STREQ(buffer.data(), row.expected);
    }
}

TEST(SocketException, ErrorTextEndsInTheOperation) {
    const CBlockingSocketException timeout("Receive timeout", 0);
    const std::string text = timeout.GetErrorText();
    EXPECT_EQ(text.substr(text.size() - std::strlen(" (Receive timeout error)")), " (Receive timeout error)");
    const CBlockingSocketException refused("Connect", 111);
    EXPECT_NE(refused.GetErrorText().find(" (Connect error 0x6f)"), std::string::npos);
}

TEST(HttpSocket, ReadHeaderLineCutsLongLinesAndKeepsTheRest) {
    CConnectedPair pair;
    nsSocket::CHttpBlockingSocket reader;
    // The line reader takes over the client end of the pair.
    static_cast<CBlockingSocket&>(reader) = std::move(pair.client);
    const std::string text = "HTTP/1.1 200 OK\r\nX: 1\r\nbody";
    pair.server.SendAll(text.data(), text.size(), 5);
    pair.server.Close();

    char line[8];
    EXPECT_EQ(reader.ReadHeaderLine(line, sizeof line, 5), 7u);
    EXPECT_STREQ(line, "HTTP/1.");
    char second[64];
    EXPECT_EQ(reader.ReadHeaderLine(second, sizeof second, 5), 6u);
    EXPECT_STREQ(second, "X: 1\r\n");
    char data[64] = {};
    EXPECT_EQ(reader.ReadData(data, sizeof data, 5), 4u);
    EXPECT_STREQ(data, "body");
    EXPECT_EQ(OperationOf([&] { reader.ReadHeaderLine(second, sizeof second, 5); }), "ReadHeaderLine");
}

}  // namespace
