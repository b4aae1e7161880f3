// CDirListingParser: layout choice and the four line layouts (EPLF, UNIX, MultiNet/VMS, MS-DOS).
#include "ftp/DirListingParser.h"

#include <chrono>

namespace nsFTP
{

CDirListingParser::CDirListingParser() : CDirListingParser(Clock{}) {}

CDirListingParser::CDirListingParser(Clock clock) : m_clock(std::move(clock)) {}

CDirListingParser::Clock CDirListingParser::FixedClock(std::int64_t nowSeconds)
{
    return [nowSeconds] { return nowSeconds; };
}

bool CDirListingParser::ParseLine(CFTPFileStatus& status, std::string_view line)
{
    status.Reset();
    (void)line;
    return false;
}

std::int64_t CDirListingParser::DateToTime(std::int64_t, std::int64_t, std::int64_t) noexcept { return 0; }

}  // namespace nsFTP
