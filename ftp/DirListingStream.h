// CDirListingStream: parses a listing that arrives in pieces and hands each line to a callback as it completes.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "ftp/DirListingParser.h"
#include "ftp/FTPFileStatus.h"
#include "ftp/ListingLines.h"

namespace nsFTP {

// Nothing of the listing is kept beyond one unfinished line and one record, so memory stays flat
// however many lines a listing has: a caller that prints or counts entries never holds them all.
class CDirListingStream {
public:
    // Called once per line, in order: the line without its line end, and the entry that the parser
    // made of it, or null when the parser did not understand the line. The record is reused for the
    // next line: a handler that keeps an entry copies it.
    using Handler = std::function<void(std::string_view line, const CFTPFileStatus* entry)>;

    CDirListingStream(CDirListingParser& parser, Handler handler);

    // Lines end in LF or CR LF; pieces may split them anywhere. False, and nothing more is taken,
    // once an unfinished line grows beyond kMaxListingLine.
    bool Feed(std::string_view bytes);
    // Hands on the last line when the listing did not end with a line end.
    void Finish();

    std::size_t Lines() const noexcept { return m_nLines; }
    std::size_t Entries() const noexcept { return m_nEntries; }

private:
    void Take(std::string_view line);

    CDirListingParser& m_parser;
    Handler m_handler;
    CFTPFileStatus m_status;  // reused: its strings keep their storage from line to line
    CListingLineSplitter m_splitter;
    std::size_t m_nLines = 0;
    std::size_t m_nEntries = 0;
};

// Every line of a whole listing text to the handler: the callback form of filling a vector.
// Returns the number of entries understood.
std::size_t ParseListing(CDirListingParser& parser, std::string_view text, const CDirListingStream::Handler& handler);

}  // namespace nsFTP
