// The TLS layer's texts and small readings that need no TLS library: fingerprints as hex, pins as
// given, whether a host is an address, and the words of a refused certificate.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nsTls {

// Lower-case hex of the bytes.
std::string HexDigits(const unsigned char* bytes, std::size_t count);

// Whether host is an IPv4 address in dotted decimal form, no part with a leading zero (checked as
// an address, not as a name).
bool IsAddress(std::string_view host);

// "the server's certificate is not trusted: <reason>"
std::string CertificateRefused(std::string_view reason);
// "the server's certificate does not match the pin (its SHA-256 is <fingerprint>)"
std::string PinRefused(std::string_view fingerprint);

}  // namespace nsTls
