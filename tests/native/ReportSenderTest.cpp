// The error report's exchange against a listener of the test's own on loopback: the request's bytes
// once, the connection closed on the answer's first bytes, and every way it fails silent and bounded.
#include "upload/ErrorReport.h"
#include "upload/ReportSender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "ftp/BlockingSocket.h"

namespace tovalo::upload {
namespace {

using Clock = std::chrono::steady_clock;

// Threads the sender starts, joined by the test (a lookup it gave up on may end after it).
struct Threads {
    std::vector<std::thread> started;
    std::chrono::milliseconds lookupDelay{0};
    bool refuse = false;
    ThreadStarter Starter() {
        return [this](std::function<void()> work) {
            if (refuse) return false;
            started.emplace_back([work = std::move(work), delay = lookupDelay] {
                std::this_thread::sleep_for(delay);
                work();
            });
            return true;
        };
    }
    ~Threads() {
        for (std::thread& thread : started) thread.join();
    }
};

TEST(ReportSender, SendsTheRequestOnceAndEndsEveryWayItFailsWithinItsBounds) {
    enum class Server { kAnswers, kSilent, kAbsent };
    const struct {
        const char* label;
        Server server;
        std::chrono::milliseconds lookupDelay;
        bool noThreads;
        bool sent;
        const char* received;  // what the listener read; "" when no connection came
        bool closedAfterAnswer;
    } cases[] = {
        {"a server that answers", Server::kAnswers, {}, false, true, "request", true},
        {"a server that never answers: the wait for it is bounded", Server::kSilent, {}, false, true, "request", true},
        {"nobody listens", Server::kAbsent, {}, false, false, "", false},
        {"a lookup that outlasts its bound", Server::kAnswers, std::chrono::milliseconds(2500), false, false, "",
         false},
        {"no thread for the lookup", Server::kAnswers, {}, true, false, "", false},
    };
    const std::string request = FormatReportRequest(12015, "530 Login incorrect.", "127.0.0.1");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const nsSocket::CSocketLibrary library;
        nsSocket::CBlockingSocket listener;
        listener.Create();
        listener.Bind(nsSocket::CSocketAddress("127.0.0.1", 0));
        nsSocket::CSocketAddress bound;
        listener.GetSockName(bound);
        if (c.server != Server::kAbsent) listener.Listen();
        if (c.server == Server::kAbsent) listener.Close();  // the port is free, and refuses

        Threads threads;
        threads.lookupDelay = c.lookupDelay;
        threads.refuse = c.noThreads;
        const ReportBounds bounds{1, 2, 2, 1};
        const Clock::time_point start = Clock::now();
        std::future<bool> sent = std::async(std::launch::async, [&] {
            return SendReport(request, "127.0.0.1", bound.Port(), threads.Starter(), bounds);
        });
        std::string received;
        bool closed = false;
        if (*c.received) {
            nsSocket::CBlockingSocket peer;
            nsSocket::CSocketAddress from;
            try {
                if (listener.Accept(peer, from, 3)) {
                    char buffer[512];
                    while (received.find("\n\n") == std::string::npos)
                        received.append(buffer, peer.Receive(buffer, sizeof buffer, 3));
                    if (c.server == Server::kAnswers) {
                        const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
                        peer.SendAll(answer.data(), answer.size(), 3);
                    }
                    closed = peer.Receive(buffer, sizeof buffer, 3) == 0;
                }
            } catch (const nsSocket::CBlockingSocketException&) {
                // No connection in time, or a reset: closed too once a request came.
                closed = !received.empty();
            }
        }
        EXPECT_EQ(sent.get(), c.sent);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(received.empty() ? "" : received == request ? "request" : received, std::string(c.received));
        EXPECT_EQ(closed, c.closedAfterAnswer);
    }
}

}  // namespace
}  // namespace tovalo::upload
