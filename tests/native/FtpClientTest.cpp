// The client core against a scripted server: command lines of the simple commands, reply reading, observers.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ScriptedFtpServer.h"
#include "TestSupport.h"
#include "ftp/FtpClient.h"
#include "ftp/FtpReportSites.h"

using nsFTP::CFTPClient;
using nsFTP::CTransferType;
using tovalo_test::CRecordingObserver;
using tovalo_test::CScriptedFtpServer;
using tovalo_test::CScriptStep;
using tovalo_test::Line;

namespace {

struct CCommandRow {
    const char* label;
    std::function<int(CFTPClient&, std::string&)> call;
    std::vector<std::string> replies;  // one per command line the server receives
    std::vector<std::string> expectedLines;
    int expectedResult;
    std::string expectedOut;  // what the call put into its text out
};

struct CCommandOutcome {
    int result = -2;
    std::string out;
    std::vector<std::string> lines;
};

CCommandOutcome RunCommandRow(const CCommandRow& row) {
    std::vector<CScriptStep> steps;
    for (const std::string& reply : row.replies) steps.push_back({reply});
    CScriptedFtpServer server({}, steps);
    CCommandOutcome outcome;
    {
        CFTPClient client(5, 2048, true);
        if (client.ConnectControl("127.0.0.1", server.Port())) outcome.result = row.call(client, outcome.out);
        client.DisconnectControl();
    }
    server.Finish();
    outcome.lines = server.Commands();
    return outcome;
}

// Calls shared by several rows: what they deliver through their out parameters goes into out.
int PassiveHostAndPort(CFTPClient& c, std::string& out) {
    std::string host;
    unsigned port = 0;
    const int result = c.Passive(host, port);
    out = host + ":" + std::to_string(port);
    return result;
}

int PassiveHost(CFTPClient& c, std::string& out) {
    std::string host;
    unsigned port = 0;
    const int result = c.Passive(host, port);
    out = host;
    return result;
}

std::function<int(CFTPClient&, std::string&)> SizeOf(std::string path) {
    return [path](CFTPClient& c, std::string& out) {
        std::int64_t size = -1;
        const int result = c.FileSize(path, size);
        out = std::to_string(size);
        return result;
    };
}

TEST(FtpClient, SimpleCommandsSendTheirLinesAndClassifyReplies) {
    const std::vector<CCommandRow> rows = {
        {"CDUP", [](CFTPClient& c, std::string&) { return c.ChangeToParent(); }, {"200 ok"}, {"CDUP"}, 0, ""},
        {"PWD", [](CFTPClient& c, std::string&) { return c.PrintDirectory(); }, {"257 \"/\""}, {"PWD"}, 0, ""},
        {"SYST", [](CFTPClient& c, std::string&) { return c.System(); }, {"215 UNIX"}, {"SYST"}, 0, ""},
        {"NOOP", [](CFTPClient& c, std::string&) { return c.Noop(); }, {"200 ok"}, {"NOOP"}, 0, ""},
        {"NOOP class 3 is an error",
         [](CFTPClient& c, std::string&) { return c.Noop(); },
         {"331 odd"},
         {"NOOP"},
         -1,
         ""},
        {"NOOP class 1 is an error",
         [](CFTPClient& c, std::string&) { return c.Noop(); },
         {"120 soon"},
         {"NOOP"},
         -1,
         ""},
        {"CWD", [](CFTPClient& c, std::string&) { return c.ChangeDirectory("a b"); }, {"250 ok"}, {"CWD a b"}, 0, ""},
        {"CWD refused",
         [](CFTPClient& c, std::string&) { return c.ChangeDirectory("x"); },
         {"550 no"},
         {"CWD x"},
         1,
         ""},
        {"CWD busy",
         [](CFTPClient& c, std::string&) { return c.ChangeDirectory("x"); },
         {"421 busy"},
         {"CWD x"},
         1,
         ""},
        {"line break in an argument is never sent",
         [](CFTPClient& c, std::string&) { return c.ChangeDirectory("a\r\nDELE x"); },
         {},
         {},
         -1,
         ""},
        {"MKD", [](CFTPClient& c, std::string&) { return c.MakeDirectory("d"); }, {"257 made"}, {"MKD d"}, 0, ""},
        {"SITE",
         [](CFTPClient& c, std::string&) { return c.Site("chmod 777 /u/f"); },
         {"200 ok"},
         {"SITE chmod 777 /u/f"},
         0,
         ""},
        {"DELE", [](CFTPClient& c, std::string&) { return c.Delete("f"); }, {"250 ok"}, {"DELE f"}, 0, ""},
        {"RMD", [](CFTPClient& c, std::string&) { return c.RemoveDirectory("d"); }, {"250 ok"}, {"RMD d"}, 0, ""},
        {"SMNT", [](CFTPClient& c, std::string&) { return c.StructureMount("v"); }, {"202 no"}, {"SMNT v"}, 0, ""},
        {"HELP bare", [](CFTPClient& c, std::string&) { return c.Help(""); }, {"214 help"}, {"HELP"}, 0, ""},
        {"HELP topic", [](CFTPClient& c, std::string&) { return c.Help("SITE"); }, {"214 help"}, {"HELP SITE"}, 0, ""},
        {"STAT bare", [](CFTPClient& c, std::string&) { return c.Status(""); }, {"211 ok"}, {"STAT"}, 0, ""},
        {"STAT path", [](CFTPClient& c, std::string&) { return c.Status("/d"); }, {"213 ok"}, {"STAT /d"}, 0, ""},
        {"STRU R", [](CFTPClient& c, std::string&) { return c.SetStructure(1); }, {"200 ok"}, {"STRU R"}, 0, ""},
        {"STRU unknown code", [](CFTPClient& c, std::string&) { return c.SetStructure(3); }, {}, {}, -1, ""},
        {"MODE C", [](CFTPClient& c, std::string&) { return c.SetMode(2); }, {"200 ok"}, {"MODE C"}, 0, ""},
        {"MODE unknown code", [](CFTPClient& c, std::string&) { return c.SetMode(-1); }, {}, {}, -1, ""},
        {"TYPE I has no format",
         [](CFTPClient& c, std::string&) { return c.SetType(CTransferType(CTransferType::tyImage, 1)); },
         {"200 ok"},
         {"TYPE I"},
         0,
         ""},
        {"TYPE A T",
         [](CFTPClient& c, std::string&) {
             return c.SetType(CTransferType(CTransferType::tyASCII, CTransferType::tfTelnet));
         },
         {"200 ok"},
         {"TYPE A T"},
         0,
         ""},
        {"TYPE E C",
         [](CFTPClient& c, std::string&) {
             return c.SetType(CTransferType(CTransferType::tyEBCDIC, CTransferType::tfCarriageControl));
         },
         {"200 ok"},
         {"TYPE E C"},
         0,
         ""},
        {"TYPE L 8",
         [](CFTPClient& c, std::string&) { return c.SetType(CTransferType(CTransferType::tyLocalByte, 8)); },
         {"200 ok"},
         {"TYPE L 8"},
         0,
         ""},
        {"TYPE A N refused falls back to TYPE A",
         [](CFTPClient& c, std::string&) { return c.SetType(CTransferType::ASCII()); },
         {"504 Unsupported type", "200 ok"},
         {"TYPE A N", "TYPE A"},
         0,
         ""},
        {"TYPE A T refused stays refused",
         [](CFTPClient& c, std::string&) {
             return c.SetType(CTransferType(CTransferType::tyASCII, CTransferType::tfTelnet));
         },
         {"504 Unsupported type"},
         {"TYPE A T"},
         1,
         ""},
        {"TYPE unknown code",
         [](CFTPClient& c, std::string&) { return c.SetType(CTransferType(4, 0)); },
         {},
         {},
         -1,
         ""},
        {"ALLO above 4 GiB",
         [](CFTPClient& c, std::string&) { return c.Allocate(5000000000LL); },
         {"200 ok"},
         {"ALLO 5000000000"},
         0,
         ""},
        {"ALLO with record size",
         [](CFTPClient& c, std::string&) { return c.Allocate(10, 2); },
         {"202 ok"},
         {"ALLO 10 R 2"},
         0,
         ""},
        {"REST 350",
         [](CFTPClient& c, std::string&) { return c.Restart(5000000000LL); },
         {"350 ok"},
         {"REST 5000000000"},
         0,
         ""},
        {"REST answered 200", [](CFTPClient& c, std::string&) { return c.Restart(1); }, {"200 ok"}, {"REST 1"}, -1, ""},
        {"REST refused", [](CFTPClient& c, std::string&) { return c.Restart(1); }, {"502 no"}, {"REST 1"}, 1, ""},
        {"REIN", [](CFTPClient& c, std::string&) { return c.Reinitialize(); }, {"220 ok"}, {"REIN"}, 0, ""},
        {"REIN after 120",
         [](CFTPClient& c, std::string&) { return c.Reinitialize(); },
         {"120 soon\r\n220 ready"},
         {"REIN"},
         0,
         ""},
        {"REIN 120 then refusal",
         [](CFTPClient& c, std::string&) { return c.Reinitialize(); },
         {"120 soon\r\n421 bye"},
         {"REIN"},
         -1,
         ""},
        {"RNFR and RNTO",
         [](CFTPClient& c, std::string&) { return c.Rename("a", "b"); },
         {"350 ok", "250 ok"},
         {"RNFR a", "RNTO b"},
         0,
         ""},
        {"RNFR refused", [](CFTPClient& c, std::string&) { return c.Rename("a", "b"); }, {"550 no"}, {"RNFR a"}, 1, ""},
        {"RNFR answered 200",
         [](CFTPClient& c, std::string&) { return c.Rename("a", "b"); },
         {"200 odd"},
         {"RNFR a"},
         -1,
         ""},
        {"RNTO refused",
         [](CFTPClient& c, std::string&) { return c.Rename("a", "b"); },
         {"350 ok", "553 no"},
         {"RNFR a", "RNTO b"},
         1,
         ""},
        {"SIZE", SizeOf("f"), {"213 1234"}, {"SIZE f"}, 0, "1234"},
        {"SIZE above 4 GiB", SizeOf("big"), {"213 5368709120"}, {"SIZE big"}, 0, "5368709120"},
        {"SIZE refused", SizeOf("f"), {"550 No such file"}, {"SIZE f"}, 1, "0"},
        {"SIZE with a sign is no size", SizeOf("f"), {"213 -5"}, {"SIZE f"}, 0, "0"},
        {"MDTM of 14 characters that are not all digits",
         [](CFTPClient& c, std::string& out) { return c.ModificationTime("f", out); },
         {"213 2008123123595x"},
         {"MDTM f"},
         -1,
         ""},
        {"PWD gives the quoted directory, doubled quotes undone",
         [](CFTPClient& c, std::string& out) { return c.PrintDirectory(out); },
         {"257 \"/a \"\"b\"\"\" is the current directory"},
         {"PWD"},
         0,
         "/a \"b\""},
        {"PWD of a multi-line reply reads its first line",
         [](CFTPClient& c, std::string& out) { return c.PrintDirectory(out); },
         {"257-\"/multi\"\r\n257 end"},
         {"PWD"},
         0,
         "/multi"},
        {"PWD without quotes gives the text after the code",
         [](CFTPClient& c, std::string& out) { return c.PrintDirectory(out); },
         {"257 /plain"},
         {"PWD"},
         0,
         "/plain"},
        {"PWD refused leaves the directory",
         [](CFTPClient& c, std::string& out) { return c.PrintDirectory(out); },
         {"550 no"},
         {"PWD"},
         1,
         ""},
        {"MDTM",
         [](CFTPClient& c, std::string& out) { return c.ModificationTime("f", out); },
         {"213 20081231235959.123"},
         {"MDTM f"},
         0,
         "20081231235959"},
        {"MDTM too short",
         [](CFTPClient& c, std::string& out) { return c.ModificationTime("f", out); },
         {"213 2008"},
         {"MDTM f"},
         -1,
         ""},
        {"MDTM refused",
         [](CFTPClient& c, std::string& out) { return c.ModificationTime("f", out); },
         {"550 No such file here"},
         {"MDTM f"},
         -1,
         ""},
        {"MDTM fields",
         [](CFTPClient& c, std::string& out) {
             nsFTP::CModificationTime fields;
             const int result = c.ModificationTimeFields("f", fields);
             out = std::to_string(fields.year) + "-" + std::to_string(fields.month) + "-" + std::to_string(fields.day) +
                   " " + std::to_string(fields.hour) + ":" + std::to_string(fields.minute) + ":" +
                   std::to_string(fields.second);
             return result;
         },
         {"213 20081231235958"},
         {"MDTM f"},
         0,
         "2008-12-31 23:59:58"},
        {"PASV", PassiveHostAndPort, {"227 Entering Passive Mode (192,168,0,1,4,1)"}, {"PASV"}, 0, "192.168.0.1:1025"},
        {"PASV split by TCP inside a number",
         PassiveHostAndPort,
         {"227 Entering Passive Mode (192,168,0{pause},1,4,1)"},
         {"PASV"},
         0,
         "192.168.0.1:1025"},
        {"PASV naming another host is still parsed",
         PassiveHostAndPort,
         {"227 =(10, 1, 2, 3, 255,255)."},
         {"PASV"},
         0,
         "10.1.2.3:65535"},
        {"PASV without parenthesis", PassiveHost, {"227 Entering Passive Mode 192,168,0,1,4,1"}, {"PASV"}, -1, ""},
        {"PASV ending in a full stop", PassiveHost, {"227 Entering Passive Mode (192,168,0,1,4,1."}, {"PASV"}, -1, ""},
        {"PASV number beyond a byte",
         PassiveHost,
         {"227 Entering Passive Mode (192,168,0,1,99999999999,1)"},
         {"PASV"},
         -1,
         ""},
        {"PASV cut short", PassiveHost, {"227 Entering Passive Mode (192,168,0,1,4,1"}, {"PASV"}, -1, ""},
        {"PASV refused", PassiveHost, {"500 no"}, {"PASV"}, 1, ""},
        {"PORT",
         [](CFTPClient& c, std::string&) { return c.DataPort("10.0.0.5", 4660); },
         {"200 ok"},
         {"PORT 10,0,0,5,18,52"},
         0,
         ""},
        {"ABOR without a transfer", [](CFTPClient& c, std::string&) { return c.Abort(); }, {"225 ok"}, {"ABOR"}, 0, ""},
        {"QUIT disconnects",
         [](CFTPClient& c, std::string& out) {
             const int result = c.Quit();
             out = c.IsConnected() ? "connected" : "disconnected";
             return result;
         },
         {"221 bye"},
         {"QUIT"},
         0,
         "disconnected"},
    };
    const auto outcomes = tovalo_test::RunConcurrently(rows, RunCommandRow);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].label);
        EXPECT_EQ(outcomes[i].result, rows[i].expectedResult);
        EXPECT_EQ(outcomes[i].out, rows[i].expectedOut);
        EXPECT_EQ(outcomes[i].lines, rows[i].expectedLines);
    }
}

