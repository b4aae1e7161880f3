// Which pages may use the control: a page URL matched against a build's list of sites. Portable
// and pure, so that the rules are tested natively in a table.
#pragma once

#include <span>
#include <string_view>

namespace tovalo {

// An entry names one site, "scheme://host" or "scheme://host:port", or every host below a
// domain, "scheme://*.example.com" (not example.com itself). Whether entry has that form.
bool IsSiteEntry(std::string_view entry);

// Whether the page at url belongs to a site of the list. An empty list admits every page (the
// control's behaviour without a list); with a list, a page without a URL, with a URL that is not
// plainly "scheme://host..." or whose host is not a plain DNS name or IP literal is refused.
// Schemes and hosts compare without regard to case; a port that the URL leaves out is the
// scheme's default one. Malformed entries admit nothing.
bool SiteAllowed(std::string_view url, std::span<const std::string_view> entries);

}  // namespace tovalo
