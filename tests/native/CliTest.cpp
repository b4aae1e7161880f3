// tovalo-ftp's command line: usage errors, help, exit statuses, passwords and ~/.netrc, resume, what
// -v shows, what commands print, how failures are named, and Ctrl-C.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedFtpServer.h"
#include "TestSupport.h"
#include "tools/tovalo-ftp/Cli.h"
#include "tools/tovalo-ftp/CliCommands.h"
#include "tools/tovalo-ftp/CliObserver.h"
#include "tools/tovalo-ftp/CliOptions.h"
#include "ftp/ReplyFields.h"

using tovalo_test::CScriptedFtpServer;
using tovalo_test::CScriptStep;
using tovalo_test::EData;
using tovalo_test::Line;
using tovalo_test::WriteTextFile;

namespace {

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

struct CRun {
    int status = -1;
    std::string out;
    std::string err;
};

CRun RunTool(const std::vector<std::string>& words, const std::string& input = {}) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    CRun run;
    run.status = nsFtpCli::RunCli(words, in, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

TEST(Cli, UsageErrorsNameTheOffendingWord) {
    // words | part of the message on stderr
    const char* const rows[][2] = {
        {"", "no command given"},
        {"-H 127.0.0.1", "no command given"},
        {"-H 127.0.0.1 frobnicate", "unknown command frobnicate"},
        {"-H 127.0.0.1 noop , frobnicate x", "unknown command frobnicate"},
        {"-H 127.0.0.1 get only-one-argument", "wrong number of arguments for get"},
        {"-H 127.0.0.1 put a", "wrong number of arguments for put"},
        {"-H 127.0.0.1 cdup extra", "wrong number of arguments for cdup"},
        {"-H 127.0.0.1 type X", "type must be"},
        {"-H 127.0.0.1 type L0", "type must be"},
        {"-H 127.0.0.1 noop ,", "empty command"},
        {"-H 127.0.0.1 , noop", "empty command"},
        {"noop", "no host given"},
        {"-H 127.0.0.1 -P 0 noop", "bad value for -P: 0"},
        {"-H 127.0.0.1 -P 65536 noop", "bad value for -P: 65536"},
        {"-H 127.0.0.1 -P 21x noop", "bad value for -P: 21x"},
        {"-H 127.0.0.1 --fw-mode 9 --fw-host 127.0.0.1 noop", "bad value for --fw-mode: 9"},
        {"-H 127.0.0.1 --fw-mode 1 noop", "firewall mode 1 needs --fw-host"},
        {"-H 127.0.0.1 --timeout 0 noop", "bad value for --timeout: 0"},
        {"-H 127.0.0.1 -Z noop", "unknown option -Z"},
        {"-H 127.0.0.1 --continu noop", "unknown option --continu"},
        {"-H 127.0.0.1 --netrc-file", "option --netrc-file needs a value (FILE)"},
        {"-H", "option -H needs a value (HOST)"},
        {"-H 127.0.0.1 -p - --fw-pass - noop", "only one of -p and --fw-pass"},
        {"-H 127.0.0.1 --ssl-reqd --pin-sha256 abc noop", "bad value for --pin-sha256: abc"},
        {"-H 127.0.0.1 --ssl-reqd --pin-sha256 "
         "zz00000000000000000000000000000000000000000000000000000000000000 noop",
         "bad value for --pin-sha256"},
        {"-H 127.0.0.1 -k noop", "--pin-sha256, --cert-name and --insecure need --ssl-reqd"},
        {"-H 127.0.0.1 --cert-name example.org noop", "--pin-sha256, --cert-name and --insecure need --ssl-reqd"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        const CRun run = RunTool(Words(row[0]));
        EXPECT_EQ(run.status, nsFtpCli::kExitUsage);
        EXPECT_NE(run.err.find(std::string("tovalo-ftp: ") + row[1]), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("usage: tovalo-ftp"), std::string::npos);
        EXPECT_EQ(run.out, "");
    }
}

// Every option that --help lists is one the parser takes, and every command it lists is one the
// table knows: the reference cannot drift from what the program does.
TEST(Cli, HelpListsWhatTheParserTakes) {
    for (const char* words : {"--help", "-h", "-H h -v --help"}) {
        SCOPED_TRACE(words);
        const CRun run = RunTool(Words(words));
        EXPECT_EQ(run.status, nsFtpCli::kExitDone);
        EXPECT_EQ(run.out, nsFtpCli::HelpText());
        EXPECT_EQ(run.err, "");
    }
    const std::string help = nsFtpCli::HelpText();
    std::istringstream lines(help);
    std::string section;
    std::size_t options = 0;
    std::size_t commands = 0;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != ' ') section = line.substr(0, line.find(' '));
        EXPECT_LE(line.size(), 100u) << line;
        if (line.size() < 3 || line[2] == ' ' || line[0] != ' ') continue;
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (section == "OPTIONS") {
            ++options;
            for (std::string spelling : {first, std::string()}) {
                if (spelling.empty() && !(words >> spelling && spelling.rfind("--", 0) == 0)) break;
                if (spelling.back() == ',') spelling.pop_back();
                nsFtpCli::COptions parsed;
                std::string error;
                nsFtpCli::ParseArguments({spelling, "x", "-H", "h", "noop"}, parsed, error);
                EXPECT_EQ(error.find("unknown option"), std::string::npos) << line;
            }
        } else if (section == "COMMANDS" && first != "parse") {
            ++commands;
            std::string error;
            nsFtpCli::ValidateCommand({first, {}}, error);
            EXPECT_EQ(error.find("unknown command"), std::string::npos) << line;
        }
    }
    EXPECT_GE(options, 19u);
    EXPECT_EQ(commands, nsFtpCli::CommandHelp().size());
    EXPECT_EQ(nsFtpCli::CommandHelp().size(), 21u);
    EXPECT_NE(help.find("EXAMPLES"), std::string::npos);
}

TEST(Cli, OptionsFillTheAccountAndSplitCommands) {
    nsFtpCli::COptions options;
    std::string error;
    ASSERT_TRUE(nsFtpCli::ParseArguments(
        Words("-H h -P 2121 -u me -p pw -a acct --fw-mode 7 --fw-host fw --fw-port 99 --fw-user fu --fw-pass fp "
              "--passive --timeout 7 -C -v --ssl-reqd -k --cert-name e.example --pin-sha256 "
              "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89 "
              "get a b , site chmod 600 f , ls"),
        options, error))
        << error;
    const nsFtpCli::CAccountOptions& account = options.account;
    EXPECT_EQ(account.host, "h");
    EXPECT_EQ(account.port, 2121u);
    EXPECT_EQ(account.user, "me");
    EXPECT_EQ(account.password, "pw");
    EXPECT_FALSE(account.askPassword);
    EXPECT_EQ(account.account, "acct");
    EXPECT_EQ(account.fwMode, 7u);
    EXPECT_EQ(account.fwHost, "fw");
    EXPECT_EQ(account.fwPort, 99u);
    EXPECT_EQ(account.fwUser, "fu");
    EXPECT_EQ(account.fwPassword, "fp");
    EXPECT_TRUE(options.passive);
    EXPECT_EQ(options.timeoutSeconds, 7u);
    EXPECT_TRUE(options.resume);
    EXPECT_TRUE(options.verbose);
    EXPECT_TRUE(options.sslRequired);
    EXPECT_TRUE(options.insecure);
    EXPECT_EQ(options.certName, "e.example");
    EXPECT_EQ(options.pinSha256, "abcdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789");
    ASSERT_EQ(options.commands.size(), 3u);
    EXPECT_EQ(options.commands[1].name, "site");
    EXPECT_EQ(options.commands[1].args, (std::vector<std::string>{"chmod", "600", "f"}));
    EXPECT_TRUE(options.commands[2].args.empty());

    // Resume only when asked; the last of -C and --no-resume wins.
    const std::pair<const char*, bool> resumeRows[] = {
        {"-H h noop", false},
        {"-H h --continue noop", true},
        {"-H h -C --no-resume noop", false},
        {"-H h --no-resume -C noop", true},
    };
    for (const auto& [words, resume] : resumeRows) {
        nsFtpCli::COptions parsed;
        ASSERT_TRUE(nsFtpCli::ParseArguments(Words(words), parsed, error)) << words;
        EXPECT_EQ(parsed.resume, resume) << words;
    }

    nsFtpCli::COptions defaults;
    ASSERT_TRUE(nsFtpCli::ParseArguments(Words("-H h -p - -n noop"), defaults, error));
    EXPECT_EQ(defaults.account.port, 21u);
    EXPECT_FALSE(defaults.account.userGiven);
    EXPECT_TRUE(defaults.account.askPassword);
    EXPECT_TRUE(defaults.account.netrc);
    EXPECT_EQ(defaults.timeoutSeconds, 100u);
    EXPECT_FALSE(defaults.passive);
}

TEST(Cli, NothingListeningIsNoLogonAndSaysWhy) {
    unsigned port = 0;
    {
        nsSocket::CBlockingSocket probe;
        probe.Create();
        probe.Bind(nsSocket::CSocketAddress("127.0.0.1", 0));
        nsSocket::CSocketAddress bound;
        probe.GetSockName(bound);
        port = bound.Port();
    }
    const std::string words = "-H 127.0.0.1 -P " + std::to_string(port) + " noop";
    CRun run = RunTool(Words(words));
    EXPECT_EQ(run.status, nsFtpCli::kExitNoLogon);
    EXPECT_NE(run.err.find("tovalo-ftp: no logon to 127.0.0.1:" + std::to_string(port) + ": failed: "),
              std::string::npos)
        << run.err;
    run = RunTool(Words("-v " + words));
    EXPECT_NE(run.err.find("[ftp/FtpClient:279]"), std::string::npos) << run.err;
}

TEST(Cli, AskedPasswordsNeedALine) {
    // No line on standard input: nothing to log on with, and no connection is tried.
    const CRun run = RunTool(Words("-H 127.0.0.1 -P 1 -p - noop"), "");
    EXPECT_EQ(run.status, nsFtpCli::kExitUsage);
    EXPECT_NE(run.err.find("tovalo-ftp: no line to read the password for anonymous@127.0.0.1 from"), std::string::npos)
        << run.err;

    const CRun missing = RunTool(Words("-H 127.0.0.1 -P 1 --netrc-file /nonexistent/tovalo-netrc noop"));
    EXPECT_EQ(missing.status, nsFtpCli::kExitUsage);
    EXPECT_NE(missing.err.find("cannot read the netrc file /nonexistent/tovalo-netrc"), std::string::npos);
}

struct CScriptedRun {
    const char* label;
    std::string words;  // after "-H 127.0.0.1 -P <port>"; {local} and {netrc} are temporary files
    std::vector<CScriptStep> replies;
    int status;
    std::string out;
    std::vector<std::string> lines;
    std::vector<std::string> errHas;
    std::string input = {};        // standard input
    std::string localBefore = {};  // {local}'s content before the run
    std::string localAfter = {};   // and after it, when not empty
    std::string serverData = {};   // what the server received on a data connection, when not empty
};

struct CScriptedOutcome {
    CRun run;
    std::vector<std::string> lines;
    std::string localAfter;
    std::string serverData;
};

const std::string kPasv = "227 Entering Passive Mode ({pasv})";
const char kNetrc[] =
    "machine other.example login x password y\n"
    "macdef init\ncd /\n\n"
    "machine 127.0.0.1 login nu password \"se cret\"\n";

TEST(Cli, RunsCommandsInOrderOnOneLogon) {
    const std::vector<CScriptedRun> rows = {
        {"pwd and size print their results; -v shows the exchange with the password masked",
         "-u me -p secret -v pwd , size f",
         {"331 pass", "230 in", "250 ok", "257 \"/a \"\"b\"\"\" is current", "213 5368709120", "221 bye"},
         nsFtpCli::kExitDone,
         "/a \"b\"\n5368709120\n",
         {"USER me", "PASS secret", "CWD /", "PWD", "SIZE f", "QUIT"},
         {"> PASS ****\n", "< 230 in\n", "> SIZE f\n"}},
        {"the first refusal stops the run and is named with the reply",
         "rm x , mkdir y",
         {"230 in", "250 ok", "550 no such file", "221 bye"},
         nsFtpCli::kExitFailed,
         "",
         {"USER anonymous", "CWD /", "DELE x", "QUIT"},
         {"tovalo-ftp: rm x: refused: 550 no such file\n"}},
        {"a refused logon, named with the reply",
         "noop",
         {"530 no"},
         nsFtpCli::kExitNoLogon,
         "",
         {"USER anonymous", "QUIT"},
         {"tovalo-ftp: no logon to 127.0.0.1:", ": refused: 530 no\n"}},
        {"an unexpected reply is named as such",
         "mv a b",
         {"230 in", "250 ok", "200 odd", "221 bye"},
         nsFtpCli::kExitFailed,
         "",
         {"USER anonymous", "CWD /", "RNFR a", "QUIT"},
         {"tovalo-ftp: mv a b: failed, the server answered: 200 odd\n"}},
        {"type is set at once and stays for later",
         "type A , syst",
         {"230 in", "250 ok", "200 ascii", "215 UNIX"},
         nsFtpCli::kExitDone,
         "215 UNIX\n",
         {"USER anonymous", "CWD /", "TYPE A N", "SYST", "QUIT"},
         {}},
        {"-p - takes the password from a line of standard input",
         "-u me -p - noop",
         {"331 pass", "230 in", "250 ok", "200 ok"},
         nsFtpCli::kExitDone,
         "",
         {"USER me", "PASS secret word", "CWD /", "NOOP", "QUIT"},
         {},
         "secret word\r\nnext\n"},
        {"--netrc-file gives user and password of the host",
         "--netrc-file {netrc} noop",
         {"331 pass", "230 in", "250 ok", "200 ok"},
         nsFtpCli::kExitDone,
         "",
         {"USER nu", "PASS se cret", "CWD /", "NOOP", "QUIT"},
         {}},
        {"-p wins over the netrc password",
         "--netrc-file {netrc} -p pw noop",
         {"331 pass", "230 in", "250 ok", "200 ok"},
         nsFtpCli::kExitDone,
         "",
         {"USER nu", "PASS pw", "CWD /", "NOOP", "QUIT"},
         {}},
        {"texts from the server are escaped, on stdout and with -v",
         "-v pwd , syst",
         {"230 in", "250 ok", "257 \"/a\x1b[2Jb\tc\\d\" is current", "215 UNIX\x07\x9b"},
         nsFtpCli::kExitDone,
         "/a\\033[2Jb\\tc\\\\d\n215 UNIX\\007\x9b\n",
         {"USER anonymous", "CWD /", "PWD", "SYST", "QUIT"},
         {"< 257 \"/a\\033[2Jb\\tc\\\\d\" is current\n"}},
        {"ls escapes names so that no column or line can be forged",
         "--passive ls",
         {"230 in",
          "250 ok",
          kPasv,
          {"150 go", EData::Send,
           "-rw-r--r-- 1 u g 5 Jan  1  2020 a\tb\\c\x1b]0;x\x07\r\n"
           "drwxr-xr-x 2 u g 4096 Jan  1  2020 plain\r\n",
           "226 done"}},
         nsFtpCli::kExitDone,
         "OK\ta\\tb\\\\c\\033]0;x\\007\t0\t1\t1\t5\t3\t1577836800\t0\t\t-rw-r--r--\tu\tg\t1\n"
         "OK\tplain\t1\t0\t1\t4096\t3\t1577836800\t0\t\tdrwxr-xr-x\tu\tg\t2\n",
         {"USER anonymous", "CWD /", "PASV", "LIST", "QUIT"},
         {}},
        {"put replaces the remote file by default: no SIZE, STOR",
         "--passive put {local} r",
         {"230 in", "250 ok", "200 binary", kPasv, {"150 go", EData::Receive, "", "226 done"}},
         nsFtpCli::kExitDone,
         "",
         {"USER anonymous", "CWD /", "TYPE I", "PASV", "STOR r", "QUIT"},
         {},
         "",
         "hello",
         "",
         "hello"},
        {"put -C resumes after the remote file's length",
         "-C --passive put {local} r",
         {"230 in", "250 ok", "200 binary", "213 3", kPasv, {"150 go", EData::Receive, "", "226 done"}},
         nsFtpCli::kExitDone,
         "",
         {"USER anonymous", "CWD /", "TYPE I", "SIZE r", "PASV", "APPE r", "QUIT"},
         {},
         "",
         "hello",
         "",
         "lo"},
        {"get replaces a local file of the remote size by default",
         "--passive get r {local}",
         {"230 in", "250 ok", "200 binary", "213 5", kPasv, {"150 go", EData::Send, "fresh", "226 done"}},
         nsFtpCli::kExitDone,
         "",
         {"USER anonymous", "CWD /", "TYPE I", "SIZE r", "PASV", "RETR r", "QUIT"},
         {},
         "",
         "stale",
         "fresh"},
        {"get -C continues a shorter local file",
         "-C --passive get r {local}",
         {"230 in",
          "250 ok",
          "200 binary",
          "213 5",
          kPasv,
          "350 restarting",
          {"150 go", EData::Send, "sh", "226 done"}},
         nsFtpCli::kExitDone,
         "",
         {"USER anonymous", "CWD /", "TYPE I", "SIZE r", "PASV", "REST 3", "RETR r", "QUIT"},
         {},
         "",
         "fre",
         "fresh"},
        {"a local error is named",
         "put /nonexistent/tovalo-missing r",
         {"230 in", "250 ok"},
         nsFtpCli::kExitFailed,
         "",
         {"USER anonymous", "CWD /", "QUIT"},
         {"tovalo-ftp: put /nonexistent/tovalo-missing r: failed: "}},
    };
    const auto outcomes = tovalo_test::RunConcurrently(rows, [](const CScriptedRun& row) {
        const std::string local = tovalo_test::UniqueTempPath("local");
        const std::string netrc = tovalo_test::UniqueTempPath("netrc");
        WriteTextFile(netrc, kNetrc);
        std::remove(local.c_str());
        if (!row.localBefore.empty()) WriteTextFile(local, row.localBefore);
        CScriptedFtpServer server({Line("220 hi")}, row.replies);
        std::string words = "-H 127.0.0.1 -P " + std::to_string(server.Port()) + " " + row.words;
        Replace(words, "{local}", local);
        Replace(words, "{netrc}", netrc);
        CScriptedOutcome outcome;
        outcome.run = RunTool(Words(words), row.input);
        server.Finish();
        outcome.lines = server.Commands();
        outcome.serverData = server.DataReceived();
        outcome.localAfter = ReadFile(local);
        std::remove(local.c_str());
        std::remove(netrc.c_str());
        return outcome;
    });
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].label);
        const CScriptedOutcome& outcome = outcomes[i];
        EXPECT_EQ(outcome.run.status, rows[i].status);
        EXPECT_EQ(outcome.run.out, rows[i].out);
        EXPECT_EQ(outcome.lines, rows[i].lines);
        for (const std::string& part : rows[i].errHas)
            EXPECT_NE(outcome.run.err.find(part), std::string::npos) << part << " not in\n" << outcome.run.err;
        EXPECT_EQ(outcome.run.err.find("secret"), std::string::npos) << outcome.run.err;
        EXPECT_EQ(outcome.run.err.find('\x1b'), std::string::npos);
        if (!rows[i].localAfter.empty()) {
            EXPECT_EQ(outcome.localAfter, rows[i].localAfter);
        }
        if (!rows[i].serverData.empty()) {
            EXPECT_EQ(outcome.serverData, rows[i].serverData);
        }
    }
}

