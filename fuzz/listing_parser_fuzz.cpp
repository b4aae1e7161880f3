// libFuzzer target: arbitrary bytes as a directory listing, every line through the listing parser.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ftp/DirListingParser.h"

namespace {

// Whatever the layout, the name is a piece of the line: nothing is invented or read from elsewhere.
void CheckEntry(const nsFTP::CFTPFileStatus& status, std::string_view line) {
    if (line.find(status.Name()) == std::string_view::npos) std::abort();
    if (status.SizeType() == nsFTP::ESizeType::Unknown && status.Size() != -1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Two clocks: the usual present, and one far off so that the year guess meets large years.
    nsFTP::CDirListingParser parsers[] = {
        nsFTP::CDirListingParser(nsFTP::CDirListingParser::FixedClock(1718452800)),
        nsFTP::CDirListingParser(nsFTP::CDirListingParser::FixedClock(INT64_C(4'000'000'000'000))),
    };
    nsFTP::CFTPFileStatus status;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty()) {
        const std::size_t newline = rest.find('\n');
        std::string_view line = rest.substr(0, newline);
        rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        for (auto& parser : parsers)
            if (parser.ParseLine(status, line)) CheckEntry(status, line);
    }
    return 0;
}