struct CReplyRow {
    const char* label;
    std::vector<std::string> greeting;  // parts sent with a pause between
    unsigned bufferSize;
    bool firstRead;
    std::string firstText;
    int firstClass;
    bool secondRead;
    std::string secondText;
    int secondClass;
    std::vector<int> reportLines;
};

struct CReplyOutcome {
    bool firstRead = false;
    std::string firstText;
    int firstClass = -1;
    bool secondRead = false;
    std::string secondText;
    int secondClass = -1;
    bool connectedAfter = false;
    std::vector<int> reportLines;
    std::vector<std::string> replyLines;
};

CReplyOutcome RunReplyRow(const CReplyRow& row) {
    CScriptedFtpServer server(row.greeting, {});
    CReplyOutcome outcome;
    {
        CRecordingObserver observer;
        CFTPClient client(1, row.bufferSize, true);
        client.AddObserver(&observer);
        if (client.ConnectControl("127.0.0.1", server.Port())) {
            outcome.firstRead = client.ReadReply(outcome.firstText, outcome.firstClass);
            if (outcome.firstRead) outcome.secondRead = client.ReadReply(outcome.secondText, outcome.secondClass);
            outcome.connectedAfter = client.IsConnected();
        }
        client.DisconnectControl();
        outcome.reportLines = observer.ReportLines();
        outcome.replyLines = observer.replies;
    }
    server.Finish();
    return outcome;
}

