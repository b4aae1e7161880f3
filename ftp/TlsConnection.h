// TLS on a connected socket of the FTP client (explicit FTPS): the client's side of the handshake,
// with the server's certificate checked against the system's trust store and the host name, or
// against a SHA-256 pin; then records both ways under the socket's time-outs, and a close_notify
// before the socket closes. One backend per platform: OpenSSL natively, Schannel on Windows.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "ftp/BlockingSocket.h"

namespace nsTls {

// How the server's certificate is judged.
struct CTlsPolicy {
    // The name the certificate must carry (a host name or an address) unless a pin is given.
    std::string hostName;
    // 64 hex digits: the leaf certificate's SHA-256 must be this instead (checked on every
    // connection, data connections included). Empty: the trust store and the host name decide.
    std::string pinSha256;
    // Any certificate is taken (the caller warns about it). A pin still applies.
    bool insecure = false;
};

// A pin as given ("AB:CD:..." or "abcd..."), in the form compared: 64 lower-case hex digits; empty
// when it is not 32 bytes of hex.
std::string NormalizePin(std::string_view pin);

class CTlsConnection {
public:
    virtual ~CTlsConnection() = default;

    // The handshake over a connected socket. resume: an earlier connection to the same server
    // (the control connection, for a data connection) whose session is offered for reuse, or
    // null. Any failure, a certificate or pin that does not match included, raises
    // CBlockingSocketException ("TLS handshake") with a description of it. The socket must
    // outlive the connection.
    static std::unique_ptr<CTlsConnection> Start(nsSocket::CBlockingSocket& socket, const CTlsPolicy& policy,
                                                 const CTlsConnection* resume, unsigned timeoutSeconds);

    virtual void SendAll(const char* data, std::size_t count, unsigned timeoutSeconds) = 0;
    // 0 when the peer closed the connection (with close_notify, or without: a server that just
    // closes its socket ends the data the same way).
    virtual std::size_t Receive(char* buffer, std::size_t size, std::chrono::steady_clock::time_point deadline,
                                unsigned timeoutSeconds) = 0;
    // Sends close_notify; an upload's server takes it as the end of the file.
    virtual void Shutdown(unsigned timeoutSeconds) = 0;
    // The peer's leaf certificate's SHA-256, 64 lower-case hex digits.
    virtual std::string PeerFingerprint() const = 0;

protected:
    CTlsConnection() = default;
    CTlsConnection(const CTlsConnection&) = delete;
    CTlsConnection& operator=(const CTlsConnection&) = delete;
};

}  // namespace nsTls
