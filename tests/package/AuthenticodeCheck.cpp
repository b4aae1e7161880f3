// authenticode_check.exe: judges a signed file as Windows judges a download before installing it,
// and adds a root certificate to the machine's trusted roots (for the package test's throwaway CA).
//   authenticode_check verify FILE   prints "accepted" or "refused: <reason>"; exit 0 or 1
//   authenticode_check trust CERT    CERT in PEM or DER; exit 0 once the root is trusted
// Any other failure (usage, unreadable certificate) exits 2.
#include "framework/Raii.h"

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

#include <cstdio>
#include <cwchar>
#include <iterator>

namespace {

enum ExitCode : int { kAccepted = 0, kRefused = 1, kError = 2 };

void CloseStore(HCERTSTORE store) { ::CertCloseStore(store, 0); }
void FreeCertificate(PCCERT_CONTEXT cert) { ::CertFreeCertificateContext(cert); }
using UniqueStore = fw::UniqueHandle<HCERTSTORE, CloseStore>;
using UniqueCertificate = fw::UniqueHandle<PCCERT_CONTEXT, FreeCertificate>;

// The names of the verdicts a test expects to read; anything else is printed as a number.
const char* VerdictName(LONG code) {
    struct Name {
        LONG code;
        const char* name;
    };
    static constexpr Name kNames[] = {
        {static_cast<LONG>(TRUST_E_NOSIGNATURE), "TRUST_E_NOSIGNATURE"},
        {static_cast<LONG>(TRUST_E_BAD_DIGEST), "TRUST_E_BAD_DIGEST"},
        {static_cast<LONG>(TRUST_E_SUBJECT_NOT_TRUSTED), "TRUST_E_SUBJECT_NOT_TRUSTED"},
        {static_cast<LONG>(TRUST_E_EXPLICIT_DISTRUST), "TRUST_E_EXPLICIT_DISTRUST"},
        {static_cast<LONG>(CERT_E_UNTRUSTEDROOT), "CERT_E_UNTRUSTEDROOT"},
        {static_cast<LONG>(CERT_E_CHAINING), "CERT_E_CHAINING"},
        {static_cast<LONG>(CERT_E_EXPIRED), "CERT_E_EXPIRED"},
        {static_cast<LONG>(CERT_E_WRONG_USAGE), "CERT_E_WRONG_USAGE"},
    };
    for (const Name& n : kNames) {
        if (n.code == code) return n.name;
    }
    return nullptr;
}

int Refused(const char* step, LONG code) {
    const char* name = VerdictName(code);
    if (name) {
        std::printf("refused: %s %s\n", step, name);
    } else {
        std::printf("refused: %s 0x%08lX\n", step, static_cast<unsigned long>(code));
    }
    return kRefused;
}

// One WinVerifyTrust verification whose state (the signer, its chain) lives until the object ends.
class TrustVerification {
public:
    explicit TrustVerification(const wchar_t* path) {
        file_.cbStruct = sizeof file_;
        file_.pcwszFilePath = path;
        data_.cbStruct = sizeof data_;
        data_.dwUIChoice = WTD_UI_NONE;
        data_.fdwRevocationChecks = WTD_REVOKE_NONE;
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &file_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        data_.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;  // a test never reaches for the network
        result_ = ::WinVerifyTrust(nullptr, &action_, &data_);
    }
    ~TrustVerification() {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        ::WinVerifyTrust(nullptr, &action_, &data_);
    }
    TrustVerification(const TrustVerification&) = delete;
    TrustVerification& operator=(const TrustVerification&) = delete;

    LONG Result() const { return result_; }
    // The chain of the first signer, owned by this verification; null when there is none.
    PCCERT_CHAIN_CONTEXT SignerChain() const {
        CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data_.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer = provider ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
        return signer ? signer->pChainContext : nullptr;
    }

private:
    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file_{};
    WINTRUST_DATA data_{};
    LONG result_ = 0;
};

// WinVerifyTrust checks the signature against the file; the Authenticode policy on the signer's
// chain then checks what WinVerifyTrust under Wine lets pass: a root the machine does not trust.
int Verify(const wchar_t* path) {
    TrustVerification verification(path);
    if (verification.Result() != 0) return Refused("WinVerifyTrust", verification.Result());
    PCCERT_CHAIN_CONTEXT chain = verification.SignerChain();
    if (!chain) return Refused("no signer chain", static_cast<LONG>(TRUST_E_NOSIGNATURE));
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, chain, &policy, &status)) {
        return Refused("chain policy", static_cast<LONG>(HRESULT_FROM_WIN32(::GetLastError())));
    }
    if (status.dwError != 0) return Refused("chain policy", static_cast<LONG>(status.dwError));
    wchar_t signer[256] = L"";
    ::CertGetNameStringW(chain->rgpChain[0]->rgpElement[0]->pCertContext, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr,
                         signer, static_cast<DWORD>(std::size(signer)));
    std::printf("accepted: signed by %ls\n", signer);
    return kAccepted;
}

// The certificate goes into the machine's Root store, which the chain engine trusts.
int Trust(const wchar_t* path) {
    HCERTSTORE fileStore = nullptr;
    PCCERT_CONTEXT found = nullptr;
    if (!::CryptQueryObject(CERT_QUERY_OBJECT_FILE, path, CERT_QUERY_CONTENT_FLAG_CERT, CERT_QUERY_FORMAT_FLAG_ALL, 0,
                            nullptr, nullptr, nullptr, &fileStore, nullptr, reinterpret_cast<const void**>(&found))) {
        std::printf("error: %ls holds no certificate (0x%08lX)\n", path, ::GetLastError());
        return kError;
    }
    UniqueStore fileOwner(fileStore);
    UniqueCertificate cert(found);
    UniqueStore root(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
    if (!root ||
        !::CertAddCertificateContextToStore(root.Get(), cert.Get(), CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
        std::printf("error: the Root store refused the certificate (0x%08lX)\n", ::GetLastError());
        return kError;
    }
    std::printf("trusted: %ls\n", path);
    return kAccepted;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"verify") == 0) return Verify(argv[2]);
    if (argc == 3 && std::wcscmp(argv[1], L"trust") == 0) return Trust(argv[2]);
    std::printf("usage: authenticode_check verify FILE | trust CERTIFICATE\n");
    return kError;
}