TEST(FtpClient, ReadsRepliesAsTheyArrive) {
    const std::string fullBuffer = std::string(2045, 'x') + "\r\n";  // 2047 bytes: the buffer of 2048 less one
    const std::vector<CReplyRow> rows = {
        {"multi-line reply",
         {Line("220-Welcome") + Line("220-Second") + Line("220 Ready") + Line("200 next")},
         2048,
         true,
         "220-Welcome\r\n220-Second\r\n220 Ready",
         2,
         true,
         "200 next",
         2,
         {}},
        {"two replies in one receive", {Line("200 a") + Line("331 b")}, 2048, true, "200 a", 2, true, "331 b", 3, {}},
        {"a line split across receives is one line",
         {"22", Line("0 ok")},
         2048,
         true,
         "220 ok",
         2,
         false,
         "",
         -1,
         {nsFTP::report::kReadReplyLine}},
        {"a PASV reply split by TCP",
         {"227 Entering Passive Mode (127,0", Line(",0,1,4,1)") + Line("200 next")},
         2048,
         true,
         "227 Entering Passive Mode (127,0,0,1,4,1)",
         2,
         true,
         "200 next",
         2,
         {}},
        {"multi-line reply across receives",
         {Line("220-a"), Line("220 b") + Line("200 c")},
         2048,
         true,
         "220-a\r\n220 b",
         2,
         true,
         "200 c",
         2,
         {}},
        {"a reply of buffer size - 1 bytes is read at once",
         {fullBuffer},
         2048,
         true,
         fullBuffer.substr(0, 2045),
         0,
         false,
         "",
         -1,
         {nsFTP::report::kReadReplyLine}},
        {"full small buffer, then the rest",
         {Line("220 abcdef") + Line("200 x")},
         8,
         true,
         "220 abcdef",
         2,
         true,
         "200 x",
         2,
         {}},
    };
    const auto outcomes = tovalo_test::RunConcurrently(rows, RunReplyRow);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].label);
        const CReplyRow& row = rows[i];
        const CReplyOutcome& outcome = outcomes[i];
        EXPECT_EQ(outcome.firstRead, row.firstRead);
        EXPECT_EQ(outcome.firstText, row.firstText);
        EXPECT_EQ(outcome.secondRead, row.secondRead);
        EXPECT_EQ(outcome.secondText, row.secondText);
        if (row.firstRead) {
            EXPECT_EQ(outcome.firstClass, row.firstClass);
        }
        if (row.secondRead) {
            EXPECT_EQ(outcome.secondClass, row.secondClass);
        }
        EXPECT_EQ(outcome.reportLines, row.reportLines);
        // A failed read closes the control connection; good ones keep it.
        EXPECT_EQ(outcome.connectedAfter, row.secondRead);
    }
}

