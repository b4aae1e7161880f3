// Texts of the firewall modes and the logon record's constructors.
#include "ftp/FtpTypes.h"

#include <utility>

namespace nsFTP {
namespace {

struct FirewallModeText {
    const char* display;
    const char* name;
};

// Indexed by the mode's value.
constexpr FirewallModeText kFirewallModeTexts[CFirewallMode::kCount] = {
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

const FirewallModeText* TextsOf(std::int32_t mode) noexcept {
    return mode >= 0 && mode < CFirewallMode::kCount ? &kFirewallModeTexts[mode] : nullptr;
}

}  // namespace

std::string CFirewallMode::AsDisplayString() const {
    const FirewallModeText* texts = TextsOf(m_nMode);
    return texts ? texts->display : "";
}

std::string CFirewallMode::AsString() const {
    const FirewallModeText* texts = TextsOf(m_nMode);
    return texts ? texts->name : "";
}

std::vector<CFirewallMode> CFirewallMode::GetAllValues() {
    std::vector<CFirewallMode> values;
    for (std::int32_t mode = 0; mode < kCount; ++mode) values.emplace_back(mode);
    return values;
}

CLogonData::CLogonData(std::string host, unsigned port, std::string user, std::string password, std::string account) {
    SetHost(std::move(host), port, std::move(user), std::move(password), std::move(account));
}

CLogonData::CLogonData(std::string host, unsigned port, std::string user, std::string password, std::string account,
                       std::string firewallHost, std::string firewallUser, std::string firewallPassword,
                       unsigned firewallPort, CFirewallMode firewallMode) {
    SetHost(std::move(host), port, std::move(user), std::move(password), std::move(account));
    SetFirewall(std::move(firewallHost), std::move(firewallUser), std::move(firewallPassword), firewallPort,
                firewallMode);
}

void CLogonData::SetHost(std::string host, unsigned port, std::string user, std::string password, std::string account) {
    m_strHostname = std::move(host);
    m_uiPort = port;
    m_strUsername = std::move(user);
    m_strPassword = std::move(password);
    m_strAccount = std::move(account);
}

void CLogonData::SetFirewall(std::string firewallHost, std::string firewallUser, std::string firewallPassword,
                             unsigned firewallPort, CFirewallMode firewallMode) {
    m_strFwHostname = std::move(firewallHost);
    m_strFwUsername = std::move(firewallUser);
    m_strFwPassword = std::move(firewallPassword);
    m_uiFwPort = firewallPort;
    m_FwType = firewallMode;
}

}  // namespace nsFTP
