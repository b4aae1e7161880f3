// Data connections against a scripted server: uploads, downloads, resume, listings, aborts and time-outs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ScriptedFtpServer.h"
#include "TestSupport.h"
#include "ftp/FtpClient.h"
#include "ftp/FtpReportSites.h"
#include "ftp/LocalData.h"

using nsFTP::CDataCommand;
using nsFTP::CFTPClient;
using nsFTP::CTransferType;
using tovalo_test::CRecordingObserver;
using tovalo_test::CScriptedFtpServer;
using tovalo_test::CScriptStep;
using tovalo_test::EData;
using tovalo_test::WriteTextFile;

namespace report = nsFTP::report;

namespace {

constexpr std::int64_t k5GiB = 5LL << 30;
const CTransferType kImage = CTransferType::Image();

std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return text;
}

std::optional<std::string> ReadFileIfAny(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A sparse file of `size` zero bytes followed by tail.
void WriteSparseFile(const std::string& path, std::int64_t size, const std::string& tail) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(fseeko(file, static_cast<off_t>(size), SEEK_SET), 0);
    std::fwrite(tail.data(), 1, tail.size(), file);
    std::fclose(file);
}

// The last `count` bytes of a file and its length, as "length:bytes".
std::string TailOf(const std::string& path, std::size_t count) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return "missing";
    fseeko(file, 0, SEEK_END);
    const std::int64_t length = ftello(file);
    fseeko(file, -static_cast<off_t>(count), SEEK_END);
    std::string tail(count, '\0');
    tail.resize(std::fread(tail.data(), 1, count, file));
    std::fclose(file);
    return std::to_string(length) + ":" + tail;
}

struct CDataOutcome;

using TAction = std::function<bool(CFTPClient&, const std::string& localPath, std::string& out)>;

struct CDataRow {
    const char* label;
    std::vector<CScriptStep> steps;
    TAction action;
    bool expectedResult;
    std::vector<std::string> expectedLines;
    std::optional<std::string> localBefore = std::nullopt;
    std::optional<std::string> expectedServerData = std::nullopt;
    std::optional<std::string> expectedLocalAfter = std::nullopt;
    std::vector<int> expectedReports = {};
    std::string expectedOut = {};
    std::function<void(const CDataOutcome&)> check = nullptr;
    std::string pasvHost = "127,0,0,1";
    unsigned timeout = 5;
    bool useStdio = true;
};

struct CDataOutcome {
    bool result = false;
    std::vector<std::string> lines;
    std::string serverData;
    std::optional<std::string> localAfter;
    std::string out;
    bool dataConnectionMade = false;
    std::vector<bool> heldClosed;
    std::uint16_t lastPortLinePort = 0;
    std::string intruderReceived;
    CRecordingObserver observer;
};

CDataOutcome RunDataRow(const CDataRow& row) {
    const std::string localPath = tovalo_test::UniqueTempPath("data");
    std::remove(localPath.c_str());
    if (row.localBefore) WriteTextFile(localPath, *row.localBefore);
    CScriptedFtpServer server({}, row.steps, row.pasvHost);
    CDataOutcome outcome;
    {
        CFTPClient client(row.timeout, 2048, row.useStdio);
        client.AddObserver(&outcome.observer);
        if (client.ConnectControl("127.0.0.1", server.Port()))
            outcome.result = row.action(client, localPath, outcome.out);
        client.RemoveObserver(&outcome.observer);
        client.DisconnectControl();
    }
    server.Finish();
    outcome.lines = server.Commands();
    outcome.serverData = server.DataReceived();
    outcome.dataConnectionMade = server.DataConnectionMade();
    outcome.heldClosed = server.HeldDataClosedAtCommand();
    outcome.lastPortLinePort = server.LastPortLinePort();
    outcome.intruderReceived = server.IntruderReceived();
    if (row.expectedLocalAfter) outcome.localAfter = ReadFileIfAny(localPath);  // never the sparse giants
    std::remove(localPath.c_str());
    // The local path differs from run to run: events show it as "*".
    for (std::string& event : outcome.observer.events)
        if (const std::size_t at = event.find(localPath); at != std::string::npos)
            event.replace(at, localPath.size(), "*");
    return outcome;
}

TAction Upload(bool passive, bool storeUnique = false) {
    return [=](CFTPClient& c, const std::string& local, std::string&) {
        return c.UploadFile(local, "up", storeUnique, kImage, passive);
    };
}