TEST(FtpClient, ReportsASilentServerAtTheReplySiteAndDisconnects) {
    CScriptedFtpServer server({Line("220 hi")}, {{""}});
    CRecordingObserver observer;
    {
        CFTPClient client(1, 2048, true);
        client.AddObserver(&observer);
        ASSERT_TRUE(client.ConnectControl("127.0.0.1", server.Port()));
        int replyClass = -1;
        ASSERT_TRUE(client.ReadReply(replyClass));
        EXPECT_EQ(client.Noop(), -1);
        EXPECT_FALSE(client.IsConnected());
        EXPECT_FALSE(client.SendCommand("NOOP"));  // not connected: nothing sent, nobody told
    }
    server.Finish();
    ASSERT_EQ(observer.reports.size(), 1u);
    EXPECT_EQ(observer.reports[0].line, nsFTP::report::kReadReplyLine);
    EXPECT_EQ(observer.reports[0].source, "ftp/FtpClient");
    // What happened, not the system's text for "no error".
    EXPECT_EQ(observer.reports[0].message, "no complete answer within 1 s (Receive timeout error)");
    EXPECT_EQ(observer.commands, (std::vector<std::string>{"NOOP"}));
    EXPECT_EQ(server.Commands(), (std::vector<std::string>{"NOOP"}));
}

