// CDirListingStream: line assembly across pieces, the line cap, and the whole-text form.
#include "ftp/DirListingStream.h"

#include <utility>

namespace nsFTP
{

CDirListingStream::CDirListingStream(CDirListingParser& parser, Handler handler)
    : m_parser(parser), m_handler(std::move(handler))
{
}

void CDirListingStream::Take(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    ++m_nLines;
    const bool understood = m_parser.ParseLine(m_status, line);
    if (understood)
        ++m_nEntries;
    m_handler(line, understood ? &m_status : nullptr);
}

void CDirListingStream::Feed(std::string_view bytes)
{
    while (!bytes.empty())
    {
        const std::size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        const bool closed = end != std::string_view::npos;
        bytes.remove_prefix(closed ? end + 1 : bytes.size());

        if (m_bSkipping)
        {
            m_bSkipping = !closed;
            continue;
        }
        if (m_strPending.empty() && closed && piece.size() <= kMaxLine)
        {
            Take(piece);  // the common case: a whole line within one piece, handed on without a copy
            continue;
        }
        const std::size_t room = kMaxLine - m_strPending.size();
        m_strPending.append(piece.substr(0, room));
        if (piece.size() > room)
        {
            // Cut: hand on what fits, drop the rest of the line.
            Take(m_strPending);
            m_strPending.clear();
            m_bSkipping = !closed;
        }
        else if (closed)
        {
            Take(m_strPending);
            m_strPending.clear();
        }
    }
}

void CDirListingStream::Finish()
{
    if (!m_strPending.empty())
        Take(m_strPending);
    m_strPending.clear();
    m_bSkipping = false;
}

std::size_t ParseListing(CDirListingParser& parser, std::string_view text, const CDirListingStream::Handler& handler)
{
    CDirListingStream stream(parser, handler);
    stream.Feed(text);
    stream.Finish();
    return stream.Entries();
}

}  // namespace nsFTP
