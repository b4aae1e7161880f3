// Blocking sockets on loopback: orderly close and reset, time-outs, the cancel signal, exception
// texts, the header-line reader.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ftp/BlockingSocket.h"
#include "ftp/TlsConnection.h"
#include "tests/native/SocketPair.h"

using nsSocket::CBlockingSocket;
using nsSocket::CBlockingSocketException;
using nsSocket::CSocketAddress;

namespace {

using socket_test::CConnectedPair;

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
    // The peer never reads, or reads a while and stops (room for part of a block, which a send
    // must not wait on without bound): once the buffers on both sides are full, the wait for room
    // must end after the one second asked for, not after a fixed long wait.
    for (const std::size_t readFirst : {std::size_t{0}, std::size_t{3} << 20}) {
        SCOPED_TRACE(readFirst);
        CConnectedPair pair;
        std::thread reader([&pair, readFirst] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            std::vector<char> buffer(1 << 16);
            for (std::size_t got = 0; got < readFirst;) got += pair.server.Receive(buffer.data(), buffer.size(), 5);
        });
        const std::vector<char> block(4 << 20, 'x');
        const auto start = std::chrono::steady_clock::now();
        const std::string operation = OperationOf([&] {
            for (int i = 0; i < 128; ++i) pair.client.SendAll(block.data(), block.size(), 1);
        });
        reader.join();
        EXPECT_EQ(operation, "Send timeout");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    }
}

TEST(Socket, AResetFailsThePeersReadWhereACloseEndsIt) {
    // A transfer cut short ends with a reset: the peer must not see the orderly end of a whole file.
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "close");
        CConnectedPair pair;
        pair.client.SendAll("part", 4, 5);
        char buffer[16];
        EXPECT_EQ(pair.server.Receive(buffer, sizeof buffer, 5), 4u);
        if (reset)
            pair.client.CloseWithReset();
        else
            pair.client.Close();
        EXPECT_FALSE(pair.client.IsOpen());
        EXPECT_EQ(OperationOf([&] { pair.server.Receive(buffer, sizeof buffer, 5); }),
                  reset ? "Receive" : "no exception");
    }
}

// Every wait, with a time-out far beyond the test's bound, ends at once when the signal the socket
// watches is raised: from another thread while it waits, or before the call. The socket is left
// closable and no handle leaks (ASan and the descriptor count would show it).
TEST(Socket, TheCancelSignalEndsEveryWait) { socket_test::ExpectEveryWaitCancelled(); }

// The server's settings for a TLS test: a throwaway key and a self-signed certificate.
std::shared_ptr<SSL_CTX> TlsServerContext() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(certificate), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(certificate, X509_get_subject_name(certificate));
    X509_sign(certificate, key, EVP_sha256());
    std::shared_ptr<SSL_CTX> context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    SSL_CTX_use_certificate(context.get(), certificate);
    SSL_CTX_use_PrivateKey(context.get(), key);
    X509_free(certificate);
    EVP_PKEY_free(key);
    return context;
}

TEST(Socket, AStoppedTlsSendEndsWithoutCloseNotify) {
    // An upload over TLS to a server that stopped reading: the stop ends the blocked send, and the
    // connection then ends without close_notify, so that the server cannot take it for a whole file.
    CConnectedPair pair;
    nsSocket::CCancelSignal stop;
    pair.client.Watch(&stop);
    const int serverEnd = pair.server.Handle();
    ::fcntl(serverEnd, F_SETFL, ::fcntl(serverEnd, F_GETFL) & ~O_NONBLOCK);  // OpenSSL reads it directly
    const std::shared_ptr<SSL_CTX> context = TlsServerContext();
    const std::unique_ptr<SSL, void (*)(SSL*)> server(SSL_new(context.get()), SSL_free);
    SSL_set_fd(server.get(), serverEnd);
    bool accepted = false;
    std::thread handshake([&] { accepted = SSL_accept(server.get()) == 1; });
    std::unique_ptr<nsTls::CTlsConnection> tls =
        nsTls::CTlsConnection::Start(pair.client, nsTls::CTlsPolicy{{}, {}, true}, nullptr, 30);
    handshake.join();
    ASSERT_TRUE(accepted);

    std::thread raiser([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.Raise();
    });
    const std::vector<char> block(1 << 20, 'x');
    const auto start = std::chrono::steady_clock::now();
    bool cancelled = false;
    try {
        for (;;) tls->SendAll(block.data(), block.size(), 30);
    } catch (const CBlockingSocketException& exception) {
        cancelled = exception.IsCancelled();
    }
    raiser.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(cancelled);
    tls.reset();
    pair.client.CloseWithReset();

    char buffer[65536];
    int read;
    while ((read = SSL_read(server.get(), buffer, sizeof buffer)) > 0) {
    }
    EXPECT_NE(SSL_get_error(server.get(), read), SSL_ERROR_ZERO_RETURN);  // no close_notify came
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