TAction Download(bool passive) {
    return [=](CFTPClient& c, const std::string& local, std::string&) {
        return c.DownloadFile("down", local, kImage, passive);
    };
}

// Calls Abort from inside the transfer's first block notification, either way.
class CAbortingObserver : public CFTPClient::CNotifaction {
public:
    explicit CAbortingObserver(CFTPClient& client) : m_client(client) {}
    void OnDataSent(int) override { abortResult = m_client.Abort(); }
    void OnDataReceived(int) override { abortResult = m_client.Abort(); }
    int abortResult = -2;

private:
    CFTPClient& m_client;
};

// Tries every kind of command from inside the first OnDataReceived and notes each result.
class CCommandingObserver : public CFTPClient::CNotifaction {
public:
    explicit CCommandingObserver(CFTPClient& client) : m_client(client) {}
    void OnDataReceived(int) override {
        if (!results.empty()) return;
        std::int64_t size = 0;
        std::string host;
        unsigned port = 0;
        std::vector<std::string> lines;
        const std::pair<const char*, std::function<int()>> calls[] = {
            {"NOOP", [&] { return m_client.Noop(); }},
            {"DELE", [&] { return m_client.Delete("f"); }},
            {"SIZE", [&] { return m_client.FileSize("f", size); }},
            {"PASV", [&] { return m_client.Passive(host, port); }},
            {"QUIT", [&] { return m_client.Quit(); }},
            {"LIST", [&] { return static_cast<int>(m_client.ListLines("", lines, true)); }},
            {"RETR", [&] { return static_cast<int>(m_client.DownloadFile("f", "/dev/null", kImage, true)); }},
            {"connect", [&] { return static_cast<int>(m_client.ConnectControl("127.0.0.1", 1)); }},
        };
        for (const auto& [name, call] : calls)
            results += std::string(results.empty() ? "" : ", ") + name + " " + std::to_string(call());
    }
    std::string results;

private:
    CFTPClient& m_client;
};

// Throws from every notification it can get.
class CThrowingObserver : public CFTPClient::CNotifaction {
public:
    void OnDataReceived(int) override { throw std::runtime_error("observer"); }
    void OnDownloadStart(const std::string&, const std::string&, std::int64_t) override { throw std::bad_alloc(); }
    void OnDownloadEnd(const std::string&, const std::string&, std::int64_t) override { throw 7; }
    void OnCommandSent(const std::string&) override { throw std::runtime_error("observer"); }
    void OnReplyLine(const std::string&) override { throw std::runtime_error("observer"); }
};

// About 65 MiB of listing lines: beyond what a listing gathered into a list may hold.
std::string BeyondTheListingBound() {
    const std::string line = "-rw-r--r--   1 user     group          100 Jan 29  2001 " + std::string(40, 'n') + "\r\n";
    std::string text;
    text.reserve(CFTPClient::kMaxListingBytes + (1u << 20));
    while (text.size() < CFTPClient::kMaxListingBytes + (1u << 20)) text += line;
    return text;
}

// Tries to start another data command from inside OnDataReceived.
class CReenteringObserver : public CFTPClient::CNotifaction {
public:
    explicit CReenteringObserver(CFTPClient& client) : m_client(client) {}
    void OnDataReceived(int) override {
        reentered = m_client.ListLines(
            "", [](std::string_view) {}, true);
        transferring = m_client.IsTransferring();
    }
    bool reentered = true;
    bool transferring = false;

private:
    CFTPClient& m_client;
};

