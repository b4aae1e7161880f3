// Logon through the nine firewall methods against a scripted server: command lines, refusals, reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptedFtpServer.h"
#include "TestSupport.h"
#include "ftp/FtpClient.h"
#include "ftp/FtpReportSites.h"

using nsFTP::CFirewallMode;
using nsFTP::CFTPClient;
using nsFTP::CLogonData;
using tovalo_test::CRecordingObserver;
using tovalo_test::CScriptedFtpServer;
using tovalo_test::CScriptStep;
using tovalo_test::Line;

namespace {

constexpr int kFailed = nsFTP::report::kLogonFailed;

struct CLogonRow {
    const char* label;
    int mode;
    unsigned remotePort;  // the port in the host text; the firewall is the scripted server
    std::string greeting;
    std::vector<std::string> replies;
    std::vector<std::string> expectedLines;
    bool expectedResult;
    std::vector<int> expectedReports;
};

struct CLogonOutcome {
    bool result = false;
    std::vector<std::string> lines;
    std::vector<int> reports;
};

CLogonOutcome RunLogonRow(const CLogonRow& row) {
    std::vector<CScriptStep> steps(row.replies.begin(), row.replies.end());
    CScriptedFtpServer server({Line(row.greeting)}, steps);
    CLogonOutcome outcome;
    {
        CRecordingObserver observer;
        CFTPClient client(5, 2048, true);
        client.AddObserver(&observer);
        // Without a firewall the server is the remote host itself; otherwise the remote host is only
        // named in the commands and the firewall is the server.
        const CLogonData logon = row.mode == 0
                                     ? CLogonData("127.0.0.1", server.Port(), "u", "p", "a")
                                     : CLogonData("ftp.example.com", row.remotePort, "u", "p", "a", "127.0.0.1", "fu",
                                                  "fp", server.Port(), CFirewallMode(row.mode));
        outcome.result = client.Logon(logon);
        client.DisconnectControl();
        outcome.reports = observer.ReportLines();
    }
    server.Finish();
    outcome.lines = server.Commands();
    return outcome;
}

TEST(Logon, WalksTheSequenceOfEachFirewallMode) {
    const std::string h = "ftp.example.com:2121";
    const std::vector<CLogonRow> rows = {
        {"0: USER 331, PASS 230",
         0,
         21,
         "220 hi",
         {"331 pass", "230 in", "250 ok"},
         {"USER u", "PASS p", "CWD /"},
         true,
         {}},
        {"0: USER 230 needs no PASS", 0, 21, "220 hi", {"230 in", "250 ok"}, {"USER u", "CWD /"}, true, {}},
        {"0: PASS 332, ACCT 230",
         0,
         21,
         "220 hi",
         {"331 pass", "332 acct", "230 in", "250 ok"},
         {"USER u", "PASS p", "ACCT a", "CWD /"},
         true,
         {}},
        {"0: ACCT 332 again fails",
         0,
         21,
         "220 hi",
         {"331 pass", "332 acct", "332 acct"},
         {"USER u", "PASS p", "ACCT a"},
         false,
         {kFailed}},
        {"0: PASS 530 is refused without a report",
         0,
         21,
         "220 hi",
         {"331 pass", "530 no"},
         {"USER u", "PASS p"},
         false,
         {}},
        {"0: class 1 during the sequence", 0, 21, "220 hi", {"120 wait"}, {"USER u"}, false, {}},
        {"0: greeting 421", 0, 21, "421 busy", {}, {}, false, {}},
        {"0: CWD / refused", 0, 21, "220 hi", {"230 in", "550 no"}, {"USER u", "CWD /"}, false, {}},
        {"1: SITE 331, then the remote USER",
         1,
         2121,
         "220 fw",
         {"331 fw pass", "230 fw in", "331 pass", "331 pass", "230 in", "250 ok"},
         {"USER fu", "PASS fp", "SITE " + h, "USER u", "PASS p", "CWD /"},
         true,
         {}},
        {"1: firewall USER 230 goes to SITE",
         1,
         2121,
         "220 fw",
         {"230 fw in", "331 pass", "230 in", "250 ok"},
         {"USER fu", "SITE " + h, "USER u", "CWD /"},
         true,
         {}},
        {"1: SITE 200 fails",
         1,
         2121,
         "220 fw",
         {"331 fw pass", "230 fw in", "200 ok"},
         {"USER fu", "PASS fp", "SITE " + h},
         false,
         {kFailed}},
        {"1: firewall PASS 332 fails",
         1,
         2121,
         "220 fw",
         {"331 fw pass", "332 acct"},
         {"USER fu", "PASS fp"},
         false,
         {kFailed}},
        {"2: USER user@host after the firewall logon",
         2,
         2121,
         "220 fw",
         {"331 fw pass", "230 fw in", "331 pass", "230 in", "250 ok"},
         {"USER fu", "PASS fp", "USER u@" + h, "PASS p", "CWD /"},
         true,
         {}},
        {"3: OPEN answered 220",
         3,
         2121,
         "220 proxy",
         {"220 open", "331 pass", "230 in", "250 ok"},
         {"OPEN " + h, "USER u", "PASS p", "CWD /"},
         true,
         {}},
        {"3: OPEN answered 331",
         3,
         2121,
         "220 proxy",
         {"331 open", "331 pass", "230 in", "250 ok"},
         {"OPEN " + h, "USER u", "PASS p", "CWD /"},
         true,
         {}},
        {"4: transparent",
         4,
         2121,
         "220 fw",
         {"331 fw pass", "230 fw in", "331 pass", "230 in", "250 ok"},
         {"USER fu", "PASS fp", "USER u", "PASS p", "CWD /"},
         true,
         {}},
        {"5: port 21 gives the bare host",
         5,
         21,
         "220 fw",
         {"331 pass", "230 in", "250 ok"},
         {"USER u@ftp.example.com", "PASS p", "CWD /"},
         true,
         {}},
        {"6: USER fireID@remotehost",
         6,
         2121,
         "220 fw",
         {"331 fw pass", "230 fw in", "331 pass", "230 in", "250 ok"},
         {"USER fu@" + h, "PASS fp", "USER u", "PASS p", "CWD /"},
         true,
         {}},
        {"7: USER remoteID@remotehost fireID",
         7,
         2121,
         "220 fw",
         {"331 pass", "230 in", "250 ok"},
         {"USER u@" + h + " fu", "PASS p", "CWD /"},
         true,
         {}},
        {"7: first USER answered 230 fails", 7, 2121, "220 fw", {"230 in"}, {"USER u@" + h + " fu"}, false, {kFailed}},
        {"8: USER remoteID@fireID@remotehost",
         8,
         2121,
         "220 fw",
         {"331 pass", "230 in", "250 ok"},
         {"USER u@fu@" + h, "PASS p@fp", "CWD /"},
         true,
         {}},
        {"8: with an account",
         8,
         2121,
         "220 fw",
         {"331 pass", "332 acct", "230 in", "250 ok"},
         {"USER u@fu@" + h, "PASS p@fp", "ACCT a", "CWD /"},
         true,
         {}},
    };
    const auto outcomes = tovalo_test::RunConcurrently(rows, RunLogonRow);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].label);
        EXPECT_EQ(outcomes[i].result, rows[i].expectedResult);
        EXPECT_EQ(outcomes[i].lines, rows[i].expectedLines);
        EXPECT_EQ(outcomes[i].reports, rows[i].expectedReports);
    }
}

