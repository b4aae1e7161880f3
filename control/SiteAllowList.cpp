// Which pages may use the control: a page URL matched against a build's list of sites.
#include "control/SiteAllowList.h"

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
bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDecimalDigit(c) || (Lower(c) >= 'a' && Lower(c) <= 'f'); }

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
        if (!IsAlpha(c) && !IsDecimalDigit(c) && c != '.' && c != '-') return false;
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
        if (!IsAlpha(c) && !IsDecimalDigit(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
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
    unsigned port = 0;
    for (const char c : digits) {
        if (!IsDecimalDigit(c)) return false;
        port = port * 10 + static_cast<unsigned>(c - '0');
    }
    if (port == 0 || port > kMaxPort) return false;
    origin.port = port;
    return true;
}

// The site of a page URL: "scheme://[userinfo@]host[:port]" followed by the end or by a path,
// query or fragment. A backslash ends the host as a slash does, as browsers read web URLs.
std::optional<Origin> PageOrigin(std::string_view url) {
    Origin origin;
    auto scheme = TakeScheme(url);
    if (!scheme || url.substr(0, 2) != "//") return std::nullopt;
    origin.scheme = std::move(*scheme);
    url.remove_prefix(2);
    std::string_view authority = url.substr(0, url.find_first_of("/\\?#"));
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    if (!ParseHostPort(authority, origin)) return std::nullopt;
    return origin;
}

// An entry of the list: "scheme://host[:port]" or "scheme://*.domain[:port]", nothing more.
std::optional<Origin> EntryOrigin(std::string_view entry) {
    Origin origin;
    auto scheme = TakeScheme(entry);
    if (!scheme || entry.substr(0, 2) != "//") return std::nullopt;
    origin.scheme = std::move(*scheme);
    entry.remove_prefix(2);
    if (entry.substr(0, 2) == "*.") {
        origin.wildcard = true;
        entry.remove_prefix(2);
        if (!entry.empty() && entry.front() == '[') return std::nullopt;
    }
    if (entry.find_first_of("/\\?#@") != std::string_view::npos) return std::nullopt;
    if (!ParseHostPort(entry, origin)) return std::nullopt;
    return origin;
}

bool HostMatches(const Origin& entry, std::string_view host) {
    if (!entry.wildcard) return host == entry.host;
    // Any name below the domain: "*.example.com" takes a.example.com and a.b.example.com.
    return host.size() > entry.host.size() + 1 && host.ends_with(entry.host) &&
           host[host.size() - entry.host.size() - 1] == '.';
}

}  // namespace

bool IsSiteEntry(std::string_view entry) { return EntryOrigin(entry).has_value(); }

bool SiteAllowed(std::string_view url, std::span<const std::string_view> entries) {
    const std::optional<Origin> page = PageOrigin(url);
    if (!page) return false;
    for (const std::string_view text : entries) {
        const std::optional<Origin> entry = EntryOrigin(text);
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
    const std::optional<Origin> page = PageOrigin(url);
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
