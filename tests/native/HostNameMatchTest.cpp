// The host name rules of the Windows build against OpenSSL's, the native build's: each row becomes
// a certificate (built in memory, unsigned), read back from its DER as the Windows build reads it,
// and judged both by our matcher and by X509_check_host / X509_check_ip_asc as the native backend
// calls them. Both must give the row's answer.
#include "ftp/HostNameMatch.h"

#include <gtest/gtest.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <string>
#include <vector>

#include "ftp/TlsText.h"

namespace {

using namespace std::string_literals;

struct NameRow {
    std::string host;
    std::vector<std::string> dns;  // subjectAltName dNSName entries
    std::vector<std::string> ips;  // subjectAltName iPAddress entries, as text
    std::vector<std::string> cns;  // the subject's common names
    bool names;
};

const NameRow kNameRows[] = {
    {"good.example.org", {"good.example.org"}, {}, {}, true},
    {"GOOD.Example.ORG", {"good.example.org"}, {}, {}, true},
    {"good.example.org", {"GOOD.EXAMPLE.ORG"}, {}, {}, true},
    {"good.example.org", {"bad.example.org", "good.example.org"}, {}, {}, true},
    {"good.example.org.", {"good.example.org"}, {}, {}, true},    // one trailing dot is the same name
    {"good.example.org..", {"good.example.org"}, {}, {}, false},  // an empty label
    {"good.example.org", {"good.example.org."}, {}, {}, false},
    {".example.org", {"good.example.org"}, {}, {}, false},  // OpenSSL would take any subdomain
    {"", {"good.example.org"}, {}, {}, false},
    {"good.example.org", {""}, {}, {}, false},
    {"good.example.org", {"good.example.org"s + '\0' + ".evil.test"}, {}, {}, false},
    {"good.example.org\n", {"good.example.org"}, {}, {}, false},
    // The common name counts only when there is no dNSName entry (an empty one included).
    {"good.example.org", {}, {}, {"good.example.org"}, true},
    {"good.example.org", {}, {}, {"other", "good.example.org"}, true},
    {"good.example.org", {"other.example.org"}, {}, {"good.example.org"}, false},
    {"good.example.org", {""}, {}, {"good.example.org"}, false},
    {"good.example.org", {}, {"127.0.0.1"}, {"good.example.org"}, true},
    {"good.example.org", {}, {}, {"good.example.org"s + '\0' + ".evil.test"}, false},
    // Wildcards: a whole first label with two labels or more after it, standing for one label.
    {"good.example.org", {"*.example.org"}, {}, {}, true},
    {"GOOD.EXAMPLE.ORG.", {"*.Example.Org"}, {}, {}, true},
    {"good.example.org", {}, {}, {"*.example.org"}, true},
    {"example.org", {"*.org"}, {}, {}, false},
    {"example.org", {}, {}, {"*.org"}, false},
    {"example.org", {"*.example.org"}, {}, {}, false},
    {"a.b.example.org", {"*.example.org"}, {}, {}, false},
    {"foo.example.org", {"f*.example.org"}, {}, {}, false},
    {"foo.example.org", {"*o.example.org"}, {}, {}, false},
    {"foo.example.org", {"f*o.example.org"}, {}, {}, false},
    {"good.example.org", {"good.*.org"}, {}, {}, false},
    {"good.example.org", {"*.*.org"}, {}, {}, false},
    {"good.example.org", {"*"}, {}, {}, false},
    {"good.example.org", {"*.example.org."}, {}, {}, false},
    {"a_b.example.org", {"*.example.org"}, {}, {}, false},
    {"xn--bcher-kva.example.org", {"xn--*.example.org"}, {}, {}, false},
    {"xn--bcher-kva.example.org", {"*.example.org"}, {}, {}, true},  // a whole label may be an A-label
    {"a.xn--bcher-kva.example", {"*.xn--bcher-kva.example"}, {}, {}, true},
    {"good.example.org", {"*.-example.org"}, {}, {}, false},
    // Addresses: only iPAddress entries count, and only the same four octets.
    {"127.0.0.1", {}, {"127.0.0.1"}, {}, true},
    {"127.0.0.1", {"localhost"}, {"::1", "127.0.0.1"}, {}, true},
    {"127.0.0.1", {}, {}, {"127.0.0.1"}, false},
    {"127.0.0.1", {"127.0.0.1"}, {}, {}, false},
    {"127.0.0.2", {}, {"127.0.0.1"}, {}, false},
    {"127.0.0.1", {}, {"::ffff:127.0.0.1"}, {}, false},
    {"127.0.0.01", {}, {"127.0.0.1"}, {}, false},  // not an address: the system reads 01 as octal
};

struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using TCertificate = std::unique_ptr<X509, CertificateFree>;

TCertificate BuildCertificate(const NameRow& row) {
    TCertificate certificate(X509_new());
    X509_set_version(certificate.get(), X509_VERSION_3);
    X509_NAME* subject = X509_get_subject_name(certificate.get());
    for (const std::string& cn : row.cns)
        X509_NAME_add_entry_by_NID(subject, NID_commonName, V_ASN1_UTF8STRING,
                                   reinterpret_cast<const unsigned char*>(cn.data()), static_cast<int>(cn.size()), -1,
                                   0);
    if (!row.dns.empty() || !row.ips.empty()) {
        GENERAL_NAMES* names = sk_GENERAL_NAME_new_null();
        for (const std::string& dns : row.dns) {
            ASN1_IA5STRING* text = ASN1_IA5STRING_new();
            ASN1_STRING_set(text, dns.data(), static_cast<int>(dns.size()));
            GENERAL_NAME* name = GENERAL_NAME_new();
            GENERAL_NAME_set0_value(name, GEN_DNS, text);
            sk_GENERAL_NAME_push(names, name);
        }
        for (const std::string& ip : row.ips) {
            GENERAL_NAME* name = GENERAL_NAME_new();
            GENERAL_NAME_set0_value(name, GEN_IPADD, a2i_IPADDRESS(ip.c_str()));
            sk_GENERAL_NAME_push(names, name);
        }
        X509_add1_ext_i2d(certificate.get(), NID_subject_alt_name, names, 0, X509V3_ADD_DEFAULT);
        GENERAL_NAMES_free(names);
    }
    return certificate;
}

std::string SubjectDer(X509* certificate) {
    unsigned char* der = nullptr;
    const int size = i2d_X509_NAME(X509_get_subject_name(certificate), &der);
    std::string bytes(reinterpret_cast<const char*>(der), static_cast<std::size_t>(size));
    OPENSSL_free(der);
    return bytes;
}

std::string AltNamesDer(X509* certificate) {
    const int at = X509_get_ext_by_NID(certificate, NID_subject_alt_name, -1);
    if (at < 0) return {};
    const ASN1_OCTET_STRING* value = X509_EXTENSION_get_data(X509_get_ext(certificate, at));
    return {reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
            static_cast<std::size_t>(ASN1_STRING_length(value))};
}

// As TlsPosix.cpp asks OpenSSL, with its flags: a host that is no reference name is refused there.
bool OpenSslNames(X509* certificate, const std::string& host) {
    constexpr unsigned kFlags = X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS;
    if (nsTls::IsAddress(host)) return X509_check_ip_asc(certificate, host.c_str(), kFlags) == 1;
    const std::string name = nsTls::ReferenceName(host);
    return !name.empty() && X509_check_host(certificate, name.c_str(), name.size(), kFlags, nullptr) == 1;
}

TEST(HostNameMatch, AgreesWithOpenSsl) {
    for (const NameRow& row : kNameRows) {
        SCOPED_TRACE("host \"" + row.host + "\", dNSName " + ::testing::PrintToString(row.dns) + ", iPAddress " +
                     ::testing::PrintToString(row.ips) + ", CN " + ::testing::PrintToString(row.cns));
        const TCertificate certificate = BuildCertificate(row);
        nsTls::CCertificateNames names;
        ASSERT_TRUE(nsTls::ReadCommonNames(SubjectDer(certificate.get()), names));
        const std::string altNames = AltNamesDer(certificate.get());
        ASSERT_TRUE(altNames.empty() || nsTls::ReadAltNames(altNames, names));
        EXPECT_EQ(names.dnsNames, row.dns);
        EXPECT_EQ(names.commonNames, row.cns);
        EXPECT_EQ(names.addresses.size(), row.ips.size());
        EXPECT_EQ(nsTls::NamesHost(names, row.host), row.names);
        EXPECT_EQ(OpenSslNames(certificate.get(), row.host), row.names);
    }
}

// A name list cut short anywhere is refused whole, never read in part.
TEST(HostNameMatch, CutDerIsRefused) {
    const TCertificate certificate =
        BuildCertificate({"", {"a.example.org", "b.example.org"}, {"127.0.0.1"}, {"a", "b"}, false});
    for (const std::string& der : {AltNamesDer(certificate.get()), SubjectDer(certificate.get())}) {
        for (std::size_t size = 0; size < der.size(); ++size) {
            SCOPED_TRACE(size);
            nsTls::CCertificateNames names;
            const std::string cut = der.substr(0, size);
            EXPECT_FALSE(nsTls::ReadAltNames(cut, names));
            EXPECT_FALSE(nsTls::ReadCommonNames(cut, names));
        }
    }
}

// A common name that is not ASCII text ends the common names (it could never match a host).
TEST(HostNameMatch, CommonNamesStopAtOneThatIsNotAscii) {
    const TCertificate certificate = BuildCertificate({"", {}, {}, {"a", "\xED\x95\x9C", "b"}, false});
    nsTls::CCertificateNames names;
    ASSERT_TRUE(nsTls::ReadCommonNames(SubjectDer(certificate.get()), names));
    EXPECT_EQ(names.commonNames, (std::vector<std::string>{"a"}));
}

}  // namespace
