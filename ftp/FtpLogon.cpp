// Logon: a fixed command sequence per firewall method, walked by reply class.
#include <cstdint>
#include <string>

#include "ftp/FtpClient.h"
#include "ftp/FtpReportSites.h"
#include "ftp/NoThrow.h"

namespace nsFTP {
namespace {

// The lines a logon can send, numbered as in the sequence table.
enum ELogonCommand : std::int32_t {
    USER_REMOTE = 0,                 // USER user
    PASS_REMOTE = 1,                 // PASS password
    ACCT_REMOTE = 2,                 // ACCT account
    USER_FW = 3,                     // USER firewall user
    PASS_FW = 4,                     // PASS firewall password
    SITE_HOST = 5,                   // SITE host
    USER_REMOTE_AT_HOST = 6,         // USER user@host
    OPEN_HOST = 7,                   // OPEN host
    USER_FW_AT_HOST = 8,             // USER firewall user@host
    USER_REMOTE_AT_HOST_FW = 9,      // USER user@host firewall user
    USER_REMOTE_AT_FW_AT_HOST = 10,  // USER user@firewall user@host
    PASS_REMOTE_AT_FW = 11,          // PASS password@firewall password
};

constexpr std::int32_t kDone = -2;
constexpr std::int32_t kFail = -1;
constexpr int kSteps = 18;

// One row per firewall mode: triples of (command, next step after class 2, next step after class 3),
// steps numbered 0, 3, 6, ... as indexes into the row.
constexpr std::int32_t kLogonSequences[CFirewallMode::kCount][kSteps] = {
    // 0 no firewall
    {USER_REMOTE, kDone, 3, PASS_REMOTE, kDone, 6, ACCT_REMOTE, kDone, kFail, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    // 1 SITE hostname
    {USER_FW, 6, 3, PASS_FW, 6, kFail, SITE_HOST, kFail, 9, USER_REMOTE, kDone, 12, PASS_REMOTE, kDone, 15, ACCT_REMOTE,
     kDone, kFail},
    // 2 USER after logon
    {USER_FW, 6, 3, PASS_FW, 6, kFail, USER_REMOTE_AT_HOST, kDone, 9, PASS_REMOTE, kDone, 12, ACCT_REMOTE, kDone, kFail,
     0, 0, 0},
    // 3 proxy OPEN
    {OPEN_HOST, 3, 3, USER_REMOTE, kDone, 6, PASS_REMOTE, kDone, 9, ACCT_REMOTE, kDone, kFail, 0, 0, 0, 0, 0, 0},
    // 4 Transparent
    {USER_FW, 6, 3, PASS_FW, 6, kFail, USER_REMOTE, kDone, 9, PASS_REMOTE, kDone, 12, ACCT_REMOTE, kDone, kFail, 0, 0,
     0},
    // 5 USER with no logon
    {USER_REMOTE_AT_HOST, kDone, 3, PASS_REMOTE, kDone, 6, ACCT_REMOTE, kDone, kFail, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    // 6 USER fireID@remotehost
    {USER_FW_AT_HOST, 6, 3, PASS_FW, 6, kFail, USER_REMOTE, kDone, 9, PASS_REMOTE, kDone, 12, ACCT_REMOTE, kDone, kFail,
     0, 0, 0},
    // 7 USER remoteID@remotehost fireID
    {USER_REMOTE_AT_HOST_FW, kFail, 3, PASS_REMOTE, kDone, 6, ACCT_REMOTE, kDone, kFail, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    // 8 USER remoteID@fireID@remotehost
    {USER_REMOTE_AT_FW_AT_HOST, kDone, 3, PASS_REMOTE_AT_FW, kDone, 6, ACCT_REMOTE, kDone, kFail, 0, 0, 0, 0, 0, 0, 0,
     0, 0},
};

// The remote server as the firewall is told about it: host, and ":port" unless the port is 21.
std::string HostText(const CLogonData& logon) {
    if (logon.Port() == 21) return logon.Hostname();
    return logon.Hostname() + ":" + std::to_string(logon.Port());
}

std::string LogonCommandLine(std::int32_t command, const CLogonData& logon, const std::string& host) {
    switch (command) {
    case USER_REMOTE:
        return "USER " + logon.Username();
    case PASS_REMOTE:
        return "PASS " + logon.Password();
    case ACCT_REMOTE:
        return "ACCT " + logon.Account();
    case USER_FW:
        return "USER " + logon.FwUsername();
    case PASS_FW:
        return "PASS " + logon.FwPassword();
    case SITE_HOST:
        return "SITE " + host;
    case USER_REMOTE_AT_HOST:
        return "USER " + logon.Username() + "@" + host;
    case OPEN_HOST:
        return "OPEN " + host;
    case USER_FW_AT_HOST:
        return "USER " + logon.FwUsername() + "@" + host;
    case USER_REMOTE_AT_HOST_FW:
        return "USER " + logon.Username() + "@" + host + " " + logon.FwUsername();
    case USER_REMOTE_AT_FW_AT_HOST:
        return "USER " + logon.Username() + "@" + logon.FwUsername() + "@" + host;
    case PASS_REMOTE_AT_FW:
        return "PASS " + logon.Password() + "@" + logon.FwPassword();
    default:
        return {};
    }
}

}  // namespace

bool CFTPClient::Logon(const CLogonData& logonData) {
    return NoThrow(false, [&] { return LogonSteps(logonData); });
}

bool CFTPClient::SecureControl(const std::string& host) {
    std::string reply;
    int replyClass = -1;
    // A server that will not speak TLS gets nothing of the account: the session ends here.
    if (!Exchange("AUTH TLS", reply, replyClass)) return false;
    if (replyClass != 2) {
        m_tlsRefused = true;
        NotifyError(report::kTlsRefusedMessage + reply, report::kSource, report::kSecureControl);
        DropControl();
        return false;
    }
    // Nothing sent in clear after AUTH may be taken as part of the secure stream.
    m_qReplyLines.clear();
    nsTls::CTlsPolicy policy = *m_tlsPolicy;
    if (policy.hostName.empty()) policy.hostName = host;
    try {
        m_controlTls = nsTls::CTlsConnection::Start(m_ControlSocket, policy, nullptr, m_uiTimeout);
        m_tlsPolicy = policy;
        return true;
    } catch (const nsSocket::CBlockingSocketException& exception) {
        // A stop during the handshake is no judgement of the server's TLS.
        m_tlsRefused = !exception.IsCancelled();
        ReportException(exception, report::kSecureControl);
    }
    DropControl();
    return false;
}

bool CFTPClient::ProtectData() {
    if (!m_controlTls) return true;
    // RFC 4217: no buffer size over TLS, and every data connection protected.
    return ExchangeOutcome("PBSZ 0") == 0 && ExchangeOutcome("PROT P") == 0;
}

bool CFTPClient::LogonSteps(const CLogonData& logonData) {
    m_LastLogon = logonData;
    m_tlsRefused = false;
    const std::int32_t mode = logonData.FwType().AsInt();
    if (mode < 0 || mode >= CFirewallMode::kCount) return false;  // no sequence exists for it
    const bool direct = mode == CFirewallMode::NoFirewall;
    const std::string& target = direct ? logonData.Hostname() : logonData.FwHost();
    const unsigned targetPort = direct ? logonData.Port() : logonData.FwPort();
    const std::string host = HostText(logonData);

    if (IsConnected()) Quit();
    if (!ConnectControl(target, targetPort)) return false;

    int replyClass = -1;
    if (!ReadReply(replyClass) || replyClass != 2) return false;
    if (m_tlsPolicy && !SecureControl(target)) return false;

    const std::int32_t* sequence = kLogonSequences[mode];
    std::int32_t step = 0;
    for (;;) {
        std::string reply;
        if (!Exchange(LogonCommandLine(sequence[step], logonData, host), reply, replyClass)) return false;
        if (replyClass != 2 && replyClass != 3) return false;
        step = sequence[step + replyClass - 1];
        if (step == kDone) return ProtectData() && ChangeDirectory("/") == 0;
        if (step == kFail) {
            NotifyError(report::kLogonFailedMessage, report::kSource, report::kLogonFailed);
            return false;
        }
    }
}

}  // namespace nsFTP