TEST(Logon, SecondLogonQuitsTheFirstConnection) {
    CScriptedFtpServer first({Line("220 one")}, {"230 in", "250 ok", "221 bye"});
    CScriptedFtpServer second({Line("220 two")}, {"230 in", "250 ok"});
    {
        CFTPClient client(5, 2048, true);
        ASSERT_TRUE(client.Logon(CLogonData("127.0.0.1", first.Port(), "u", "p", "")));
        ASSERT_TRUE(client.Logon(CLogonData("127.0.0.1", second.Port(), "v", "q", "")));
        EXPECT_EQ(client.LastLogon().Username(), "v");
        client.DisconnectControl();
    }
    first.Finish();
    second.Finish();
    EXPECT_EQ(first.Commands(), (std::vector<std::string>{"USER u", "CWD /", "QUIT"}));
    EXPECT_EQ(second.Commands(), (std::vector<std::string>{"USER v", "CWD /"}));
}

TEST(Logon, ModeOutsideTheTableIsRefusedWithoutConnecting) {
    CFTPClient client(5, 2048, true);
    CLogonData logon("127.0.0.1", 1, "u", "p", "", "127.0.0.1", "fu", "fp", 1, CFirewallMode(9));
    EXPECT_FALSE(client.Logon(logon));
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(client.LastLogon().FwType(), CFirewallMode(9));
}

TEST(FirewallMode, NamesTheNineMethods) {
    const char* const names[][2] = {
        {"no firewall", "NO_FIREWALL"},
        {"SITE hostname", "SITE_HOSTNAME"},
        {"USER after logon", "USER_AFTER_LOGON"},
        {"proxy OPEN", "PROXY_OPEN"},
        {"Transparent", "TRANSPARENT"},
        {"USER with no logon", "USER_WITH_NO_LOGON"},
        {"USER fireID@remotehost", "USER_FIREID@REMOTEHOST"},
        {"USER remoteID@remotehost fireID", "USER_REMOTEID@REMOTEHOST_FIREID"},
        {"USER remoteID@fireID@remotehost", "USER_REMOTEID@FIREID@REMOTEHOST"},
    };
    const std::vector<CFirewallMode> all = CFirewallMode::GetAllValues();
    ASSERT_EQ(all.size(), 9u);
    for (int mode = 0; mode < 9; ++mode) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(all[static_cast<std::size_t>(mode)].AsInt(), mode);
        EXPECT_EQ(CFirewallMode(mode).AsDisplayString(), names[mode][0]);
        EXPECT_EQ(CFirewallMode(mode).AsString(), names[mode][1]);
    }
    EXPECT_EQ(CFirewallMode(9).AsDisplayString(), "");
    EXPECT_EQ(CFirewallMode(-1).AsString(), "");
}

TEST(LogonData, DefaultsAndSetters) {
    CLogonData logon;
    EXPECT_EQ(logon.Port(), 21u);
    EXPECT_EQ(logon.Username(), "anonymous");
    EXPECT_EQ(logon.FwPort(), 21u);
    EXPECT_EQ(logon.FwType(), CFirewallMode(0));
    logon.SetFirewall("fw", "fu", "fp", 2121, CFirewallMode(3));
    logon.SetHost("h", 990, "u", "p", "a");
    EXPECT_EQ(logon.Hostname(), "h");
    EXPECT_EQ(logon.Port(), 990u);
    EXPECT_EQ(logon.FwHost(), "fw");
    EXPECT_EQ(logon.FwPort(), 2121u);
    EXPECT_EQ(logon.FwType().AsInt(), 3);
}

}  // namespace
