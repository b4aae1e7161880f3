// CDirListingStream: listing lines from the line splitter through the parser to the handler.
#include "ftp/DirListingStream.h"

#include <utility>

namespace nsFTP {

CDirListingStream::CDirListingStream(CDirListingParser& parser, Handler handler)
    : m_parser(parser), m_handler(std::move(handler)), m_splitter([this](std::string_view line) { Take(line); }) {}

void CDirListingStream::Take(std::string_view line) {
    ++m_nLines;
    const bool understood = m_parser.ParseLine(m_status, line);
    if (understood) ++m_nEntries;
    m_handler(line, understood ? &m_status : nullptr);
}

bool CDirListingStream::Feed(std::string_view bytes) { return m_splitter.Take(bytes.data(), bytes.size()); }

void CDirListingStream::Finish() { m_splitter.Finish(); }

std::size_t ParseListing(CDirListingParser& parser, std::string_view text, const CDirListingStream::Handler& handler) {
    CDirListingStream stream(parser, handler);
    stream.Feed(text);  // one piece: its lines are all complete or the last one, never overlong
    stream.Finish();
    return stream.Entries();
}

}  // namespace nsFTP
