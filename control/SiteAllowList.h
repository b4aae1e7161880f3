// Which pages may use the control: a page URL matched against a build's list of sites. Portable
// and pure, so that the rules are tested natively in a table.
#pragma once

#include <span>
#include <string_view>

namespace tovalo {

// How a build admits pages: only pages of the local machine (the default: a build that was given
// no sites fails closed), the pages of a list of sites, or every page ("*", a deliberate choice).
enum class SitePolicy { kLocalPages, kListedSites, kEverySite };

// An entry names one site, "scheme://host" or "scheme://host:port", or every host below a
// domain, "scheme://*.example.com" (not example.com itself). Whether entry has that form.
bool IsSiteEntry(std::string_view entry);

// Whether the page at url belongs to a site of the list. A page without a URL, with a URL that is
// not plainly "scheme://host..." or whose host is not a plain DNS name or IP literal is refused.
// Schemes and hosts compare without regard to case; a port that the URL leaves out is the
// scheme's default one. Malformed entries admit nothing; an empty list admits no page.
bool SiteAllowed(std::string_view url, std::span<const std::string_view> entries);

// Whether the page at url comes from this machine: a file: URL of no host (or "localhost") that
// does not name a network share, or an http or https URL on localhost, 127.0.0.1 or [::1] at any
// port. A host that only begins with "localhost" is another machine.
bool IsLocalPage(std::string_view url);

// Whether the page at url may use the control under policy (entries: the sites of kListedSites).
bool PageAdmitted(SitePolicy policy, std::string_view url, std::span<const std::string_view> entries);

// The policy and the sites this OCX was built with (TOVALO_ALLOWED_SITES). Each OCX links its own
// definition (BuiltSites.cpp, compiled against its own AllowedSites.h), the one file that differs
// between the builds for the three policies.
struct BuiltSites {
    SitePolicy policy;
    std::span<const std::string_view> sites;
};
BuiltSites SitesOfThisBuild();

}  // namespace tovalo
