// tovalo-ftp parse: listing lines from a stream in, one entry line (or FAIL line) per input line out.
#include "tools/tovalo-ftp/ParseCommand.h"

#include <charconv>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string_view>

#include "ftp/DirListingParser.h"
#include "tools/tovalo-ftp/EntryLine.h"

namespace
{

constexpr std::size_t kChunk = 1 << 16;

constexpr char kUsage[] = "usage: tovalo-ftp parse [--now EPOCH]\n";

struct Options
{
    std::optional<std::int64_t> now;
};

std::optional<std::int64_t> ParseEpoch(std::string_view text)
{
    std::int64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<Options> ParseArgs(const std::vector<std::string>& args, std::ostream& err)
{
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        if (args[i] != "--now" || options.now)
        {
            err << "tovalo-ftp parse: unexpected argument \"" << args[i] << "\"\n" << kUsage;
            return std::nullopt;
        }
        if (i + 1 == args.size())
        {
            err << "tovalo-ftp parse: --now needs seconds since 1970\n" << kUsage;
            return std::nullopt;
        }
        options.now = ParseEpoch(args[++i]);
        if (!options.now)
        {
            err << "tovalo-ftp parse: --now needs seconds since 1970, not \"" << args[i] << "\"\n" << kUsage;
            return std::nullopt;
        }
    }
    return options;
}

// Parses whole lines and collects the output, handing it to the stream in large pieces.
class CLinePrinter
{
public:
    CLinePrinter(nsFTP::CDirListingParser& parser, std::ostream& out) : m_parser(parser), m_out(out)
    {
        m_buffer.reserve(2 * kChunk);
    }

    void Line(std::string_view line)
    {
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (m_parser.ParseLine(m_status, line))
            AppendEntryLine(m_buffer, m_status);
        else
        {
            m_buffer.append("FAIL\t");
            m_buffer.append(line);
        }
        m_buffer += '\n';
        if (m_buffer.size() >= kChunk)
            Flush();
    }

    void Flush()
    {
        m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
        m_buffer.clear();
    }

private:
    nsFTP::CDirListingParser& m_parser;
    std::ostream& m_out;
    nsFTP::CFTPFileStatus m_status;  // reused: its strings keep their storage from line to line
    std::string m_buffer;
};

}  // namespace

int RunParseCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err)
{
    const std::optional<Options> options = ParseArgs(args, err);
    if (!options)
        return 2;

    // One parser for the whole input, as for one listing.
    nsFTP::CDirListingParser parser = options->now ? nsFTP::CDirListingParser(nsFTP::CDirListingParser::FixedClock(*options->now))
                                                   : nsFTP::CDirListingParser();
    CLinePrinter printer(parser, out);

    std::string pending;  // the unfinished last line of what has been read
    std::string chunk(kChunk, '\0');
    while (in)
    {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0)
            break;
        std::string_view data(chunk.data(), got);
        std::size_t newline = data.find('\n');
        if (newline == std::string_view::npos)
        {
            pending.append(data);
            continue;
        }
        if (!pending.empty())
        {
            pending.append(data.substr(0, newline));
            printer.Line(pending);
            pending.clear();
            data.remove_prefix(newline + 1);
            newline = data.find('\n');
        }
        while (newline != std::string_view::npos)
        {
            printer.Line(data.substr(0, newline));
            data.remove_prefix(newline + 1);
            newline = data.find('\n');
        }
        pending.assign(data);
    }
    if (!pending.empty())
        printer.Line(pending);
    printer.Flush();
    out.flush();

    if (in.bad())
    {
        err << "tovalo-ftp parse: cannot read the input\n";
        return 1;
    }
    if (!out)
    {
        err << "tovalo-ftp parse: cannot write the output\n";
        return 1;
    }
    return 0;
}
