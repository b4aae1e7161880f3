// tovalo-ftp's command line: usage errors, exit statuses, what -v shows and what commands print.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ScriptedFtpServer.h"
#include "TestSupport.h"
#include "tools/tovalo-ftp/Cli.h"
#include "tools/tovalo-ftp/CliCommands.h"
#include "tools/tovalo-ftp/CliObserver.h"
#include "tools/tovalo-ftp/CliOptions.h"

using tovalo_test::CScriptedFtpServer;
using tovalo_test::CScriptStep;
using tovalo_test::Line;

namespace
{

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

struct CRun
{
    int status = -1;
    std::string out;
    std::string err;
};

CRun RunTool(const std::vector<std::string>& words)
{
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    CRun run;
    run.status = nsFtpCli::RunCli(words, in, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

TEST(Cli, UsageErrorsNeedNoServer)
{
    const char* const rows[] = {
        "",
        "-H 127.0.0.1",
        "-H 127.0.0.1 frobnicate",
        "-H 127.0.0.1 get only-one-argument",
        "-H 127.0.0.1 put a",
        "-H 127.0.0.1 mv a",
        "-H 127.0.0.1 cdup extra",
        "-H 127.0.0.1 type X",
        "-H 127.0.0.1 type L0",
        "-H 127.0.0.1 noop ,",
        "-H 127.0.0.1 , noop",
        "-H 127.0.0.1 noop , , noop",
        "noop",
        "-H 127.0.0.1 -P 0 noop",
        "-H 127.0.0.1 -P 65536 noop",
        "-H 127.0.0.1 -P 21x noop",
        "-H 127.0.0.1 --fw-mode 9 --fw-host 127.0.0.1 noop",
        "-H 127.0.0.1 --fw-mode 1 noop",
        "-H 127.0.0.1 --timeout 0 noop",
        "-H 127.0.0.1 -Z noop",
        "-H",
    };
    for (const char* row : rows)
    {
        SCOPED_TRACE(row);
        const CRun run = RunTool(Words(row));
        EXPECT_EQ(run.status, nsFtpCli::kExitUsage);
        EXPECT_NE(run.err.find("usage: tovalo-ftp"), std::string::npos);
        EXPECT_EQ(run.out, "");
    }
}

TEST(Cli, OptionsFillTheLogonAndSplitCommands)
{
    nsFtpCli::COptions options;
    std::string error;
    ASSERT_TRUE(nsFtpCli::ParseArguments(
        Words("-H h -P 2121 -u me -p pw -a acct --fw-mode 7 --fw-host fw --fw-port 99 --fw-user fu --fw-pass fp "
              "--passive --timeout 7 --no-resume -v get a b , site chmod 600 f , ls"),
        options, error))
        << error;
    EXPECT_EQ(options.logon.Hostname(), "h");
    EXPECT_EQ(options.logon.Port(), 2121u);
    EXPECT_EQ(options.logon.Username(), "me");
    EXPECT_EQ(options.logon.Password(), "pw");
    EXPECT_EQ(options.logon.Account(), "acct");
    EXPECT_EQ(options.logon.FwType().AsInt(), 7);
    EXPECT_EQ(options.logon.FwHost(), "fw");
    EXPECT_EQ(options.logon.FwPort(), 99u);
    EXPECT_EQ(options.logon.FwUsername(), "fu");
    EXPECT_EQ(options.logon.FwPassword(), "fp");
    EXPECT_TRUE(options.passive);
    EXPECT_EQ(options.timeoutSeconds, 7u);
    EXPECT_FALSE(options.resume);
    EXPECT_TRUE(options.verbose);
    ASSERT_EQ(options.commands.size(), 3u);
    EXPECT_EQ(options.commands[1].name, "site");
    EXPECT_EQ(options.commands[1].args, (std::vector<std::string>{"chmod", "600", "f"}));
    EXPECT_TRUE(options.commands[2].args.empty());

    nsFtpCli::COptions defaults;
    ASSERT_TRUE(nsFtpCli::ParseArguments(Words("-H h noop"), defaults, error));
    EXPECT_EQ(defaults.logon.Port(), 21u);
    EXPECT_EQ(defaults.logon.Username(), "anonymous");
    EXPECT_EQ(defaults.timeoutSeconds, 100u);
    EXPECT_TRUE(defaults.resume);
    EXPECT_FALSE(defaults.passive);
}

TEST(Cli, NothingListeningIsNoLogon)
{
    unsigned port = 0;
    {
        nsSocket::CBlockingSocket probe;
        probe.Create();
        probe.Bind(nsSocket::CSocketAddress("127.0.0.1", 0));
        nsSocket::CSocketAddress bound;
        probe.GetSockName(bound);
        port = bound.Port();
    }
    const CRun run = RunTool(Words("-H 127.0.0.1 -P " + std::to_string(port) + " -v noop"));
    EXPECT_EQ(run.status, nsFtpCli::kExitNoLogon);
    EXPECT_NE(run.err.find("[ftp/FtpClient:279]"), std::string::npos) << run.err;
}

struct CScriptedRun
{
    const char* label;
    std::string words;  // after "-H 127.0.0.1 -P <port>"
    std::vector<std::string> replies;
    int status;
    std::string out;
    std::vector<std::string> lines;
    std::vector<std::string> errHas;
};

struct CScriptedOutcome
{
    CRun run;
    std::vector<std::string> lines;
};

TEST(Cli, RunsCommandsInOrderOnOneLogon)
{
    const std::vector<CScriptedRun> rows = {
        {"pwd and size print their results; -v shows the exchange with the password masked",
         "-u me -p secret -v pwd , size f",
         {"331 pass", "230 in", "250 ok", "257 \"/a \"\"b\"\"\" is current", "213 5368709120", "221 bye"},
         nsFtpCli::kExitDone,
         "/a \"b\"\n5368709120\n",
         {"USER me", "PASS secret", "CWD /", "PWD", "SIZE f", "QUIT"},
         {"> PASS ****\n", "< 230 in\n", "> SIZE f\n"}},
        {"the first refusal stops the run", "rm x , mkdir y", {"230 in", "250 ok", "550 no such file", "221 bye"},
         nsFtpCli::kExitFailed, "", {"USER anonymous", "CWD /", "DELE x", "QUIT"}, {}},
        {"a refused logon", "noop", {"530 no"}, nsFtpCli::kExitNoLogon, "", {"USER anonymous", "QUIT"}, {}},
        {"type is set at once and stays for later", "type A , syst", {"230 in", "250 ok", "200 ascii", "215 UNIX"},
         nsFtpCli::kExitDone, "215 UNIX\n", {"USER anonymous", "CWD /", "TYPE A N", "SYST", "QUIT"}, {}},
    };
    const auto outcomes = tovalo_test::RunConcurrently(rows, [](const CScriptedRun& row) {
        std::vector<CScriptStep> steps(row.replies.begin(), row.replies.end());
        CScriptedFtpServer server({Line("220 hi")}, steps);
        CScriptedOutcome outcome;
        outcome.run = RunTool(Words("-H 127.0.0.1 -P " + std::to_string(server.Port()) + " " + row.words));
        server.Finish();
        outcome.lines = server.Commands();
        return outcome;
    });
    for (std::size_t i = 0; i < rows.size(); ++i)
    {
        SCOPED_TRACE(rows[i].label);
        EXPECT_EQ(outcomes[i].run.status, rows[i].status);
        EXPECT_EQ(outcomes[i].run.out, rows[i].out);
        EXPECT_EQ(outcomes[i].lines, rows[i].lines);
        for (const std::string& part : rows[i].errHas)
            EXPECT_NE(outcomes[i].run.err.find(part), std::string::npos) << part << " not in\n" << outcomes[i].run.err;
        EXPECT_EQ(outcomes[i].run.err.find("secret"), std::string::npos);
    }
}

TEST(CliObserver, ShowsReportsOnOneLineAndMasksPasswords)
{
    std::ostringstream err;
    nsFtpCli::CReplyRecorder recorder(&err);
    recorder.OnErrorReport("The wait timed out.\r\n (Receive timeout error)", "ftp/FtpClient", 1251);
    EXPECT_EQ(err.str(), "! The wait timed out. (Receive timeout error) [ftp/FtpClient:1251]\n");

    const char* const masks[][2] = {
        {"PASS secret", "PASS ****"}, {"PASS p@fp", "PASS ****"}, {"PASS", "PASS ****"},
        {"PASSWORD x", "PASSWORD x"}, {"USER me", "USER me"},
    };
    for (const auto& row : masks)
        EXPECT_EQ(nsFtpCli::CReplyRecorder::MaskedCommand(row[0]), row[1]);
}

TEST(CliCommands, DirectoryOfA257Reply)
{
    const char* const rows[][2] = {
        {"257 \"/\" is the current directory.", "/"},
        {"257 \"/a \"\"b\"\"\" here", "/a \"b\""},
        {"257 \"/unterminated", "/unterminated"},
        {"257 /plain", "/plain"},
        {"257-\"/multi\"\n257 end", "/multi"},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(nsFtpCli::DirectoryOfReply(row[0]), row[1]);
    }
}

}  // namespace
