// Which pages may use the control: a page URL matched against a build's list of sites.
#include "control/SiteAllowList.h"

#include "ftp/Decimal.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tovalo {
namespace {

// The part of a URL that names its site.
struct Origin {
    std::string scheme;  // lower case
    std::string host;    // lower case; for a wildcard entry the domain after "*."
    unsigned port = 0;   // explicit, else the scheme's default, else 0
    bool wildcard = false;
};

struct DefaultPort {
    std::string_view scheme;
    unsigned port;
};
constexpr DefaultPort kDefaultPorts[] = {{"http", 80}, {"https", 443}, {"ftp", 21}, {"ws", 80}, {"wss", 443}};

constexpr unsigned kMaxPort = 65535;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsHex(char c) { return nsFTP::IsDigit(c) || (Lower(c) >= 'a' && Lower(c) <= 'f'); }

std::string LowerText(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Lower(c);
    return out;
}

unsigned DefaultPortOf(std::string_view scheme) {
    for (const DefaultPort& d : kDefaultPorts) {
        if (d.scheme == scheme) return d.port;
    }
    return 0;
}

// A DNS name or IPv4 literal: letters, digits, dots and hyphens. Anything else (percent
// escapes, non-ASCII, blanks) is not compared at all: a browser would have turned it into
// another text first, so it cannot be told to be the same site.
bool IsPlainHost(std::string_view host) {
    if (host.empty()) return false;
    for (const char c : host) {
        if (!IsAlpha(c) && !nsFTP::IsDigit(c) && c != '.' && c != '-') return false;
    }
    return true;
}

// An IPv6 literal in its brackets.
bool IsBracketedHost(std::string_view host) {
    if (host.size() < 3 || host.front() != '[' || host.back() != ']') return false;
    for (const char c : host.substr(1, host.size() - 2)) {
        if (!IsHex(c) && c != ':' && c != '.') return false;
    }
    return true;
}

// "scheme:" at the start of text; returns the scheme, text left after the colon.
std::optional<std::string> TakeScheme(std::string_view& text) {
    const size_t colon = text.find(':');
    if (colon == 0 || colon == std::string_view::npos || !IsAlpha(text[0])) return std::nullopt;
    for (const char c : text.substr(0, colon)) {
        if (!IsAlpha(c) && !nsFTP::IsDigit(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
    }
    std::string scheme = LowerText(text.substr(0, colon));
    text.remove_prefix(colon + 1);
    return scheme;
}

// "host" or "host:port" (an empty port is the default one, as browsers read it).
bool ParseHostPort(std::string_view hostPort, Origin& origin) {
    size_t colon = std::string_view::npos;
    if (!hostPort.empty() && hostPort.front() == '[') {
        const size_t close = hostPort.find(']');
        if (close == std::string_view::npos) return false;
        if (close + 1 < hostPort.size()) {
            if (hostPort[close + 1] != ':') return false;
            colon = close + 1;
        }
    } else {
        colon = hostPort.rfind(':');
    }
    const std::string_view host = hostPort.substr(0, colon);
    if (!IsPlainHost(host) && !IsBracketedHost(host)) return false;
    origin.host = LowerText(host);
    origin.port = DefaultPortOf(origin.scheme);
    if (colon == std::string_view::npos) return true;
    const std::string_view digits = hostPort.substr(colon + 1);
    if (digits.empty()) return true;
    if (digits.size() > 5) return false;
    const std::optional<std::uint64_t> port = nsFTP::ReadDecimal(digits);
    if (!port || *port == 0 || *port > kMaxPort) return false;
    origin.port = static_cast<unsigned>(*port);
    return true;
}

// What a text names a site in: a page's URL, or an entry of the list.
enum class OriginText { kPageUrl, kEntry };

// The site a text names: "scheme://" and then, in a page's URL, "[userinfo@]host[:port]" followed
// by the end or by a path, query or fragment (a backslash ends the host as a slash does, as
// browsers read web URLs); in an entry "host[:port]" or "*.domain[:port]", nothing more.
std::optional<Origin> OriginOf(std::string_view text, OriginText kind) {
    Origin origin;
    auto scheme = TakeScheme(text);
    if (!scheme || text.substr(0, 2) != "//") return std::nullopt;
    origin.scheme = std::move(*scheme);
    text.remove_prefix(2);
    std::string_view authority = text;
    if (kind == OriginText::kPageUrl) {
        authority = text.substr(0, text.find_first_of("/\\?#"));
        if (const size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    } else {
        if (authority.substr(0, 2) == "*.") {
            origin.wildcard = true;
            authority.remove_prefix(2);
            if (!authority.empty() && authority.front() == '[') return std::nullopt;
        }
        if (authority.find_first_of("/\\?#@") != std::string_view::npos) return std::nullopt;
    }
    if (!ParseHostPort(authority, origin)) return std::nullopt;
    return origin;
}

bool HostMatches(const Origin& entry, std::string_view host) {
    if (!entry.wildcard) return host == entry.host;
    // Any name below the domain: "*.example.com" takes a.example.com and a.b.example.com.
    return host.size() > entry.host.size() + 1 && host.ends_with(entry.host) &&
           host[host.size() - entry.host.size() - 1] == '.';
}

}  // namespace

bool IsSiteEntry(std::string_view entry) { return OriginOf(entry, OriginText::kEntry).has_value(); }

bool SiteAllowed(std::string_view url, std::span<const std::string_view> entries) {
    const std::optional<Origin> page = OriginOf(url, OriginText::kPageUrl);
    if (!page) return false;
    for (const std::string_view text : entries) {
        const std::optional<Origin> entry = OriginOf(text, OriginText::kEntry);
        if (entry && entry->scheme == page->scheme && entry->port == page->port && HostMatches(*entry, page->host)) {
            return true;
        }
    }
    return false;
}

bool IsLocalPage(std::string_view url) {
    std::string_view rest = url;
    const std::optional<std::string> scheme = TakeScheme(rest);
    if (!scheme) return false;
    if (*scheme == "file") {
        // "file:///C:/page.html" or "file://localhost/C:/page.html"; "file://server/share/..." and
        // "file:////server/share/..." are pages of another machine.
        if (rest.substr(0, 2) == "//") {
            rest.remove_prefix(2);
            const std::string_view authority = rest.substr(0, rest.find_first_of("/\\"));
            if (!authority.empty() && LowerText(authority) != "localhost") return false;
            rest.remove_prefix(authority.size());
        }
        const size_t separators = rest.find_first_not_of("/\\");
        return separators == std::string_view::npos || separators < 2;
    }
    if (*scheme != "http" && *scheme != "https") return false;
    const std::optional<Origin> page = OriginOf(url, OriginText::kPageUrl);
    return page && (page->host == "localhost" || page->host == "127.0.0.1" || page->host == "[::1]");
}

bool PageAdmitted(SitePolicy policy, std::string_view url, std::span<const std::string_view> entries) {
    switch (policy) {
    case SitePolicy::kLocalPages:
        return IsLocalPage(url);
    case SitePolicy::kListedSites:
        return SiteAllowed(url, entries);
    case SitePolicy::kEverySite:
        return true;
    }
    return false;
}

}  // namespace tovalo