TEST(FtpClient, NewConnectionStartsWithoutLinesOfTheOldOne) {
    CScriptedFtpServer first({Line("220 first") + Line("200 left over")}, {});
    CScriptedFtpServer second({Line("220 second")}, {});
    {
        CFTPClient client(5, 2048, true);
        std::string text;
        int replyClass = -1;
        ASSERT_TRUE(client.ConnectControl("127.0.0.1", first.Port()));
        ASSERT_TRUE(client.ReadReply(text, replyClass));
        EXPECT_EQ(text, "220 first");
        ASSERT_TRUE(client.ConnectControl("127.0.0.1", second.Port()));
        ASSERT_TRUE(client.ReadReply(text, replyClass));
        EXPECT_EQ(text, "220 second");
        client.DisconnectControl();
    }
    first.Finish();
    second.Finish();
}

TEST(FtpClient, ConnectFailureIsReportedAtItsSite) {
    // A port that was just free: nothing listens there.
    unsigned port = 0;
    {
        nsSocket::CBlockingSocket probe;
        probe.Create();
        probe.Bind(nsSocket::CSocketAddress("127.0.0.1", 0));
        nsSocket::CSocketAddress bound;
        probe.GetSockName(bound);
        port = bound.Port();
    }
    CRecordingObserver observer;
    CFTPClient client(1, 2048, true);
    client.AddObserver(&observer);
    EXPECT_FALSE(client.ConnectControl("127.0.0.1", port));
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(observer.ReportLines(), (std::vector<int>{nsFTP::report::kConnectControl}));
}

