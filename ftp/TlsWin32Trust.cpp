// The Windows TLS connection's settings and judgements: Schannel's credentials, the server's
// certificate against a pin or against the system's trust store and the host name (judged here,
// not left to the system's SSL policy, which under Wine passes broken chains and loose names), and
// the words for a failed SSPI call.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "ftp/HostNameMatch.h"
#include "ftp/TlsText.h"
#include "ftp/TlsWin32.h"

namespace nsTls::win32 {
namespace {

struct ChainFree {
    void operator()(const CERT_CHAIN_CONTEXT* chain) const noexcept { ::CertFreeCertificateChain(chain); }
};
struct StoreClose {
    void operator()(void* store) const noexcept { ::CertCloseStore(store, 0); }
};

std::string Hex32(unsigned long code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", code);
    return text;
}

[[noreturn]] void Refuse(const std::string& description) {
    throw nsSocket::CBlockingSocketException("TLS handshake", 0, description);
}

std::string_view Bytes(const CRYPT_DATA_BLOB& blob) {
    return {reinterpret_cast<const char*>(blob.pbData), blob.cbData};
}

// The chain's own verdict, every error bit but those that say revocation could not be checked (no
// revocation check is asked for). Under Wine the SSL policy passes a partial chain and an issuer
// that is no authority, while the chain's status has their bits: this is the check that counts.
std::string ChainStatusProblem(DWORD status) {
    constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    constexpr DWORD kNameConstraints =
        CERT_TRUST_INVALID_NAME_CONSTRAINTS | CERT_TRUST_HAS_NOT_SUPPORTED_NAME_CONSTRAINT |
        CERT_TRUST_HAS_NOT_DEFINED_NAME_CONSTRAINT | CERT_TRUST_HAS_NOT_PERMITTED_NAME_CONSTRAINT |
        CERT_TRUST_HAS_EXCLUDED_NAME_CONSTRAINT;
    // The first that applies names the cause.
    static const struct {
        DWORD bits;
        const char* text;
    } kReasons[] = {
        {CERT_TRUST_IS_PARTIAL_CHAIN, "it does not chain to a trusted root (an issuer is missing)"},
        {CERT_TRUST_IS_UNTRUSTED_ROOT, "its root is not trusted (self-signed, or an unknown authority)"},
        {CERT_TRUST_IS_EXPLICIT_DISTRUST, "it or an issuer in its chain is distrusted"},
        {CERT_TRUST_IS_CYCLIC, "its chain runs in a circle"},
        {CERT_TRUST_IS_NOT_SIGNATURE_VALID, "a signature in its chain does not verify"},
        {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, "an issuer in its chain is not an authority"},
        {CERT_TRUST_IS_NOT_TIME_VALID, "it or an issuer in its chain has expired or is not valid yet"},
        {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, "it is not meant for a TLS server"},
        {CERT_TRUST_IS_REVOKED, "it has been revoked"},
        {kNameConstraints, "it is outside what an issuer in its chain may certify"},
        {CERT_TRUST_INVALID_EXTENSION | CERT_TRUST_HAS_NOT_SUPPORTED_CRITICAL_EXT,
         "it has a critical extension that cannot be read"},
        {CERT_TRUST_INVALID_POLICY_CONSTRAINTS | CERT_TRUST_NO_ISSUANCE_CHAIN_POLICY,
         "its chain breaks a policy constraint"},
        {CERT_TRUST_HAS_WEAK_SIGNATURE, "its chain is signed with a weak algorithm"},
    };
    const DWORD errors = status & ~kRevocationUnknown;
    if (errors == 0) return {};
    for (const auto& reason : kReasons)
        if (errors & reason.bits) return reason.text;
    return "chain status " + Hex32(errors);
}

// Whether the chain ends in a self-signed certificate that the system's Root store holds.
bool EndsInTrustedRoot(const CERT_CHAIN_CONTEXT& chain) {
    if (chain.cChain == 0 || chain.rgpChain[chain.cChain - 1]->cElement == 0) return false;
    const CERT_SIMPLE_CHAIN& last = *chain.rgpChain[chain.cChain - 1];
    const CERT_CHAIN_ELEMENT& top = *last.rgpElement[last.cElement - 1];
    if (!(top.TrustStatus.dwInfoStatus & CERT_TRUST_IS_SELF_SIGNED)) return false;
    const std::unique_ptr<void, StoreClose> roots(::CertOpenSystemStoreW(0, L"ROOT"));
    const TCertificate held(roots ? ::CertFindCertificateInStore(roots.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING,
                                                                 top.pCertContext, nullptr)
                                  : nullptr);
    return held != nullptr;
}

// Empty when the certificate names the host, by our own rules (HostNameMatch.h) on the names as
// its DER gives them: the system's decoders would end a name at a NUL inside it.
std::string NameProblem(const CERT_CONTEXT& leaf, const std::string& host) {
    const CERT_INFO& info = *leaf.pCertInfo;
    CCertificateNames names;
    int found = 0;
    bool readable = ReadCommonNames(Bytes(info.Subject), names);
    for (DWORD i = 0; i < info.cExtension; ++i) {
        const CERT_EXTENSION& extension = info.rgExtension[i];
        if (std::strcmp(extension.pszObjId, szOID_SUBJECT_ALT_NAME2) != 0) continue;
        ++found;
        readable = readable && ReadAltNames(Bytes(extension.Value), names);
    }
    // Two lists of names would be read one way here and another way elsewhere.
    if (!readable || found > 1) return "its names cannot be read";
    if (!NamesHost(names, host)) return "it is not for " + host;
    return {};
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

// Empty when the certificate chains to a root of the system's store and names the host. The
// chain's status, its root and the name are judged here; the system's SSL policy is asked as well,
// and either one refusing refuses.
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
    if (std::string problem = ChainStatusProblem(chain->TrustStatus.dwErrorStatus); !problem.empty()) return problem;
    if (!EndsInTrustedRoot(*chain)) return "it does not chain to a root of the trusted store";
    if (std::string problem = NameProblem(leaf, host); !problem.empty()) return problem;

    // The policy checks the name too where it can (an address is not a name to it).
    std::wstring name = IsAddress(host) ? std::wstring() : Widen(ReferenceName(host));
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
