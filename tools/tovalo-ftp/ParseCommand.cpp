// tovalo-ftp parse: listing lines from a stream in, one entry line (or FAIL line) per input line out.
#include "tools/tovalo-ftp/ParseCommand.h"

#include <charconv>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string_view>

#include "ftp/DirListingParser.h"
#include "ftp/DirListingStream.h"
#include "tools/tovalo-ftp/EntryLine.h"
#include "tools/tovalo-ftp/TextEscape.h"

namespace {

constexpr std::size_t kChunk = 1 << 16;

constexpr char kUsage[] = "usage: tovalo-ftp parse [--now EPOCH]\n";

struct Options {
    std::optional<std::int64_t> now;
};

std::optional<std::int64_t> ParseEpoch(std::string_view text) {
    std::int64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<Options> ParseArgs(const std::vector<std::string>& args, std::ostream& err) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--now" || options.now) {
            err << "tovalo-ftp parse: unexpected argument \"" << args[i] << "\"\n" << kUsage;
            return std::nullopt;
        }
        if (i + 1 == args.size()) {
            err << "tovalo-ftp parse: --now needs seconds since 1970\n" << kUsage;
            return std::nullopt;
        }
        options.now = ParseEpoch(args[++i]);
        if (!options.now) {
            err << "tovalo-ftp parse: --now needs seconds since 1970, not \"" << args[i] << "\"\n" << kUsage;
            return std::nullopt;
        }
    }
    return options;
}

// Collects entry lines and hands them to the stream in large pieces.
class CLinePrinter {
public:
    explicit CLinePrinter(std::ostream& out) : m_out(out) { m_buffer.reserve(2 * kChunk); }

    void Line(std::string_view line, const nsFTP::CFTPFileStatus* entry) {
        if (entry)
            AppendEntryLine(m_buffer, *entry);
        else {
            m_buffer.append("FAIL\t");
            nsFtpCli::AppendEscaped(m_buffer, line);
        }
        m_buffer += '\n';
        if (m_buffer.size() >= kChunk) Flush();
    }

    void Flush() {
        m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
        m_buffer.clear();
    }

private:
    std::ostream& m_out;
    std::string m_buffer;
};

}  // namespace

int RunParseCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    const std::optional<Options> options = ParseArgs(args, err);
    if (!options) return 2;

    // One parser for the whole input, as for one listing.
    nsFTP::CDirListingParser parser =
        options->now ? nsFTP::CDirListingParser(nsFTP::CDirListingParser::FixedClock(*options->now))
                     : nsFTP::CDirListingParser();
    CLinePrinter printer(out);
    nsFTP::CDirListingStream stream(
        parser, [&printer](std::string_view line, const nsFTP::CFTPFileStatus* entry) { printer.Line(line, entry); });
    std::string chunk(kChunk, '\0');
    bool overlong = false;
    while (!overlong) {
        const std::streamsize got = in.readsome(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        if (got > 0) {
            overlong = !stream.Feed(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
            continue;
        }
        // Nothing waiting: show what is parsed before blocking, so that entries from a slow pipe
        // appear as they arrive.
        printer.Flush();
        out.flush();
        if (in.peek() == std::istream::traits_type::eof()) break;
    }
    stream.Finish();
    printer.Flush();
    out.flush();

    if (overlong) {
        err << "tovalo-ftp parse: a line longer than " << (nsFTP::kMaxListingLine >> 20) << " MiB; stopped there\n";
        return 1;
    }
    if (in.bad()) {
        err << "tovalo-ftp parse: cannot read the input\n";
        return 1;
    }
    if (!out) {
        err << "tovalo-ftp parse: cannot write the output\n";
        return 1;
    }
    return 0;
}
