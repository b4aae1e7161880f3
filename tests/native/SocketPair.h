// For the socket tests of both builds: a connected pair on loopback, and the table of waits that
// the cancel signal must end, raised while each waits and before it begins.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ftp/BlockingSocket.h"
#include "ftp/TlsConnection.h"

namespace socket_test {

// A listener on 127.0.0.1 and one connection to it: client and server ends.
struct CConnectedPair {
    nsSocket::CSocketLibrary library;
    nsSocket::CBlockingSocket listener;
    nsSocket::CBlockingSocket client;
    nsSocket::CBlockingSocket server;

    CConnectedPair() {
        listener.Create();
        listener.Bind(nsSocket::CSocketAddress("127.0.0.1", 0));
        listener.Listen();
        nsSocket::CSocketAddress bound;
        listener.GetSockName(bound);
        client.Create();
        client.Connect(nsSocket::CSocketAddress("127.0.0.1", bound.Port()), 5);
        nsSocket::CSocketAddress peer;
        EXPECT_TRUE(listener.Accept(server, peer, 5));
    }
};

// A wait on the client or the listener that would last, and the operation its stop names.
struct CWait {
    const char* label;
    std::function<void(CConnectedPair&)> wait;
    const char* operation;
    const char* operationBefore = nullptr;  // when the signal is raised before the call, if another
};

// Far beyond any bound of the tests: a wait that lasts this long was not ended.
inline constexpr unsigned kLong = 30;

// Every wait the sockets know, each with a time-out far beyond the test's bound.
inline std::vector<CWait> EveryWait() {
    return {
        {"a send to a peer that stopped reading",
         [](CConnectedPair& p) {
             const std::vector<char> block(1 << 20, 'x');
             for (;;) p.client.SendAll(block.data(), block.size(), kLong);
         },
         "Send"},
        {"a receive of an answer that never comes",
         [](CConnectedPair& p) {
             char buffer[16];
             p.client.Receive(buffer, sizeof buffer, kLong);
         },
         "Receive"},
        {"a receive bounded by a deadline",
         [](CConnectedPair& p) {
             char buffer[16];
             p.client.Receive(buffer, sizeof buffer, std::chrono::steady_clock::now() + std::chrono::seconds(kLong),
                              kLong);
         },
         "Receive"},
        {"an accept of a connection that never comes",
         [](CConnectedPair& p) {
             nsSocket::CBlockingSocket target;
             nsSocket::CSocketAddress peer;
             p.listener.Accept(target, peer, kLong);
         },
         "Accept"},
        {"an accept without a time-out",
         [](CConnectedPair& p) {
             nsSocket::CBlockingSocket target;
             nsSocket::CSocketAddress peer;
             p.listener.Accept(target, peer);
         },
         "Accept"},
        {"a TLS handshake that gets no answer",
         [](CConnectedPair& p) {
             nsTls::CTlsConnection::Start(p.client, nsTls::CTlsPolicy{"x", {}, true}, nullptr, kLong);
         },
         "Receive", "Send"},
    };
}

// Each wait ends at once, as a stop of its operation, whether the signal comes while it waits
// (100 ms in), was raised before it began, or raises itself at a deadline 100 ms in; the sockets
// still close cleanly.
inline void ExpectEveryWaitCancelled() {
    enum class When { kWhileWaiting, kBefore, kAtItsDeadline };
    for (const When when : {When::kWhileWaiting, When::kBefore, When::kAtItsDeadline}) {
        const bool before = when == When::kBefore;
        for (const CWait& row : EveryWait()) {
            SCOPED_TRACE(std::string(row.label) + (before                         ? ", raised before the call"
                                                   : when == When::kAtItsDeadline ? ", at its deadline"
                                                                                  : ", raised while waiting"));
            nsSocket::CCancelSignal signal;
            CConnectedPair pair;
            pair.client.Watch(&signal);
            pair.listener.Watch(&signal);
            if (before) signal.Raise();
            if (when == When::kAtItsDeadline)
                signal.RaiseAt(std::chrono::steady_clock::now() + std::chrono::milliseconds(100));
            std::thread raiser([&signal, when] {
                if (when != When::kWhileWaiting) return;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                signal.Raise();
            });
            const auto start = std::chrono::steady_clock::now();
            bool cancelled = false;
            std::string operation;
            std::string text;
            try {
                row.wait(pair);
            } catch (const nsSocket::CBlockingSocketException& exception) {
                cancelled = exception.IsCancelled();
                operation = exception.m_strOperation;
                text = exception.GetErrorText();
            }
            raiser.join();
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
            EXPECT_TRUE(cancelled);
            EXPECT_EQ(operation, before && row.operationBefore ? row.operationBefore : row.operation);
            EXPECT_EQ(text, "stopped (" + operation + " error)");
            EXPECT_NO_THROW(pair.client.Close());
            EXPECT_NO_THROW(pair.listener.Close());
        }
    }
}

}  // namespace socket_test