TEST(Cli, CtrlCStopsTheRunAtOnce) {
    // A download whose data never comes, with a time-out of a minute: Ctrl-C ends the wait, the
    // run stops there (no QUIT), and the status says it was stopped.
    CScriptedFtpServer server({Line("220 hi")},
                              {"230 in", "250 ok", "200 binary", "213 5", kPasv, {"150 go", EData::Hold}});
    const std::string local = tovalo_test::UniqueTempPath("stopped");
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    nsFtpCli::CConsole console{in, out, err};
    console.stopOnInterrupt = true;
    // A runner in a script's background starts with Ctrl-C ignored, which the tool would respect.
    const auto previous = std::signal(SIGINT, SIG_DFL);
    std::thread interrupter([&server] {
        // Once the download waits, after the logon that arms the handler.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < giveUp &&
               (server.Commands().empty() || server.Commands().back().rfind("RETR", 0) != 0))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::raise(SIGINT);
    });
    const auto start = std::chrono::steady_clock::now();
    const int status = nsFtpCli::RunCli(
        Words("-H 127.0.0.1 -P " + std::to_string(server.Port()) + " --timeout 60 --passive get f " + local), console);
    interrupter.join();
    std::signal(SIGINT, previous);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(status, nsFtpCli::kExitStopped);
    EXPECT_NE(err.str().find("get f " + local + ": failed: stopped"), std::string::npos) << err.str();
    server.Finish();
    EXPECT_EQ(server.Commands().back(), "RETR f") << ::testing::PrintToString(server.Commands());
    std::remove(local.c_str());
}