TEST(DataTransfer, MovesFilesAndListingsOverDataConnections) {
    const std::string big = Pattern(3000);
    const std::string pasv = "227 Entering Passive Mode ({pasv})";
    const std::vector<CDataRow> rows = {
        {.label = "active upload: TYPE I before PORT, STOR when SIZE is refused",
         .steps = {"200 binary", "550 No such file", "200 port ok", {"150 go", EData::Receive, "", "226 done"}},
         .action = Upload(false),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE up", "PORT 127,0,0,1,*", "STOR up"},
         .localBefore = "hello world",
         .expectedServerData = "hello world",
         .check =
             [](const CDataOutcome& o) {
                 EXPECT_EQ(o.observer.sent, (std::vector<int>{11}));
                 EXPECT_EQ(o.observer.events, (std::vector<std::string>{"upload-start * up 11", "upload-end * up 11"}));
             }},
        {.label = "second upload in the same type sends no TYPE",
         .steps = {"200 binary",
                   "550 no",
                   pasv,
                   {"150 go", EData::Receive, "", "226 done"},
                   "550 no",
                   pasv,
                   {"150 go", EData::Receive, "", "226 done"}},
         .action =
             [](CFTPClient& c, const std::string& local, std::string&) {
                 return c.UploadFile(local, "up", false, kImage, true) &&
                        c.UploadFile(local, "up", false, kImage, true);
             },
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE up", "PASV", "STOR up", "SIZE up", "PASV", "STOR up"},
         .localBefore = "ab",
         .expectedServerData = "abab"},
        {.label = "upload resumes with APPE from the remote size",
         .steps = {"200 binary", "213 1000", pasv, {"150 go", EData::Receive, "", "226 done"}},
         .action = Upload(true),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE up", "PASV", "APPE up"},
         .localBefore = big,
         .expectedServerData = big.substr(1000)},
        {.label = "upload resume with file streams",
         .steps = {"200 binary", "213 2999", pasv, {"150 go", EData::Receive, "", "226 done"}},
         .action = Upload(true),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE up", "PASV", "APPE up"},
         .localBefore = big,
         .expectedServerData = big.substr(2999),
         .useStdio = false},
        {.label = "a refused SIZE never gives a resume offset",
         .steps = {"200 binary", "550 1000 bytes? no such file", pasv, {"150 go", EData::Receive, "", "226 done"}},
         .action = Upload(true),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE up", "PASV", "STOR up"},
         .localBefore = big,
         .expectedServerData = big},
        {.label = "store unique never appends to an existing file",
         .steps = {"200 binary", pasv, {"150 FILE: up.1", EData::Receive, "", "226 done"}},
         .action = Upload(true, true),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "PASV", "STOU up"},
         .localBefore = "x",
         .expectedServerData = "x"},
        {.label = "upload of an empty file sends no block",
         .steps = {"200 binary", "550 no", pasv, {"150 go", EData::Receive, "", "226 done"}},
         .action = Upload(true),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE up", "PASV", "STOR up"},
         .localBefore = "",
         .expectedServerData = "",
         .check = [](const CDataOutcome& o) { EXPECT_TRUE(o.observer.sent.empty()); }},
        {.label = "download restarts at the local length and appends",
         .steps = {"200 binary", "213 20", pasv, "350 restarting", {"150 go", EData::Send, "abcdefghij", "226 done"}},
         .action = Download(true),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "REST 10", "RETR down"},
         .localBefore = "0123456789",
         .expectedLocalAfter = "0123456789abcdefghij",
         .check =
             [](const CDataOutcome& o) {
                 EXPECT_EQ(o.observer.received, (std::vector<int>{10}));
                 EXPECT_EQ(o.observer.events,
                           (std::vector<std::string>{"download-start down * 20", "download-end down * 20"}));
             }},
        {.label = "download restart with file streams",
         .steps = {"200 binary",
                   "213 20",
                   "200 port ok",
                   "350 restarting",
                   {"150 go", EData::Send, "abcdefghij", "226 done"}},
         .action = Download(false),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE down", "PORT 127,0,0,1,*", "REST 10", "RETR down"},
         .localBefore = "0123456789",
         .expectedLocalAfter = "0123456789abcdefghij",
         .useStdio = false},
        {.label = "download without resume replaces the local file",
         .steps = {"200 binary", "213 3", pasv, {"150 go", EData::Send, "new", "226 done"}},
         .action =
             [](CFTPClient& c, const std::string& local, std::string&) {
                 c.SetResume(false);
                 return c.DownloadFile("down", local, kImage, true);
             },
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down"},
         .localBefore = "older content",
         .expectedLocalAfter = "new"},
        {.label = "REST refused ends the download",
         .steps = {"200 binary", "213 20", pasv, "502 no restart"},
         .action = Download(true),
         .expectedResult = false,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "REST 3"},
         .localBefore = "abc",
         .expectedLocalAfter = "abc"},
        {.label = "passive data command answered 550",
         .steps = {"200 binary", "550 no", pasv, "550 No such file"},
         .action = Download(true),
         .expectedResult = false,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down"},
         .expectedLocalAfter = ""},
        {.label = "a remote file longer than the local one is replaced, not appended to",
         .steps = {"200 binary", "213 5000", pasv, {"150 go", EData::Receive, "", "226 done"}},
         .action = Upload(true),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE up", "PASV", "STOR up"},
         .localBefore = big,
         .expectedServerData = big},
        {.label = "a local file longer than the remote one is downloaded afresh",
         .steps = {"200 binary", "213 5", pasv, {"150 go", EData::Send, "hello", "226 done"}},
         .action = Download(true),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down"},
         .localBefore = "0123456789abcdef",
         .expectedLocalAfter = "hello"},
        {.label = "a local file as long as the remote one restarts at its end",
         .steps = {"200 binary", "213 5", pasv, "350 restarting", {"150 go", EData::Send, "", "226 done"}},
         .action = Download(true),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "REST 5", "RETR down"},
         .localBefore = "hello",
         .expectedLocalAfter = "hello"},
        {.label = "active data command answered 550 closes the listener",
         .steps = {"200 binary", "550 no", "200 port ok", "550 No such file"},
         .action = Download(false),
         .expectedResult = false,
         .expectedLines = {"TYPE I", "SIZE down", "PORT 127,0,0,1,*", "RETR down"},
         .check =
             [](const CDataOutcome& o) {
                 // The port can be bound again only once the client's listener is gone. (A connect probe
                 // would be racy: on loopback it can connect to itself when the kernel picks that port.)
                 nsSocket::CBlockingSocket probe;
                 probe.Create();
                 EXPECT_NO_THROW(probe.Bind(nsSocket::CSocketAddress("127.0.0.1", o.lastPortLinePort)));
                 probe.CloseQuietly();
             }},
        {.label = "ABOR from inside OnDataSent stops after the first block; both its replies are read",
         .steps = {"200 binary",
                   "550 no",
                   pasv,
                   {"150 go", EData::Hold},
                   "426 aborted\r\n{pause}226 ABOR successful",
                   "550 No such file"},
         .action =
             [](CFTPClient& c, const std::string& local, std::string& out) {
                 CAbortingObserver aborter(c);
                 c.AddObserver(&aborter);
                 const bool result = c.UploadFile(local, "up", false, kImage, true);
                 c.RemoveObserver(&aborter);
                 out = std::to_string(aborter.abortResult) + (c.IsTransferring() ? " transferring" : " idle");
                 // The refusal must be seen, not the ABOR's leftover 226.
                 out += ", DELE " + std::to_string(c.Delete("gone"));
                 return result;
             },
         .expectedResult = false,
         .expectedLines = {"TYPE I", "SIZE up", "PASV", "STOR up", "ABOR", "DELE gone"},
         .localBefore = big,
         .expectedServerData = big.substr(0, 2048),
         .expectedOut = "0 idle, DELE 1",
         .check =
             [](const CDataOutcome& o) {
                 EXPECT_EQ(o.observer.sent, (std::vector<int>{2048}));
                 // The data connection was closed before ABOR went out: a server that reads no command
                 // during a transfer sees the abort all the same.
                 EXPECT_EQ(o.heldClosed, (std::vector<bool>{true, true}));
             }},
        {.label = "a data command cannot start while a transfer runs",
         .steps = {"200 binary", "213 1", pasv, {"150 go", EData::Send, "x", "226 done"}},
         .action =
             [](CFTPClient& c, const std::string& local, std::string& out) {
                 CReenteringObserver reenter(c);
                 c.AddObserver(&reenter);
                 const bool result = c.DownloadFile("down", local, kImage, true);
                 c.RemoveObserver(&reenter);
                 out = std::string(reenter.reentered ? "reentered" : "refused") +
                       (reenter.transferring ? " transferring" : "");
                 return result;
             },
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down"},
         .expectedLocalAfter = "x",
         .expectedOut = "refused transferring"},
        {.label = "a silent data connection times out at the receive site, saying so",
         .steps = {"200 binary", "213 5", pasv, {"150 go", EData::Hold}},
         .action = Download(true),
         .expectedResult = false,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down"},
         .expectedReports = {report::kReceiveData},
         .check =
             [](const CDataOutcome& o) {
                 ASSERT_EQ(o.observer.reports.size(), 1u);
                 EXPECT_EQ(o.observer.reports[0].message, "no answer within 1 s (Receive timeout error)");
             },
         .timeout = 1},
        {.label = "active mode: a server that never connects times out at the active site",
         .steps = {"200 binary", "213 5", "200 port ok", "150 go"},
         .action = Download(false),
         .expectedResult = false,
         .expectedLines = {"TYPE I", "SIZE down", "PORT 127,0,0,1,*", "RETR down"},
         .expectedReports = {report::kOpenActiveData},
         .timeout = 1},
        {.label = "passive reply naming another host still connects to the control peer",
         .steps = {"200 binary", "213 5", pasv, {"150 go", EData::Send, "hello", "226 done"}},
         .action = Download(true),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down"},
         .expectedLocalAfter = "hello",
         .check = [](const CDataOutcome& o) { EXPECT_TRUE(o.dataConnectionMade); },
         // Another loopback address: a client that followed it would fail, and never leave this machine.
         .pasvHost = "127,9,9,9"},
        {.label = "upload resume beyond 4 GiB",
         .steps = {"200 binary", "213 5368709120", pasv, {"150 go", EData::Receive, "", "226 done"}},
         .action =
             [](CFTPClient& c, const std::string& local, std::string&) {
                 WriteSparseFile(local, k5GiB, "xyz");
                 return c.UploadFile(local, "up", false, kImage, true);
             },
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE up", "PASV", "APPE up"},
         .expectedServerData = "xyz",
         .check =
             [](const CDataOutcome& o) {
                 EXPECT_EQ(o.observer.events,
                           (std::vector<std::string>{"upload-start * up 5368709123", "upload-end * up 5368709123"}));
             }},
        {.label = "download restart beyond 4 GiB",
         .steps = {"200 binary", "213 5368709123", pasv, "350 restarting", {"150 go", EData::Send, "end", "226 ok"}},
         .action =
             [](CFTPClient& c, const std::string& local, std::string& out) {
                 WriteSparseFile(local, k5GiB - 1, "!");
                 const bool result = c.DownloadFile("down", local, kImage, true);
                 out = TailOf(local, 4);
                 return result;
             },
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "REST 5368709120", "RETR down"},
         .expectedOut = "5368709123:!end"},
        {.label = "listing lines end in CR LF; a last line without a line end still counts",
         .steps = {pasv, {"150 list", EData::Send, "a\r\nb b\r\nc", "226 done"}},
         .action =
             [](CFTPClient& c, const std::string&, std::string& out) {
                 std::vector<std::string> lines = {"stale"};
                 const bool result = c.ListLines("", lines, true);
                 for (const std::string& line : lines) out += "[" + line + "]";
                 return result;
             },
         .expectedResult = true,
         .expectedLines = {"PASV", "LIST"},
         .expectedOut = "[a][b b][c]"},
        {.label = "listing lines may end in a bare line feed",
         .steps = {"200 port ok", {"150 list", EData::Send, "a\nb\r\n\nc\rd\n", "226 done"}},
         .action =
             [](CFTPClient& c, const std::string&, std::string& out) {
                 std::vector<std::string> lines = {"stale"};
                 const bool result = c.NameLines("sub dir", lines, false);
                 for (const std::string& line : lines) out += "[" + line + "]";
                 return result;
             },
         .expectedResult = true,
         .expectedLines = {"PORT 127,0,0,1,*", "NLST sub dir"},
         .expectedOut = "[a][b][][c\rd]"},
        {.label = "a failed listing leaves the list as it was",
         .steps = {pasv, "550 no"},
         .action =
             [](CFTPClient& c, const std::string&, std::string& out) {
                 std::vector<std::string> lines = {"stale"};
                 const bool result = c.ListLines("x", lines, true);
                 out = lines.front();
                 return result;
             },
         .expectedResult = false,
         .expectedLines = {"PASV", "LIST x"},
         .expectedOut = "stale"},
        {.label = "entries: LIST of the folder, parsed lines kept",
         .steps = {"200 binary",
                   "550 no",
                   pasv,
                   {"150 go", EData::Send, "z", "226 done"},
                   "200 ascii",
                   pasv,
                   {"150 list", EData::Send,
                    "-rw-r--r--   1 root     other     5368709120 Jan 29  2001 README\r\nnot a listing line\r\n"
                    "drwxr-xr-x   2 root     other        512 Apr  8  1994 etc\r\n",
                    "226 done"}},
         .action =
             [](CFTPClient& c, const std::string& local, std::string& out) {
                 CFTPClient::TFileStatusVector entries;
                 const bool result = c.DownloadFile("down", local, kImage, true) && c.ListEntries("dir", entries, true);
                 for (const auto& entry : entries)
                     out += "[" + std::string(entry->Name()) + " " + std::to_string(entry->Size()) + "]";
                 return result;
             },
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down", "TYPE A N", "PASV", "LIST dir/"},
         .expectedOut = "[README 5368709120][etc 512]"},
        {.label = "a full disk fails the download at the receive site; its final reply is consumed",
         .steps = {"200 binary",
                   "213 100000",
                   pasv,
                   {"150 go", EData::Send, std::string(100000, 'x'), "226 done"},
                   "550 No such file"},
         .action =
             [](CFTPClient& c, const std::string&, std::string& out) {
                 const bool result = c.DownloadFile("down", "/dev/full", kImage, true);
                 out = "DELE " + std::to_string(c.Delete("gone"));
                 return result;
             },
         .expectedResult = false,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down", "DELE gone"},
         .expectedReports = {report::kReceiveData},
         .expectedOut = "DELE 1"},
        {.label = "ABOR of an active download reads the transfer's end and the ABOR's reply",
         .steps = {"200 binary",
                   "213 100000",
                   "200 port ok",
                   {"150 go", EData::Hold, std::string(5000, 'y')},
                   "426 aborted\r\n226 ABOR successful",
                   "550 No such file"},
         .action =
             [](CFTPClient& c, const std::string& local, std::string& out) {
                 CAbortingObserver aborter(c);
                 c.AddObserver(&aborter);
                 const bool result = c.DownloadFile("down", local, kImage, false);
                 c.RemoveObserver(&aborter);
                 out = "DELE " + std::to_string(c.Delete("gone"));
                 return result;
             },
         .expectedResult = false,
         .expectedLines = {"TYPE I", "SIZE down", "PORT 127,0,0,1,*", "RETR down", "ABOR", "DELE gone"},
         .expectedOut = "DELE 1"},
        {.label = "ABOR answered 225 alone (nothing left to abort) waits for nothing more",
         .steps = {"200 binary",
                   "213 100000",
                   pasv,
                   {"150 go", EData::Hold, std::string(5000, 'y')},
                   "225 No transfer to abort",
                   "550 No such file"},
         .action =
             [](CFTPClient& c, const std::string& local, std::string& out) {
                 CAbortingObserver aborter(c);
                 c.AddObserver(&aborter);
                 const bool result = c.DownloadFile("down", local, kImage, true);
                 c.RemoveObserver(&aborter);
                 out = "DELE " + std::to_string(c.Delete("gone"));
                 return result;
             },
         .expectedResult = false,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down", "ABOR", "DELE gone"},
         .expectedOut = "DELE 1"},
        {.label = "active download: a data connection from another host is closed unheard",
         .steps = {"200 binary", "213 5", "200 port ok", {"150 go", EData::IntruderThenSend, "hello", "226 done"}},
         .action = Download(false),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE down", "PORT 127,0,0,1,*", "RETR down"},
         .expectedLocalAfter = "hello"},
        {.label = "active upload: a data connection from another host gets no byte",
         .steps = {"200 binary", "550 no", "200 port ok", {"150 go", EData::IntruderThenReceive, "", "226 done"}},
         .action = Upload(false),
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE up", "PORT 127,0,0,1,*", "STOR up"},
         .localBefore = "secret",
         .expectedServerData = "secret",
         .check = [](const CDataOutcome& o) { EXPECT_EQ(o.intruderReceived, ""); }},
        {.label = "commands from an observer during a transfer are refused and send nothing",
         .steps = {"200 binary", "213 5", pasv, {"150 go", EData::Send, "hello", "226 done"}},
         .action =
             [](CFTPClient& c, const std::string& local, std::string& out) {
                 CCommandingObserver commander(c);
                 c.AddObserver(&commander);
                 const bool result = c.DownloadFile("down", local, kImage, true);
                 c.RemoveObserver(&commander);
                 out = commander.results;
                 return result;
             },
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down"},
         .expectedLocalAfter = "hello",
         .expectedOut = "NOOP -1, DELE -1, SIZE -1, PASV -1, QUIT -1, LIST 0, RETR 0, connect 0"},
        {.label = "observers that throw change nothing",
         .steps = {"200 binary", "213 5", pasv, {"150 go", EData::Send, "hello", "226 done"}},
         .action =
             [](CFTPClient& c, const std::string& local, std::string&) {
                 CThrowingObserver thrower;
                 c.AddObserver(&thrower);
                 const bool result = c.DownloadFile("down", local, kImage, true);
                 c.RemoveObserver(&thrower);
                 return result;
             },
         .expectedResult = true,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down"},
         .expectedLocalAfter = "hello"},
        {.label = "silence after 150 costs one time-out: the control connection goes, QUIT waits for nothing",
         .steps = {"200 binary", "213 5", pasv, {"150 go", EData::Hold}, ""},
         .action =
             [](CFTPClient& c, const std::string& local, std::string& out) {
                 const bool result = c.DownloadFile("down", local, kImage, true);
                 out = std::to_string(c.Quit()) + (c.IsConnected() ? " connected" : " disconnected");
                 return result;
             },
         .expectedResult = false,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down"},
         .expectedReports = {report::kReceiveData},
         .expectedOut = "-1 disconnected",
         .timeout = 1},
        {.label = "a binary download shorter than the announced size fails and keeps what came",
         .steps = {"200 binary", "213 4194304", pasv, {"150 go", EData::Send, "hello", "226 done"}},
         .action = Download(true),
         .expectedResult = false,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down"},
         .expectedLocalAfter = "hello",
         .expectedReports = {report::kReceiveData},
         .check =
             [](const CDataOutcome& o) {
                 ASSERT_EQ(o.observer.reports.size(), 1u);
                 EXPECT_EQ(o.observer.reports[0].message, "received 5 bytes where the server announced 4194304");
             }},
        {.label = "a binary download longer than the announced size fails",
         .steps = {"200 binary", "213 3", pasv, {"150 go", EData::Send, "hello", "226 done"}},
         .action = Download(true),
         .expectedResult = false,
         .expectedLines = {"TYPE I", "SIZE down", "PASV", "RETR down"},
         .expectedLocalAfter = "hello",
         .expectedReports = {report::kReceiveData}},
        {.label = "in ASCII type the announced size need not match",
         .steps = {"213 9", pasv, {"150 go", EData::Send, "a\nb\n", "226 done"}},
         .action = [](CFTPClient& c, const std::string& local,
                      std::string&) { return c.DownloadFile("down", local, CTransferType::ASCII(), true); },
         .expectedResult = true,
         .expectedLines = {"SIZE down", "PASV", "RETR down"},
         .expectedLocalAfter = "a\nb\n"},
        {.label = "a listing beyond its bound fails at the receive site and leaves the list as it was",
         .steps = {pasv, {"150 list", EData::Send, BeyondTheListingBound(), "226 done"}, "550 No such file"},
         .action =
             [](CFTPClient& c, const std::string&, std::string& out) {
                 std::vector<std::string> lines = {"stale"};
                 const bool result = c.ListLines("", lines, true);
                 out =
                     lines.front() + " " + std::to_string(lines.size()) + ", DELE " + std::to_string(c.Delete("gone"));
                 return result;
             },
         .expectedResult = false,
         .expectedLines = {"PASV", "LIST", "DELE gone"},
         .expectedReports = {report::kReceiveData},
         .expectedOut = "stale 1, DELE 1",
         .check =
             [](const CDataOutcome& o) {
                 ASSERT_EQ(o.observer.reports.size(), 1u);
                 EXPECT_EQ(o.observer.reports[0].message, "a listing larger than 64 MiB");
             }},
        {.label = "a streamed listing hands on lines as they come; a line that never ends fails beyond 1 MiB",
         .steps = {pasv, {"150 list", EData::Send, "a\r\nb\n" + std::string(std::size_t{3} << 20, 'z'), "226 done"}},
         .action =
             [](CFTPClient& c, const std::string&, std::string& out) {
                 return c.ListLines(
                     "", [&out](std::string_view line) { out += "[" + std::string(line) + "]"; }, true);
             },
         .expectedResult = false,
         .expectedLines = {"PASV", "LIST"},
         .expectedReports = {report::kReceiveData},
         .expectedOut = "[a][b]"},
        {.label = "a line handler that throws fails the listing, not the client",
         .steps = {pasv, {"150 list", EData::Send, "a\r\nb\r\n", "226 done"}, "550 No such file"},
         .action =
             [](CFTPClient& c, const std::string&, std::string& out) {
                 const bool result = c.NameLines(
                     "", [](std::string_view) { throw std::bad_alloc(); }, true);
                 out = "DELE " + std::to_string(c.Delete("gone"));
                 return result;
             },
         .expectedResult = false,
         .expectedLines = {"PASV", "NLST", "DELE gone"},
         .expectedReports = {report::kReceiveData},
         .expectedOut = "DELE 1"},
        {.label = "missing local file, buffered file functions",
         .steps = {},
         .action = [](CFTPClient& c, const std::string& local,
                      std::string&) { return c.UploadFile(local + "/none", "up", false, kImage, true); },
         .expectedResult = false,
         .expectedLines = {},
         .expectedReports = {report::kUploadStdioOpen}},
        {.label = "missing local file, file streams",
         .steps = {},
         .action = [](CFTPClient& c, const std::string& local,
                      std::string&) { return c.UploadFile(local + "/none", "up", false, kImage, true); },
         .expectedResult = false,
         .expectedLines = {},
         .expectedReports = {report::kUploadStreamOpen},
         .useStdio = false},
        {.label = "local file that cannot be written, buffered file functions",
         .steps = {},
         .action = [](CFTPClient& c, const std::string& local,
                      std::string&) { return c.DownloadFile("down", local + "/none/x", kImage, true); },
         .expectedResult = false,
         .expectedLines = {},
         .expectedReports = {report::kDownloadStdioOpen}},
        {.label = "local file that cannot be written, file streams",
         .steps = {},
         .action = [](CFTPClient& c, const std::string& local,
                      std::string&) { return c.DownloadFile("down", local + "/none/x", kImage, true); },
         .expectedResult = false,
         .expectedLines = {},
         .expectedReports = {report::kDownloadStreamOpen},
         .useStdio = false},
    };
    const auto outcomes = tovalo_test::RunConcurrently(rows, RunDataRow);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CDataRow& row = rows[i];
        const CDataOutcome& outcome = outcomes[i];
        SCOPED_TRACE(row.label);
        EXPECT_EQ(outcome.result, row.expectedResult);
        // PORT lines carry a port the system chose: the rows give their fixed start and "*".
        EXPECT_EQ(outcome.lines.size(), row.expectedLines.size()) << ::testing::PrintToString(outcome.lines);
        for (std::size_t line = 0; line < std::min(row.expectedLines.size(), outcome.lines.size()); ++line) {
            const std::string& expected = row.expectedLines[line];
            const bool wildcard = !expected.empty() && expected.back() == '*';
            const std::string got = wildcard ? outcome.lines[line].substr(0, expected.size() - 1) : outcome.lines[line];
            EXPECT_EQ(got, wildcard ? expected.substr(0, expected.size() - 1) : expected);
        }
        if (row.expectedServerData) {
            EXPECT_EQ(outcome.serverData, *row.expectedServerData);
        }
        if (row.expectedLocalAfter) {
            EXPECT_EQ(outcome.localAfter, row.expectedLocalAfter);
        }
        EXPECT_EQ(outcome.observer.ReportLines(), row.expectedReports);
        EXPECT_EQ(outcome.out, row.expectedOut);
        if (row.check) row.check(outcome);
    }
}

TEST(DataTransfer, DataCommandLines) {
    const struct {
        CDataCommand command;
        const char* path;
        const char* line;
    } rows[] = {
        {CDataCommand::List, "", "LIST"},           {CDataCommand::List, "/d", "LIST /d"},
        {CDataCommand::NameList, "", "NLST"},       {CDataCommand::NameList, "x", "NLST x"},
        {CDataCommand::Retrieve, "f", "RETR f"},    {CDataCommand::Store, "f", "STOR f"},
        {CDataCommand::StoreUnique, "f", "STOU f"}, {CDataCommand::Append, "f", "APPE f"},
        {CDataCommand::Retrieve, "", "RETR "},      {static_cast<CDataCommand>(6), "f", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(CFTPClient::DataCommandLine(row.command, row.path), row.line);
    }
}

}  // namespace
