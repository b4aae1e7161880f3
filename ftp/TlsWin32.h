// What the two files of the Windows TLS connection share: owners of the SSPI and CryptoAPI handles
// (each frees what it holds, so no failure path leaks one), the credentials every connection to a
// server shares, and the judgement of the server's certificate.
#pragma once

#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
// SCH_CREDENTIALS, which needs UNICODE_STRING (subauth.h).
#ifndef SCHANNEL_USE_BLACKLISTS
#define SCHANNEL_USE_BLACKLISTS
#endif
#include <windows.h>
#include <subauth.h>
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>

#include <memory>
#include <string>

#include "ftp/TlsConnection.h"

namespace nsTls::win32 {

// An SSPI handle that may hold nothing: "nothing" is SSPI's own invalid value, both halves all ones.
inline void Invalidate(SecHandle& handle) noexcept { handle.dwLower = handle.dwUpper = ~ULONG_PTR{0}; }
inline bool IsValid(const SecHandle& handle) noexcept {
    return handle.dwLower != ~ULONG_PTR{0} || handle.dwUpper != ~ULONG_PTR{0};
}

// The client's credentials (Schannel's settings: TLS 1.2 and later, the certificate checked by us).
// Schannel caches sessions per credentials handle, so a data connection that shares its control
// connection's handle can resume the control connection's session.
class CCredentials {
public:
    CCredentials() noexcept { Invalidate(m_handle); }
    ~CCredentials();
    CCredentials(const CCredentials&) = delete;
    CCredentials& operator=(const CCredentials&) = delete;

    // Raises CBlockingSocketException ("TLS handshake") when Schannel refuses every form offered.
    static std::shared_ptr<CCredentials> Acquire();
    CredHandle* Get() noexcept { return &m_handle; }

private:
    CredHandle m_handle;
};

// A security context: one TLS session's state inside Schannel.
class CContext {
public:
    CContext() noexcept { Invalidate(m_handle); }
    ~CContext();
    CContext(const CContext&) = delete;
    CContext& operator=(const CContext&) = delete;

    CtxtHandle* Get() noexcept { return &m_handle; }
    bool IsValid() const noexcept { return win32::IsValid(m_handle); }

private:
    CtxtHandle m_handle;
};

struct ContextBufferFree {
    void operator()(void* buffer) const noexcept { ::FreeContextBuffer(buffer); }
};
// A token Schannel allocated (ISC_REQ_ALLOCATE_MEMORY).
using TContextBuffer = std::unique_ptr<void, ContextBufferFree>;

struct CertificateFree {
    void operator()(const CERT_CONTEXT* certificate) const noexcept { ::CertFreeCertificateContext(certificate); }
};
using TCertificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

// A host name as the system's wide text (as the program's arguments came, in the ANSI code page).
std::wstring Widen(const std::string& text);

// The certificate's SHA-256 as 64 lower-case hex digits; empty when it cannot be hashed.
std::string Sha256Hex(const CERT_CONTEXT& certificate);

// Raises CBlockingSocketException ("TLS handshake") unless the policy takes the server's leaf
// certificate: its fingerprint equal to the pin, or a chain to a trusted root that names the host.
void JudgeCertificate(const CERT_CONTEXT& leaf, const std::string& fingerprint, const CTlsPolicy& policy);

// A failed SSPI call as the socket layer's exception: a description of our own for the failures
// a user can act on, else the system's text for the status.
[[noreturn]] void RaiseStatus(const char* operation, SECURITY_STATUS status);

}  // namespace nsTls::win32
