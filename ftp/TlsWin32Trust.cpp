// The Windows TLS connection's settings and judgements: Schannel's credentials, the server's
// certificate against a pin or against the system's trust store and the host name, and the words
// for a failed SSPI call.
#include <cstdio>
#include <cstring>

#include "ftp/TlsText.h"
#include "ftp/TlsWin32.h"

namespace nsTls::win32 {
namespace {

struct LocalMemoryFree {
    void operator()(void* memory) const noexcept { ::LocalFree(memory); }
};
struct ChainFree {
    void operator()(const CERT_CHAIN_CONTEXT* chain) const noexcept { ::CertFreeCertificateChain(chain); }
};

std::string Hex32(unsigned long code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", code);
    return text;
}

[[noreturn]] void Refuse(const std::string& description) {
    throw nsSocket::CBlockingSocketException("TLS handshake", 0, description);
}

// Whether the certificate's subject alternative names hold the IPv4 address: the only place an
// address counts, as natively (a common name that looks like one does not).
bool NamesAddress(const CERT_CONTEXT& leaf, const std::string& address) {
    unsigned char wanted[4] = {};
    std::size_t part = 0;
    for (const char c : address) {
        if (c == '.')
            ++part;
        else
            wanted[part] = static_cast<unsigned char>(wanted[part] * 10 + (c - '0'));
    }
    const CERT_INFO& info = *leaf.pCertInfo;
    const CERT_EXTENSION* extension = ::CertFindExtension(szOID_SUBJECT_ALT_NAME2, info.cExtension, info.rgExtension);
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!extension || !::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size))
        return false;
    const std::unique_ptr<CERT_ALT_NAME_INFO, LocalMemoryFree> owner(names);
    for (DWORD i = 0; i < names->cAltEntry; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == sizeof wanted &&
            std::memcmp(entry.IPAddress.pbData, wanted, sizeof wanted) == 0)
            return true;
    }
    return false;
}

std::string ChainErrorText(DWORD error, const std::string& host) {
    static const struct {
        HRESULT code;
        const char* text;
    } kReasons[] = {
        {CERT_E_UNTRUSTEDROOT, "its root is not trusted (self-signed, or an unknown authority)"},
        {CERT_E_CHAINING, "it does not chain to a trusted root"},
        {CERT_E_UNTRUSTEDTESTROOT, "its root is a test root"},
        {CERT_E_EXPIRED, "it has expired or is not valid yet"},
        {CERT_E_VALIDITYPERIODNESTING, "its validity does not nest in its issuer's"},
        {CERT_E_WRONG_USAGE, "it is not meant for a TLS server"},
        {CERT_E_PURPOSE, "it is not meant for a TLS server"},
        {CERT_E_REVOKED, "it has been revoked"},
        {TRUST_E_CERT_SIGNATURE, "a signature in its chain does not verify"},
        {TRUST_E_BASIC_CONSTRAINTS, "an issuer in its chain is not an authority"},
        {CERT_E_CRITICAL, "it has a critical extension that cannot be read"},
    };
    if (error == static_cast<DWORD>(CERT_E_CN_NO_MATCH)) return "it is not for " + host;
    for (const auto& reason : kReasons)
        if (error == static_cast<DWORD>(reason.code)) return reason.text;
    return "chain error " + Hex32(error);
}

// Empty when the certificate chains to a root of the system's store and names the host.
std::string ChainProblem(const CERT_CONTEXT& leaf, const std::string& host) {
    char serverAuthentication[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuthentication};
    CERT_CHAIN_PARA chainParameters{};
    chainParameters.cbSize = sizeof chainParameters;
    chainParameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainParameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainParameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    const CERT_CHAIN_CONTEXT* built = nullptr;
    // The certificates the server sent beside its own (leaf.hCertStore) fill the gaps of the chain.
    // No revocation check: it needs the issuers' servers, and the native build does none either.
    if (!::CertGetCertificateChain(nullptr, &leaf, nullptr, leaf.hCertStore, &chainParameters, 0, nullptr, &built))
        return "no chain can be built for it (" + Hex32(::GetLastError()) + ")";
    const std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree> chain(built);

    // An address is not a name to the SSL policy: it is looked for among the address entries below.
    const bool address = IsAddress(host);
    std::wstring name = address ? std::wstring() : Widen(host);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = name.empty() ? nullptr : name.data();
    CERT_CHAIN_POLICY_PARA policyParameters{};
    policyParameters.cbSize = sizeof policyParameters;
    policyParameters.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policyParameters, &status))
        return "its chain cannot be checked (" + Hex32(::GetLastError()) + ")";
    if (status.dwError != 0) return ChainErrorText(status.dwError, host);
    if (address && !NamesAddress(leaf, host)) return "it is not for " + host;
    return {};
}

}  // namespace