// Appends its name to a shared log on every command line.
class CNamedObserver : public CFTPClient::CNotifaction {
public:
    CNamedObserver(std::string name, std::vector<std::string>& log) : m_name(std::move(name)), m_log(log) {}
    void OnCommandSent(const std::string&) override { m_log.push_back(m_name); }

private:
    std::string m_name;
    std::vector<std::string>& m_log;
};

TEST(FtpClient, ObserversAreCalledOnceEachInAddressOrder) {
    std::vector<std::string> log;
    CNamedObserver observers[2] = {{"first", log}, {"second", log}};
    CScriptedFtpServer server({}, {{"200 ok"}, {"200 ok"}});
    {
        CFTPClient client(5, 2048, true);
        client.AddObserver(&observers[1]);
        client.AddObserver(&observers[0]);
        client.AddObserver(&observers[1]);
        client.AddObserver(nullptr);
        EXPECT_EQ(client.Observers().size(), 2u);
        ASSERT_TRUE(client.ConnectControl("127.0.0.1", server.Port()));
        EXPECT_EQ(client.Noop(), 0);
        EXPECT_EQ(log, (std::vector<std::string>{"first", "second"}));  // array order is address order
        client.RemoveObserver(&observers[0]);
        client.RemoveObserver(nullptr);
        EXPECT_EQ(client.Noop(), 0);
        EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "second"}));
        client.RemoveObserver(&observers[1]);
        client.DisconnectControl();
    }
    server.Finish();
}

}  // namespace
