// Whether a server's certificate names the host it was asked for, by the rules of RFC 6125 as
// OpenSSL's X509_check_host applies them with partial wildcards refused (the native build leaves the
// check to OpenSSL; the Windows build, whose system does it loosely under Wine, to this): the names
// read from the certificate's own DER, and the match. No TLS library is needed, so it is tested and
// fuzzed natively against OpenSSL.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nsTls {

// The names a certificate gives for its server, as encoded (a NUL inside a name stays and matches
// nothing).
struct CCertificateNames {
    std::vector<std::string> dnsNames;     // dNSName entries of the subject alternative names
    std::vector<std::string> addresses;    // iPAddress entries: 4 octets (IPv4) or 16 (IPv6)
    std::vector<std::string> commonNames;  // the subject's common names in order, up to the first that is
                                           // not ASCII text (such a name never matches a host anyway)
};

// Adds the dNSName and iPAddress entries of a subjectAltName extension's value (DER GeneralNames).
// False when it is not well-formed: then none of its names may count, the common names neither.
bool ReadAltNames(std::string_view der, CCertificateNames& names);

// Adds the common names of a DER Name (a certificate's subject). False when it is not well-formed.
bool ReadCommonNames(std::string_view der, CCertificateNames& names);

// A host name as certificates are checked against it and as SNI carries it: without one trailing
// dot. Empty when it cannot be a certificate's name: empty, an empty label, a byte that is not
// printable ASCII. An address (IsAddress) is not a host name.
std::string ReferenceName(std::string_view host);

// Whether the names cover the host. An address (IsAddress) only by an IPv4 iPAddress entry. A host
// name (through ReferenceName) by a dNSName entry, or by a common name when there is no dNSName
// entry; case is ignored; "*" counts only as a whole first label with two labels or more after it,
// and stands for exactly one label of letters, digits and hyphens.
bool NamesHost(const CCertificateNames& names, std::string_view host);

}  // namespace nsTls
