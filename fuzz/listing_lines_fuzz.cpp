// libFuzzer target: a listing's bytes in arbitrary receive splits give the lines of the whole text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/ListingLines.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// The lines of the whole text, cut the plain way: LF ends a line, a CR before it is dropped, a last
// piece without LF counts; the first line that grows beyond maxLine ends everything.
std::vector<std::string> ReferenceLines(std::string_view text, std::size_t maxLine, bool& overlong) {
    std::vector<std::string> lines;
    overlong = false;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lineFeed = text.find('\n', start);
        const std::size_t end = lineFeed == std::string_view::npos ? text.size() : lineFeed;
        if (end - start > maxLine) {
            overlong = true;
            return lines;
        }
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (lineFeed == std::string_view::npos) break;
        start = lineFeed + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // Header: the split seed and, from it, a bound on a line small enough to be met (the client's own
    // bound takes the same path, only later); the rest is the listing.
    std::uint32_t state = (std::uint32_t{data[0]} << 8 | data[1]) | 1u;
    const std::size_t maxLine = (data[0] & 0x80) != 0 ? std::size_t{data[1]} : nsFTP::kMaxListingLine;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    std::vector<std::string> lines;
    nsFTP::CListingLineSplitter splitter([&lines](std::string_view line) { lines.emplace_back(line); }, maxLine);
    bool taken = true;
    for (std::size_t at = 0; at < text.size() && taken;) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const std::size_t count = std::min<std::size_t>(text.size() - at, 1 + state % 300);
        taken = splitter.Take(text.data() + at, count);
        at += count;
    }
    if (taken) splitter.Finish();

    bool overlong = false;
    const std::vector<std::string> expected = ReferenceLines(text, maxLine, overlong);
    Require(taken == !overlong);
    if (taken)
        Require(lines == expected);
    else
        Require(lines.size() <= expected.size() && std::equal(lines.begin(), lines.end(), expected.begin()));
    return 0;
}
