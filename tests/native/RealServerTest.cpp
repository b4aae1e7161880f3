// The client against a real FTP server (pyftpdlib or vsftpd), started by tests/integration/client-servers.sh,
// which names it in TOVALO_IT_* variables; without them every test here skips. Real servers answer an
// aborted or failed transfer with more than one reply: every later command must still read its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ftp/FtpClient.h"

using nsFTP::CFTPClient;
using nsFTP::CTransferType;

namespace {

struct CServer {
    std::string host;
    unsigned port = 0;
    std::string user;
    std::string password;
    std::string work;  // a local folder for the client's files
};

bool ServerFromEnvironment(CServer& server) {
    const char* host = std::getenv("TOVALO_IT_HOST");
    const char* port = std::getenv("TOVALO_IT_PORT");
    const char* user = std::getenv("TOVALO_IT_USER");
    const char* password = std::getenv("TOVALO_IT_PASS");
    const char* work = std::getenv("TOVALO_IT_WORK");
    if (!host || !port || !user || !password || !work) return false;
    server = {host, static_cast<unsigned>(std::strtoul(port, nullptr, 10)), user, password, work};
    return true;
}

// Asks for an abort from inside the transfer's first block, either way.
class CAbortOnFirstBlock : public CFTPClient::CNotifaction {
public:
    explicit CAbortOnFirstBlock(CFTPClient& client) : m_client(client) {}
    void OnDataSent(int) override { m_client.Abort(); }
    void OnDataReceived(int) override { m_client.Abort(); }

private:
    CFTPClient& m_client;
};

struct CFailedTransferRow {
    const char* label;
    std::function<bool(CFTPClient&, bool passive)> transfer;
    bool abort;
};

TEST(RealServer, AfterAnAbortedOrFailedTransferEveryCommandReadsItsOwnReply) {
    CServer server;
    if (!ServerFromEnvironment(server))
        GTEST_SKIP() << "no server named (tests/integration/client-servers.sh runs this)";
    const CTransferType image = CTransferType::Image();
    {
        // A file long enough that a transfer is still running when the abort goes out.
        std::ofstream big(server.work + "/big.bin", std::ios::binary);
        const std::string block(1 << 20, 'b');
        for (int i = 0; i < 32; ++i) big << block;
    }
    const std::vector<CFailedTransferRow> rows = {
        {"aborted upload",
         [&](CFTPClient& c, bool passive) {
             return c.UploadFile(server.work + "/big.bin", "up-aborted.bin", false, image, passive);
         },
         true},
        {"aborted download",
         [&](CFTPClient& c, bool passive) { return c.DownloadFile("big.bin", "/dev/null", image, passive); }, true},
        {"download into a full disk",
         [&](CFTPClient& c, bool passive) { return c.DownloadFile("big.bin", "/dev/full", image, passive); }, false},
    };
    for (const bool passive : {true, false}) {
        CFTPClient client(10, 65536, true);
        client.SetResume(false);
        ASSERT_TRUE(client.Logon(nsFTP::CLogonData(server.host, server.port, server.user, server.password, "")));
        // The downloads' file.
        ASSERT_TRUE(client.UploadFile(server.work + "/big.bin", "big.bin", false, image, passive));
        for (const CFailedTransferRow& row : rows) {
            SCOPED_TRACE(std::string(row.label) + (passive ? ", passive" : ", active"));
            CAbortOnFirstBlock aborter(client);
            if (row.abort) client.AddObserver(&aborter);
            tovalo_test::CRecordingObserver observer;
            client.AddObserver(&observer);
            const bool result = row.transfer(client, passive);
            client.RemoveObserver(&aborter);
            EXPECT_FALSE(result);
            // A refusal that a leftover 226 would have turned into success, then a command in step.
            EXPECT_EQ(client.Delete("no-such-file.bin"), 1) << ::testing::PrintToString(observer.replies);
            EXPECT_EQ(client.Noop(), 0);
            EXPECT_TRUE(client.IsConnected());
            client.RemoveObserver(&observer);
        }
        client.Delete("up-aborted.bin");
        client.Delete("big.bin");
        EXPECT_EQ(client.Quit(), 0);
    }
}

// Stores written block by block, as the control's upload sends them: each arrives whole, and the
// next command reads its own reply. With TOVALO_IT_TLS_PIN the server requires FTPS.
TEST(RealServer, BlockByBlockStoresArriveWhole) {
    CServer server;
    if (!ServerFromEnvironment(server))
        GTEST_SKIP() << "no server named (tests/integration/client-servers.sh runs this)";
    const char* pin = std::getenv("TOVALO_IT_TLS_PIN");
    const struct {
        const char* name;
        std::vector<std::size_t> blocks;
    } rows[] = {
        {"empty.bin", {}},
        {"one-byte.bin", {1}},
        {"growing.bin", {1024, 2048, 65536, 262144, 262144, 7}},
    };
    for (const bool passive : {true, false}) {
        CFTPClient client(10, 65536, true);
        if (pin) client.RequireTls(nsTls::CTlsPolicy{{}, nsTls::NormalizePin(pin), false});
        tovalo_test::CRecordingObserver observer;
        client.AddObserver(&observer);
        ASSERT_TRUE(client.Logon(nsFTP::CLogonData(server.host, server.port, server.user, server.password, "")))
            << ::testing::PrintToString(observer.replies) << " "
            << (observer.reports.empty() ? std::string() : observer.reports.back().message);
        EXPECT_EQ(client.IsSecure(), pin != nullptr);
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (passive ? ", passive" : ", active"));
            std::string sent;
            ASSERT_TRUE(client.BeginStore(row.name, passive));
            EXPECT_EQ(client.Noop(), -1);  // the store's final reply is owed
            for (std::size_t size : row.blocks) {
                const std::string block(size, static_cast<char>('a' + sent.size() % 26));
                ASSERT_TRUE(client.WriteStore(block.data(), block.size()));
                sent += block;
            }
            ASSERT_TRUE(client.FinishStore());
            std::int64_t size = -1;
            EXPECT_EQ(client.FileSize(row.name, size), 0);
            EXPECT_EQ(size, static_cast<std::int64_t>(sent.size()));
            const std::string back = server.work + "/back.bin";
            ASSERT_TRUE(client.DownloadFile(row.name, back, CTransferType::Image(), passive));
            std::ifstream in(back, std::ios::binary);
            const std::string arrived((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_TRUE(arrived == sent);
            EXPECT_EQ(client.Delete(row.name), 0);
        }
        EXPECT_EQ(client.Quit(), 0);
    }
}

}  // namespace
