// Small value types of the FTP client: representation type, data command, firewall mode, logon record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nsFTP {

// The representation type given to transfers and to TYPE.
class CTransferType {
public:
    enum EType : std::int32_t {
        tyASCII = 0,
        tyEBCDIC = 1,
        tyImage = 2,
        tyLocalByte = 3,
    };
    // Format control of ASCII and EBCDIC.
    enum EFormat : std::int32_t {
        tfNonPrint = 0,
        tfTelnet = 1,
        tfCarriageControl = 2,
    };

    constexpr CTransferType() noexcept = default;
    // second: the format control for ASCII and EBCDIC, the byte size for local byte size, unused for image.
    constexpr CTransferType(std::int32_t type, std::int32_t second) noexcept : m_nType(type), m_nSecond(second) {}

    constexpr std::int32_t Type() const noexcept { return m_nType; }
    constexpr std::int32_t Second() const noexcept { return m_nSecond; }
    constexpr bool operator==(const CTransferType&) const noexcept = default;

    static constexpr CTransferType ASCII() noexcept { return {tyASCII, tfNonPrint}; }
    static constexpr CTransferType Image() noexcept { return {tyImage, 0}; }

private:
    std::int32_t m_nType = tyASCII;
    std::int32_t m_nSecond = tfNonPrint;
};

// The six commands that move bytes over a data connection.
enum class CDataCommand : std::int32_t {
    List = 0,         // LIST, server to client
    NameList = 1,     // NLST, server to client
    Retrieve = 2,     // RETR, server to client
    Store = 3,        // STOR, client to server
    StoreUnique = 4,  // STOU, client to server
    Append = 5,       // APPE, client to server
};

// How the client reaches the server: directly or through one of eight kinds of FTP firewall.
class CFirewallMode {
public:
    enum EMode : std::int32_t {
        NoFirewall = 0,
        SiteHostname = 1,
        UserAfterLogon = 2,
        ProxyOpen = 3,
        Transparent = 4,
        UserWithNoLogon = 5,
        UserFireIDatRemotehost = 6,
        UserRemoteIDatRemotehostFireID = 7,
        UserRemoteIDatFireIDatRemotehost = 8,
    };
    static constexpr std::int32_t kCount = 9;

    constexpr CFirewallMode() noexcept = default;
    constexpr CFirewallMode(std::int32_t mode) noexcept : m_nMode(mode) {}  // NOLINT: a mode is its number

    constexpr std::int32_t AsInt() const noexcept { return m_nMode; }
    constexpr bool operator==(const CFirewallMode&) const noexcept = default;

    // "SITE hostname" and the like; empty for a value outside 0..8.
    std::string AsDisplayString() const;
    // "SITE_HOSTNAME" and the like; empty for a value outside 0..8.
    std::string AsString() const;
    // The nine modes in order.
    static std::vector<CFirewallMode> GetAllValues();

private:
    std::int32_t m_nMode = NoFirewall;
};

// The server account and, where a firewall is in the way, the firewall account.
class CLogonData {
public:
    CLogonData() = default;
    CLogonData(std::string host, unsigned port, std::string user, std::string password, std::string account);
    CLogonData(std::string host, unsigned port, std::string user, std::string password, std::string account,
               std::string firewallHost, std::string firewallUser, std::string firewallPassword, unsigned firewallPort,
               CFirewallMode firewallMode);

    void SetHost(std::string host, unsigned port, std::string user, std::string password, std::string account);
    void SetFirewall(std::string firewallHost, std::string firewallUser, std::string firewallPassword,
                     unsigned firewallPort, CFirewallMode firewallMode);

    const std::string& Hostname() const noexcept { return m_strHostname; }
    unsigned Port() const noexcept { return m_uiPort; }
    const std::string& Username() const noexcept { return m_strUsername; }
    const std::string& Password() const noexcept { return m_strPassword; }
    const std::string& Account() const noexcept { return m_strAccount; }
    const std::string& FwHost() const noexcept { return m_strFwHostname; }
    const std::string& FwUsername() const noexcept { return m_strFwUsername; }
    const std::string& FwPassword() const noexcept { return m_strFwPassword; }
    unsigned FwPort() const noexcept { return m_uiFwPort; }
    CFirewallMode FwType() const noexcept { return m_FwType; }

private:
    std::string m_strHostname;
    unsigned m_uiPort = 21;
    std::string m_strUsername = "anonymous";
    std::string m_strPassword;
    std::string m_strAccount;
    std::string m_strFwHostname;
    std::string m_strFwUsername;
    std::string m_strFwPassword;
    unsigned m_uiFwPort = 21;
    CFirewallMode m_FwType;
};

}  // namespace nsFTP
