// The site policy of this OCX: the one file each OCX compiles against its own AllowedSites.h.
#include "control/AllowedSites.h"

namespace tovalo {

BuiltSites SitesOfThisBuild() { return {kSitePolicy, kAllowedSites}; }

}  // namespace tovalo
