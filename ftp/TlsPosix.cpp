// The TLS connection natively, through OpenSSL: the blocking socket is OpenSSL's transport, so
// every record goes out and comes in under the socket's own time-outs.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <memory>
#include <utility>

#include "ftp/HostNameMatch.h"
#include "ftp/TlsConnection.h"
#include "ftp/TlsText.h"

namespace nsTls {
namespace {

using TClock = std::chrono::steady_clock;

// Sixteen full records.
constexpr long kWriteBuffer = 16 * (16384 + 64);
// How a host name is matched: "*" only as a whole label (the native tests use the same flags).
constexpr unsigned kHostFlags = X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS;

struct ContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using TContext = std::shared_ptr<SSL_CTX>;

// What OpenSSL's error queue says, emptied.
std::string QueuedErrors() {
    std::string text;
    char line[256];
    for (unsigned long error = ERR_get_error(); error != 0; error = ERR_get_error()) {
        ERR_error_string_n(error, line, sizeof line);
        text += text.empty() ? line : std::string("; ") + line;
    }
    return text;
}

// The client's settings for one server: TLS 1.2 at least; the trust store and the host name,
// unless a pin or "insecure" judges the certificate instead.
TContext MakeContext(const CTlsPolicy& policy) {
    TContext context(SSL_CTX_new(TLS_client_method()), ContextFree());
    if (!context) throw nsSocket::CBlockingSocketException("TLS handshake", 0, "no TLS context: " + QueuedErrors());
    SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
    // A server that closes a data connection without close_notify ends its data all the same;
    // the transfer's final reply still says whether the file is whole.
    SSL_CTX_set_options(context.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    const bool byTrustStore = policy.pinSha256.empty() && !policy.insecure;
    if (byTrustStore) SSL_CTX_set_default_verify_paths(context.get());
    SSL_CTX_set_verify(context.get(), byTrustStore ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
    return context;
}

class COpenSslConnection final : public CTlsConnection {
public:
    COpenSslConnection(nsSocket::CBlockingSocket& socket, CTlsPolicy policy, TContext context)
        : m_socket(socket), m_policy(std::move(policy)), m_context(std::move(context)) {}

    void Handshake(const COpenSslConnection* resume, unsigned timeoutSeconds);

    void SendAll(const char* data, std::size_t count, unsigned timeoutSeconds) override;
    std::size_t Receive(char* buffer, std::size_t size, TClock::time_point deadline, unsigned timeoutSeconds) override;
    void Shutdown(unsigned timeoutSeconds) override;
    std::string PeerFingerprint() const override;

    const TContext& Context() const { return m_context; }

private:
    static BIO_METHOD* SocketMethod();
    static int BioWrite(BIO* bio, const char* data, int count);
    static int BioRead(BIO* bio, char* buffer, int size);
    static long BioControl(BIO* bio, int command, long number, void* pointer);
    static int BioCreate(BIO* bio);

    // Sets the bounds of the socket calls OpenSSL is about to make.
    void Bound(TClock::time_point deadline, unsigned timeoutSeconds) {
        m_deadline = deadline;
        m_timeoutSeconds = timeoutSeconds;
        m_pending = nullptr;
    }
    // Sends what the write buffer holds.
    void Flush() {
        if (BIO_flush(SSL_get_wbio(m_ssl.get())) != 1) Raise("Send", -1);
    }
    // After a failed call: the socket's own exception when it was the cause, else OpenSSL's words.
    [[noreturn]] void Raise(const char* operation, int result);

    nsSocket::CBlockingSocket& m_socket;
    CTlsPolicy m_policy;
    TContext m_context;
    std::unique_ptr<SSL, SslFree> m_ssl;
    TClock::time_point m_deadline{};
    unsigned m_timeoutSeconds = 0;
    std::exception_ptr m_pending;
};

BIO_METHOD* COpenSslConnection::SocketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tovalo blocking socket");
        BIO_meth_set_write(made, BioWrite);
        BIO_meth_set_read(made, BioRead);
        BIO_meth_set_ctrl(made, BioControl);
        BIO_meth_set_create(made, BioCreate);
        return made;
    }();
    return method;
}

int COpenSslConnection::BioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

long COpenSslConnection::BioControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int COpenSslConnection::BioWrite(BIO* bio, const char* data, int count) {
    auto* self = static_cast<COpenSslConnection*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    try {
        self->m_socket.SendAll(data, static_cast<std::size_t>(count), self->m_timeoutSeconds);
        return count;
    } catch (...) {
        // No exception may cross OpenSSL: it is raised again once the call returns.
        self->m_pending = std::current_exception();
        return -1;
    }
}

int COpenSslConnection::BioRead(BIO* bio, char* buffer, int size) {
    auto* self = static_cast<COpenSslConnection*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    try {
        return static_cast<int>(
            self->m_socket.Receive(buffer, static_cast<std::size_t>(size), self->m_deadline, self->m_timeoutSeconds));
    } catch (...) {
        self->m_pending = std::current_exception();
        return -1;
    }
}

void COpenSslConnection::Raise(const char* operation, int result) {
    if (m_pending) std::rethrow_exception(std::exchange(m_pending, nullptr));
    std::string description = QueuedErrors();
    const long verified = SSL_get_verify_result(m_ssl.get());
    if (verified != X509_V_OK) description = CertificateRefused(X509_verify_cert_error_string(verified));
    if (description.empty()) description = "TLS error " + std::to_string(SSL_get_error(m_ssl.get(), result));
    throw nsSocket::CBlockingSocketException(operation, 0, description);
}

void COpenSslConnection::Handshake(const COpenSslConnection* resume, unsigned timeoutSeconds) {
    m_ssl.reset(SSL_new(m_context.get()));
    BIO* bio = m_ssl ? BIO_new(SocketMethod()) : nullptr;
    if (!bio) throw nsSocket::CBlockingSocketException("TLS handshake", 0, "no TLS session: " + QueuedErrors());
    BIO_set_data(bio, this);
    // Records go out through a buffer that several of them fill before one send, flushed at the
    // end of each write: one send per 16 KiB record costs a quarter of an upload's speed.
    BIO* buffered = BIO_new(BIO_f_buffer());
    if (!buffered || BIO_set_write_buffer_size(buffered, kWriteBuffer) != 1) {
        BIO_free(buffered);
        BIO_free(bio);
        throw nsSocket::CBlockingSocketException("TLS handshake", 0, "no TLS buffer: " + QueuedErrors());
    }
    BIO_up_ref(bio);  // held by both directions: reads come straight from the socket
    SSL_set_bio(m_ssl.get(), bio, BIO_push(buffered, bio));

    // OpenSSL is the reference of the name rules that the Windows build applies itself
    // (HostNameMatch.h); both check the same reference name.
    const std::string& host = m_policy.hostName;
    const bool address = IsAddress(host);
    const std::string name = address ? std::string() : ReferenceName(host);
    if (!name.empty()) SSL_set_tlsext_host_name(m_ssl.get(), name.c_str());
    if (m_policy.pinSha256.empty() && !m_policy.insecure) {
        X509_VERIFY_PARAM* check = SSL_get0_param(m_ssl.get());
        X509_VERIFY_PARAM_set_hostflags(check, kHostFlags);
        if (address ? X509_VERIFY_PARAM_set1_ip_asc(check, host.c_str()) != 1
                    : name.empty() || X509_VERIFY_PARAM_set1_host(check, name.c_str(), name.size()) != 1)
            throw nsSocket::CBlockingSocketException("TLS handshake", 0, "the host name cannot be checked: " + host);
    }
    if (resume && resume->m_ssl) {
        // A data connection proves it belongs to the control connection by resuming its session
        // (servers that require it refuse any other).
        if (SSL_SESSION* session = SSL_get1_session(resume->m_ssl.get())) {
            SSL_set_session(m_ssl.get(), session);
            SSL_SESSION_free(session);
        }
    }
    Bound(TClock::now() + std::chrono::seconds(timeoutSeconds), timeoutSeconds);
    ERR_clear_error();
    const int result = SSL_connect(m_ssl.get());
    if (result != 1) Raise("TLS handshake", result);
    if (!m_policy.pinSha256.empty()) {
        const std::string fingerprint = PeerFingerprint();
        if (fingerprint != m_policy.pinSha256)
            throw nsSocket::CBlockingSocketException("TLS handshake", 0, PinRefused(fingerprint));
    }
}

void COpenSslConnection::SendAll(const char* data, std::size_t count, unsigned timeoutSeconds) {
    Bound(TClock::now() + std::chrono::seconds(timeoutSeconds), timeoutSeconds);
    while (count > 0) {
        const int chunk = static_cast<int>(std::min<std::size_t>(count, INT_MAX));
        ERR_clear_error();
        const int written = SSL_write(m_ssl.get(), data, chunk);
        if (written <= 0) Raise("Send", written);
        data += written;
        count -= static_cast<std::size_t>(written);
    }
    Flush();
}

std::size_t COpenSslConnection::Receive(char* buffer, std::size_t size, TClock::time_point deadline,
                                        unsigned timeoutSeconds) {
    Bound(deadline, timeoutSeconds);
    ERR_clear_error();
    const int read = SSL_read(m_ssl.get(), buffer, static_cast<int>(std::min<std::size_t>(size, INT_MAX)));
    if (read > 0) return static_cast<std::size_t>(read);
    if (SSL_get_error(m_ssl.get(), read) == SSL_ERROR_ZERO_RETURN) return 0;
    Raise("Receive", read);
}

void COpenSslConnection::Shutdown(unsigned timeoutSeconds) {
    Bound(TClock::now() + std::chrono::seconds(timeoutSeconds), timeoutSeconds);
    ERR_clear_error();
    const int sent = SSL_shutdown(m_ssl.get());
    if (sent < 0) Raise("Send", sent);
    Flush();
    // What the server still sends (session tickets, its own close_notify) is read to the end:
    // closing a socket with unread data resets the connection, and a reset makes the server drop
    // what it had not yet read of the file.
    char sink[4096];
    while (sent == 0 && SSL_read(m_ssl.get(), sink, sizeof sink) > 0) {
    }
    if (m_pending) std::rethrow_exception(std::exchange(m_pending, nullptr));
}

std::string COpenSslConnection::PeerFingerprint() const {
    std::unique_ptr<X509, CertificateFree> certificate(SSL_get1_peer_certificate(m_ssl.get()));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!certificate || X509_digest(certificate.get(), EVP_sha256(), digest, &length) != 1) return {};
    return HexDigits(digest, length);
}

}  // namespace

std::unique_ptr<CTlsConnection> CTlsConnection::Start(nsSocket::CBlockingSocket& socket, const CTlsPolicy& policy,
                                                      const CTlsConnection* resume, unsigned timeoutSeconds) {
    const auto* earlier = dynamic_cast<const COpenSslConnection*>(resume);
    // A data connection shares its control connection's settings, which its session needs.
    auto connection =
        std::make_unique<COpenSslConnection>(socket, policy, earlier ? earlier->Context() : MakeContext(policy));
    connection->Handshake(earlier, timeoutSeconds);
    return connection;
}

}  // namespace nsTls
