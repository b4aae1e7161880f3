// Reading a certificate's names from DER and matching a host against them (see HostNameMatch.h).
#include "ftp/HostNameMatch.h"

#include "ftp/Decimal.h"
#include "ftp/TlsText.h"

#include <algorithm>
#include <cstddef>

namespace nsTls {
namespace {

// DER tags of the structures read here.
constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kSet = 0x31;
constexpr unsigned char kObjectId = 0x06;
constexpr unsigned char kDnsName = 0x82;                      // GeneralName [2] IMPLICIT IA5String
constexpr unsigned char kIpAddress = 0x87;                    // GeneralName [7] IMPLICIT OCTET STRING
constexpr std::string_view kCommonNameId("\x55\x04\x03", 3);  // 2.5.4.3

struct CElement {
    unsigned char tag = 0;
    std::string_view contents;
};

// The element at the start of der, which then starts after it. False when der does not start with
// a whole element of definite length.
bool NextElement(std::string_view& der, CElement& element) {
    if (der.size() < 2) return false;
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(der[at]); };
    if ((byte(0) & 0x1F) == 0x1F) return false;  // a tag number above 30: none in these structures
    std::size_t length = byte(1);
    std::size_t at = 2;
    if (length & 0x80) {
        const std::size_t count = length & 0x7F;
        if (count == 0 || count > 4 || der.size() - at < count) return false;  // indefinite, or absurd
        length = 0;
        for (std::size_t i = 0; i < count; ++i) length = length << 8 | byte(at + i);
        at += count;
    }
    if (der.size() - at < length) return false;
    element = {byte(0), der.substr(at, length)};
    der.remove_prefix(at + length);
    return true;
}

// The one element that der is, nothing after it.
bool WholeElement(std::string_view der, unsigned char tag, CElement& element) {
    return NextElement(der, element) && element.tag == tag && der.empty();
}

// A directory string as ASCII text: the 8-bit string types byte for byte, BMPString and
// UniversalString by their code units. False for another type, or a character that is not ASCII.
bool AsciiText(const CElement& value, std::string& text) {
    std::size_t unit = 0;
    switch (value.tag) {
    case 0x0C:  // UTF8String
    case 0x12:  // NumericString
    case 0x13:  // PrintableString
    case 0x14:  // T61String
    case 0x16:  // IA5String
    case 0x1A:  // VisibleString
        unit = 1;
        break;
    case 0x1E:  // BMPString
        unit = 2;
        break;
    case 0x1C:  // UniversalString
        unit = 4;
        break;
    default:
        return false;
    }
    if (value.contents.size() % unit != 0) return false;
    text.clear();
    for (std::size_t at = 0; at < value.contents.size(); at += unit) {
        for (std::size_t high = 0; high + 1 < unit; ++high)
            if (value.contents[at + high] != 0) return false;
        const char c = value.contents[at + unit - 1];
        if (static_cast<unsigned char>(c) >= 0x80) return false;
        text += c;
    }
    return true;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool IsLdh(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || nsFTP::IsDigit(c) || c == '-'; }

// A label of a wildcard's fixed part: letters, digits and hyphens, not starting or ending with one.
bool IsPlainLabel(std::string_view label) {
    return !label.empty() && label.front() != '-' && label.back() != '-' &&
           std::all_of(label.begin(), label.end(), IsLdh);
}

// Whether the pattern is a wildcard that counts: "*." and then two plain labels or more. Any other
// pattern with a "*" (f*.example.org, *.org, a.*.example.org, xn--*.example.org) is only
// text, which a real host name never equals.
bool IsWildcard(std::string_view pattern) {
    if (pattern.size() < 2 || pattern[0] != '*' || pattern[1] != '.') return false;
    std::string_view rest = pattern.substr(2);
    int labels = 0;
    for (;;) {
        const std::size_t dot = rest.find('.');
        if (!IsPlainLabel(rest.substr(0, dot))) return false;
        ++labels;
        if (dot == std::string_view::npos) break;
        rest.remove_prefix(dot + 1);
    }
    return labels >= 2;
}

bool NameMatches(std::string_view pattern, std::string_view host) {
    if (!IsWildcard(pattern)) return EqualNoCase(pattern, host);
    // The "*" stands for the host's whole first label, which must not be empty.
    const std::string_view suffix = pattern.substr(1);
    if (host.size() <= suffix.size() || !EqualNoCase(host.substr(host.size() - suffix.size()), suffix)) return false;
    const std::string_view label = host.substr(0, host.size() - suffix.size());
    return label == "*" || std::all_of(label.begin(), label.end(), IsLdh);
}

// The four octets of an address that IsAddress took.
std::string AddressOctets(std::string_view address) {
    std::string octets(4, '\0');
    std::size_t part = 0;
    unsigned value = 0;
    for (const char c : address) {
        if (c == '.') {
            octets[part++] = static_cast<char>(value);
            value = 0;
        } else {
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
    }
    octets[part] = static_cast<char>(value);
    return octets;
}

}  // namespace

bool ReadAltNames(std::string_view der, CCertificateNames& names) {
    CElement sequence;
    if (!WholeElement(der, kSequence, sequence)) return false;
    std::string_view rest = sequence.contents;
    while (!rest.empty()) {
        CElement name;
        // Every GeneralName is context-specific; those of other kinds are stepped over.
        if (!NextElement(rest, name) || (name.tag & 0xC0) != 0x80) return false;
        if (name.tag == kDnsName)
            names.dnsNames.emplace_back(name.contents);
        else if (name.tag == kIpAddress)
            names.addresses.emplace_back(name.contents);
    }
    return true;
}

bool ReadCommonNames(std::string_view der, CCertificateNames& names) {
    CElement name;
    if (!WholeElement(der, kSequence, name)) return false;
    bool stopped = false;
    std::string text;
    for (std::string_view rdns = name.contents; !rdns.empty();) {
        CElement rdn;
        if (!NextElement(rdns, rdn) || rdn.tag != kSet) return false;
        for (std::string_view attributes = rdn.contents; !attributes.empty();) {
            CElement attribute;
            CElement type;
            CElement value;
            if (!NextElement(attributes, attribute) || attribute.tag != kSequence) return false;
            std::string_view parts = attribute.contents;
            if (!NextElement(parts, type) || type.tag != kObjectId || !NextElement(parts, value) || !parts.empty())
                return false;
            if (type.contents != kCommonNameId || stopped) continue;
            if (AsciiText(value, text))
                names.commonNames.push_back(text);
            else
                stopped = true;
        }
    }
    return true;
}

std::string ReferenceName(std::string_view host) {
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    if (host.empty() || host.front() == '.' || host.back() == '.' || host.find("..") != std::string_view::npos)
        return {};
    for (const char c : host)
        if (c <= ' ' || c > '~') return {};
    return std::string(host);
}

bool NamesHost(const CCertificateNames& names, std::string_view host) {
    if (IsAddress(host)) {
        const std::string octets = AddressOctets(host);
        return std::find(names.addresses.begin(), names.addresses.end(), octets) != names.addresses.end();
    }
    const std::string reference = ReferenceName(host);
    if (reference.empty()) return false;
    const std::vector<std::string>& patterns = names.dnsNames.empty() ? names.commonNames : names.dnsNames;
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const std::string& pattern) { return NameMatches(pattern, reference); });
}

}  // namespace nsTls
