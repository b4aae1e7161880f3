// The TLS connection on Windows: not in this build yet, so a secure session fails at its first
// handshake with a text that says so (the plain client is unchanged).
#include "ftp/TlsConnection.h"

namespace nsTls {

std::unique_ptr<CTlsConnection> CTlsConnection::Start(nsSocket::CBlockingSocket&, const CTlsPolicy&,
                                                      const CTlsConnection*, unsigned) {
    throw nsSocket::CBlockingSocketException("TLS handshake", 0, "this build has no TLS");
}

}  // namespace nsTls