CCredentials::~CCredentials() {
    if (IsValid(m_handle)) ::FreeCredentialsHandle(&m_handle);
}

std::shared_ptr<CCredentials> CCredentials::Acquire() {
    // The certificate is judged after the handshake, by JudgeCertificate, rather than by Schannel:
    // Wine's Schannel does not check it at all, and only this way does a pin, which must win over
    // the store, work on Windows too. No client certificate is offered.
    constexpr DWORD kFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    wchar_t package[] = UNISP_NAME_W;
    auto credentials = std::make_shared<CCredentials>();
    CredHandle handle;
    TimeStamp expiry{};
    // SCH_CREDENTIALS names what is refused, so TLS 1.3 comes in where the system has it; Windows
    // before 10 (1809) knows only SCHANNEL_CRED, which names what is allowed.
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols =
        SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
    SCH_CREDENTIALS current{};
    current.dwVersion = SCH_CREDENTIALS_VERSION;
    current.dwFlags = kFlags;
    current.cTlsParameters = 1;
    current.pTlsParameters = &parameters;
    SECURITY_STATUS status = ::AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &current,
                                                         nullptr, nullptr, &handle, &expiry);
    if (status != SEC_E_OK) {
        SCHANNEL_CRED older{};
        older.dwVersion = SCHANNEL_CRED_VERSION;
        older.dwFlags = kFlags;
        older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
        status = ::AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &older, nullptr, nullptr,
                                             &handle, &expiry);
    }
    if (status != SEC_E_OK) RaiseStatus("TLS handshake", status);
    credentials->m_handle = handle;
    return credentials;
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

CContext::~CContext() {
    if (IsValid()) ::DeleteSecurityContext(&m_handle);
}

std::string Sha256Hex(const CERT_CONTEXT& certificate) {
    BYTE digest[32];
    DWORD size = sizeof digest;
    if (!::CryptHashCertificate2(L"SHA256", 0, nullptr, certificate.pbCertEncoded, certificate.cbCertEncoded, digest,
                                 &size))
        return {};
    return HexDigits(digest, size);
}

void JudgeCertificate(const CERT_CONTEXT& leaf, const std::string& fingerprint, const CTlsPolicy& policy) {
    if (!policy.pinSha256.empty()) {
        // The pin alone decides: a certificate the store trusts but the pin does not name is refused.
        if (fingerprint != policy.pinSha256) Refuse(PinRefused(fingerprint));
        return;
    }
    if (policy.insecure) return;
    const std::string problem = ChainProblem(leaf, policy.hostName);
    if (!problem.empty()) Refuse(CertificateRefused(problem));
}

void RaiseStatus(const char* operation, SECURITY_STATUS status) {
    std::string description;
    switch (status) {
    case SEC_E_ALGORITHM_MISMATCH:
        description = "the server offers no TLS version and cipher this client takes (TLS 1.2 or later)";
        break;
    case SEC_E_ILLEGAL_MESSAGE:
    case SEC_E_INVALID_TOKEN:
        description = "the server's TLS message is malformed or refused";
        break;
    case SEC_E_MESSAGE_ALTERED:
    case SEC_E_DECRYPT_FAILURE:
        description = "a TLS record was altered on its way";
        break;
    default:
        break;  // the system's text for the status
    }
    throw nsSocket::CBlockingSocketException(operation, static_cast<int>(status), description);
}

}  // namespace nsTls::win32