TEST(CliObserver, KeepsOneLineReportsAndMasksPasswords) {
    std::ostringstream err;
    nsFtpCli::CReplyRecorder recorder(&err);
    recorder.OnErrorReport("The wait timed out.\r\n (Receive timeout error)", "ftp/FtpClient", 1251);
    EXPECT_EQ(err.str(), "! The wait timed out. (Receive timeout error) [ftp/FtpClient:1251]\n");
    EXPECT_EQ(recorder.LastError(), "The wait timed out. (Receive timeout error)");
    recorder.BeginCommand();
    EXPECT_EQ(recorder.LastError(), "");

    const char* const masks[][2] = {
        {"PASS secret", "PASS ****"}, {"PASS p@fp", "PASS ****"}, {"PASS", "PASS ****"},
        {"PASSWORD x", "PASSWORD x"}, {"USER me", "USER me"},
    };
    for (const auto& row : masks) EXPECT_EQ(nsFtpCli::CReplyRecorder::MaskedCommand(row[0]), row[1]);
}

TEST(ReplyFields, DirectoryOfA257Reply) {
    const char* const rows[][2] = {
        {"257 \"/\" is the current directory.", "/"}, {"257 \"/a \"\"b\"\"\" here", "/a \"b\""},
        {"257 \"/unterminated", "/unterminated"},     {"257 /plain", "/plain"},
        {"257-\"/multi\"\n257 end", "/multi"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(nsFTP::DirectoryOfReply(row[0]), row[1]);
    }
}

}  // namespace
