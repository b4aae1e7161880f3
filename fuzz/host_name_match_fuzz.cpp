// libFuzzer target: a host and a certificate's names, matched as the Windows build matches them
// (read back from the certificate's DER, then HostNameMatch) and as the native build asks OpenSSL;
// the two must agree. The input is the host, then one line per name whose first byte says its
// kind: D a dNSName, I an iPAddress (its octets), E an email name (which no host check reads), C a
// common name (as ASCII). The whole input is also read as the DER of a name list and of a subject.
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/HostNameMatch.h"
#include "ftp/TlsText.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};

void AddAltName(GENERAL_NAMES* names, int type, std::string_view value) {
    ASN1_STRING* text = ASN1_STRING_type_new(type == GEN_IPADD ? V_ASN1_OCTET_STRING : V_ASN1_IA5STRING);
    ASN1_STRING_set(text, value.data(), static_cast<int>(value.size()));
    GENERAL_NAME* name = GENERAL_NAME_new();
    GENERAL_NAME_set0_value(name, type, text);
    sk_GENERAL_NAME_push(names, name);
}

std::string Der(int size, unsigned char* bytes) {
    std::string der(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size > 0 ? size : 0));
    OPENSSL_free(bytes);
    return der;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    nsTls::CCertificateNames loose;
    nsTls::ReadAltNames(text, loose);
    nsTls::ReadCommonNames(text, loose);

    const std::size_t end = text.find('\n');
    const std::string host(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const std::unique_ptr<X509, CertificateFree> certificate(X509_new());
    X509_set_version(certificate.get(), X509_VERSION_3);
    GENERAL_NAMES* altNames = sk_GENERAL_NAME_new_null();
    nsTls::CCertificateNames expected;
    for (int count = 0; !text.empty() && count < 64; ++count) {
        const std::size_t at = text.find('\n');
        const std::string_view line = text.substr(0, at);
        text.remove_prefix(at == std::string_view::npos ? text.size() : at + 1);
        if (line.empty()) continue;
        std::string value(line.substr(1));
        switch (line[0]) {
        case 'D':
            AddAltName(altNames, GEN_DNS, value);
            expected.dnsNames.push_back(value);
            break;
        case 'I':
            AddAltName(altNames, GEN_IPADD, value);
            expected.addresses.push_back(value);
            break;
        case 'E':
            AddAltName(altNames, GEN_EMAIL, value);
            break;
        case 'C':
            for (char& c : value) c &= 0x7F;
            X509_NAME_add_entry_by_NID(X509_get_subject_name(certificate.get()), NID_commonName, V_ASN1_UTF8STRING,
                                       reinterpret_cast<const unsigned char*>(value.data()),
                                       static_cast<int>(value.size()), -1, 0);
            expected.commonNames.push_back(value);
            break;
        default:
            break;
        }
    }
    if (sk_GENERAL_NAME_num(altNames) > 0)
        X509_add1_ext_i2d(certificate.get(), NID_subject_alt_name, altNames, 0, X509V3_ADD_DEFAULT);
    GENERAL_NAMES_free(altNames);

    // Read back from the DER as the Windows build reads it: every name, in order.
    nsTls::CCertificateNames names;
    unsigned char* bytes = nullptr;
    Require(nsTls::ReadCommonNames(Der(i2d_X509_NAME(X509_get_subject_name(certificate.get()), &bytes), bytes), names));
    const int at = X509_get_ext_by_NID(certificate.get(), NID_subject_alt_name, -1);
    if (at >= 0) {
        const ASN1_OCTET_STRING* value = X509_EXTENSION_get_data(X509_get_ext(certificate.get(), at));
        Require(nsTls::ReadAltNames({reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                                     static_cast<std::size_t>(ASN1_STRING_length(value))},
                                    names));
    }
    Require(names.dnsNames == expected.dnsNames && names.addresses == expected.addresses &&
            names.commonNames == expected.commonNames);

    // The native build's check, with its flags; a host that is no reference name is refused there.
    constexpr unsigned kFlags = X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS;
    bool byOpenSsl = false;
    if (nsTls::IsAddress(host)) {
        byOpenSsl = X509_check_ip_asc(certificate.get(), host.c_str(), kFlags) == 1;
    } else if (const std::string name = nsTls::ReferenceName(host); !name.empty()) {
        byOpenSsl = X509_check_host(certificate.get(), name.c_str(), name.size(), kFlags, nullptr) == 1;
    }
    Require(nsTls::NamesHost(names, host) == byOpenSsl);
    return 0;
}
