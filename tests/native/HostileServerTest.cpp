// The client against servers that never finish: endless replies, listeners that never accept, an
// abort request that must not outlive its transfer, and a stop from another thread that ends any wait.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ScriptedFtpServer.h"
#include "TestSupport.h"
#include "ftp/FtpClient.h"
#include "ftp/FtpReportSites.h"

using nsFTP::CFTPClient;
using tovalo_test::CRecordingObserver;
using tovalo_test::CScriptedFtpServer;
using tovalo_test::CScriptStep;
using tovalo_test::EData;

namespace report = nsFTP::report;

namespace {

using TClock = std::chrono::steady_clock;

// Every wait below is 1 s; this is far beyond one such wait and far below the system's own limits.
constexpr auto kWellWithinBound = std::chrono::seconds(4);

// A listener whose queue is full: a connect to it is neither accepted nor refused (its SYN is
// dropped), as with a firewall that drops.
class CFullListener {
public:
    CFullListener() {
        m_listener.Create();
        m_listener.Bind(nsSocket::CSocketAddress("127.0.0.1", 0));
        // A backlog of 0 holds one connection, which the filler takes.
        if (::listen(static_cast<int>(m_listener.Handle()), 0) != 0) throw std::runtime_error("listen");
        nsSocket::CSocketAddress bound;
        m_listener.GetSockName(bound);
        m_nPort = bound.Port();
        m_filler.Create();
        m_filler.Connect(nsSocket::CSocketAddress("127.0.0.1", m_nPort));
    }
    unsigned Port() const noexcept { return m_nPort; }

private:
    nsSocket::CBlockingSocket m_listener;
    nsSocket::CBlockingSocket m_filler;
    std::uint16_t m_nPort = 0;
};

struct CTimedOutcome {
    bool result = false;
    TClock::duration took{};
    std::vector<tovalo_test::CReport> reports;
};

TEST(HostileServer, ConnectingEndsWithinTheTimeOut) {
    const CFullListener silent;
    const std::string pasv = "227 Entering Passive Mode (127,0,0,1," + std::to_string(silent.Port() / 256) + "," +
                             std::to_string(silent.Port() % 256) + ")";
    CScriptedFtpServer server({}, {pasv});
    const struct {
        const char* label;
        std::function<bool(CFTPClient&)> call;
        int site;
        std::string message;
    } rows[] = {
        {"control connection", [&](CFTPClient& c) { return c.ConnectControl("127.0.0.1", silent.Port()); },
         report::kConnectControl, "no connection within 1 s (Connect timeout error)"},
        {"passive data connection",
         [&](CFTPClient& c) {
             std::vector<std::string> lines;
             return c.ConnectControl("127.0.0.1", server.Port()) && c.ListLines("", lines, true);
         },
         report::kOpenPassiveData, "no connection within 1 s (Connect timeout error)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        CRecordingObserver observer;
        CFTPClient client(1, 2048, true);
        client.AddObserver(&observer);
        const auto start = TClock::now();
        EXPECT_FALSE(row.call(client));
        EXPECT_LT(TClock::now() - start, kWellWithinBound);
        ASSERT_EQ(observer.ReportLines(), (std::vector<int>{row.site}));
        EXPECT_EQ(observer.reports[0].message, row.message);
        client.RemoveObserver(&observer);
        client.DisconnectControl();
    }
    server.Finish();
}

TEST(HostileServer, AReplyThatNeverEndsIsBoundedByOneTimeOut) {
    // A multi-line reply that goes on for ever, a line every few milliseconds: each receive brings
    // something (the client's pause after a receive lets more pile up), so only a bound on the whole
    // reply ends it.
    CScriptedFtpServer server({}, {"220-first\r\n220-more{endless}"});
    CRecordingObserver observer;
    CFTPClient client(1, 2048, true);
    client.AddObserver(&observer);
    ASSERT_TRUE(client.ConnectControl("127.0.0.1", server.Port()));
    const auto start = TClock::now();
    EXPECT_EQ(client.Noop(), -1);
    EXPECT_LT(TClock::now() - start, kWellWithinBound);
    EXPECT_FALSE(client.IsConnected());
    ASSERT_EQ(observer.ReportLines(), (std::vector<int>{report::kReadReplyLine}));
    EXPECT_EQ(observer.reports[0].message, "no complete answer within 1 s (Receive timeout error)");
    EXPECT_GT(observer.replies.size(), 2u);
    client.RemoveObserver(&observer);
    server.Finish();
}

// Asks for an abort from inside the first block it is told of.
class CAbortOnceOnFirstReceive : public CFTPClient::CNotifaction {
public:
    explicit CAbortOnceOnFirstReceive(CFTPClient& client) : m_client(client) {}
    void OnDataReceived(int) override {
        if (!m_bDone) m_client.Abort();
        m_bDone = true;
    }

private:
    CFTPClient& m_client;
    bool m_bDone = false;
};

TEST(HostileServer, AnAbortRequestDiesWithItsTransfer) {
    // The first server goes silent after the first block of a listing, while an abort is pending;
    // the request must not stop the next listing, on another connection, before its first line.
    CScriptedFtpServer first({}, {"227 Entering Passive Mode ({pasv})", {"150 list", EData::Hold, "a\r\n"}});
    CScriptedFtpServer second(
        {}, {"227 Entering Passive Mode ({pasv})", {"150 list", EData::Send, "x\r\ny\r\n", "226 done"}});
    CFTPClient client(1, 2048, true);
    CAbortOnceOnFirstReceive aborter(client);
    client.AddObserver(&aborter);
    std::vector<std::string> lines;
    ASSERT_TRUE(client.ConnectControl("127.0.0.1", first.Port()));
    EXPECT_FALSE(client.ListLines("", lines, true));
    client.RemoveObserver(&aborter);
    client.DisconnectControl();
    ASSERT_TRUE(client.ConnectControl("127.0.0.1", second.Port()));
    EXPECT_TRUE(client.ListLines("", lines, true));
    EXPECT_EQ(lines, (std::vector<std::string>{"x", "y"}));
    client.DisconnectControl();
    first.Finish();
    second.Finish();
    EXPECT_EQ(second.Commands(), (std::vector<std::string>{"PASV", "LIST"}));  // no ABOR
}

// The greeting read on a fresh control connection.
bool Greeted(CFTPClient& client, unsigned port) {
    int replyClass = -1;
    return client.ConnectControl("127.0.0.1", port) && client.ReadReply(replyClass) && replyClass == 2;
}

// A stop raised from another thread ends whatever the client waits for, at once, though the time-out
// is long: the operation fails saying "stopped", and the control connection is closed without QUIT.
// A store stopped mid-file ends its data connection with a reset, not as a whole file would end.
TEST(HostileServer, AStopEndsAnyWaitAtOnce) {
    const CScriptStep pasv = "227 Entering Passive Mode ({pasv})";
    // The ClientHello is taken for command lines, which get no answer.
    std::vector<CScriptStep> silentAfterAuth(20, CScriptStep(""));
    silentAfterAuth.front() = "234 go ahead";
    const struct {
        const char* label;
        std::vector<CScriptStep> steps;
        std::function<bool(CFTPClient&, unsigned port)> call;
        int site;
        const char* heldEnd;
    } rows[] = {
        {"a reply that never comes",
         {""},
         [](CFTPClient& c, unsigned port) { return Greeted(c, port) && c.Noop() == 0; },
         report::kReadReplyLine,
         ""},
        {"a data connection that never comes",
         {"200 binary", "200 port ok", "150 go"},
         [](CFTPClient& c, unsigned port) { return Greeted(c, port) && c.BeginStore("up", false); },
         report::kOpenActiveData,
         ""},
        {"a store to a server that stopped reading",
         {"200 binary", pasv, {"150 go", EData::Hold}},
         [](CFTPClient& c, unsigned port) {
             if (!Greeted(c, port) || !c.BeginStore("up", true)) return true;
             const std::string block(1 << 20, 'x');
             while (c.WriteStore(block.data(), block.size())) {
             }
             return c.FinishStore();
         },
         report::kSendData,
         "reset"},
        {"a listing that never comes",
         {pasv, {"150 list", EData::Hold}},
         [](CFTPClient& c, unsigned port) {
             std::vector<std::string> lines;
             return Greeted(c, port) && c.ListLines("", lines, true);
         },
         report::kReceiveData,
         "closed"},
        {"a TLS handshake that gets no answer", silentAfterAuth,
         [](CFTPClient& c, unsigned port) {
             c.RequireTls(nsTls::CTlsPolicy{{}, {}, true});
             return c.Logon(nsFTP::CLogonData("127.0.0.1", port, "u", "p", ""));
         },
         report::kSecureControl, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        CScriptedFtpServer server({Line("220 hi")}, row.steps);
        nsSocket::CCancelSignal stop;
        CRecordingObserver observer;
        CFTPClient client(30, 2048, true);
        client.SetCancelSignal(&stop);
        client.AddObserver(&observer);
        std::thread raiser([&stop] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            stop.Raise();
        });
        const auto start = TClock::now();
        EXPECT_FALSE(row.call(client, server.Port()));
        raiser.join();
        EXPECT_LT(TClock::now() - start, kWellWithinBound);
        EXPECT_TRUE(client.Cancelled());
        EXPECT_FALSE(client.IsConnected());
        EXPECT_FALSE(client.TlsRefused());
        ASSERT_FALSE(observer.reports.empty());
        EXPECT_EQ(observer.reports.front().line, row.site);
        EXPECT_EQ(observer.reports.front().message.rfind("stopped (", 0), 0u) << observer.reports.front().message;
        // Nothing waits any more: the next command fails at once.
        EXPECT_EQ(client.Noop(), -1);
        client.RemoveObserver(&observer);
        server.Finish();
        EXPECT_EQ(server.HeldDataEnd(), row.heldEnd);
    }
}

TEST(HostileServer, AStopRaisedBeforeACommandSendsNothing) {
    CScriptedFtpServer server({Line("220 hi")}, {"200 ok"});
    nsSocket::CCancelSignal stop;
    CFTPClient client(30, 2048, true);
    client.SetCancelSignal(&stop);
    ASSERT_TRUE(Greeted(client, server.Port()));
    stop.Raise();
    EXPECT_EQ(client.Noop(), -1);
    EXPECT_TRUE(client.Cancelled());
    EXPECT_FALSE(client.ConnectControl("127.0.0.1", server.Port()));
    server.Finish();
    EXPECT_TRUE(server.Commands().empty());
}

}  // namespace
