// CDirListingStream: the same lines and entries however a listing is cut into pieces, line ends, the line cap.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/DirListingStream.h"

namespace {

struct CSeen {
    std::vector<std::string> lines;
    std::vector<std::string> names;  // "-" for a line not understood

    bool operator==(const CSeen&) const = default;
};

CSeen Feed(const std::string& text, std::size_t pieceSize) {
    CSeen seen;
    nsFTP::CDirListingParser parser(nsFTP::CDirListingParser::FixedClock(1'700'000'000));
    nsFTP::CDirListingStream stream(parser, [&seen](std::string_view line, const nsFTP::CFTPFileStatus* entry) {
        seen.lines.emplace_back(line);
        seen.names.emplace_back(entry ? entry->Name() : "-");
    });
    for (std::size_t at = 0; at < text.size(); at += pieceSize)
        stream.Feed(std::string_view(text).substr(at, pieceSize));
    stream.Finish();
    EXPECT_EQ(stream.Lines(), seen.lines.size());
    return seen;
}

TEST(DirListingStream, LinesAreTheSameWhateverThePieces) {
    struct CRow {
        const char* label;
        std::string text;
        CSeen want;
    };
    const std::string a = "-rw-r--r-- 1 u g 5 Jan  1  2020 a";
    const std::string b = "drwxr-xr-x 2 u g 9 Feb  2  2021 b c";
    const std::vector<CRow> rows = {
        {"CRLF", "total 2\r\n" + a + "\r\n" + b + "\r\n", {{"total 2", a, b}, {"-", "a", "b c"}}},
        {"LF alone", a + "\n" + b + "\n", {{a, b}, {"a", "b c"}}},
        {"last line without a line end", a + "\n" + b, {{a, b}, {"a", "b c"}}},
        {"empty lines are lines not understood", "\n\r\n" + a + "\n", {{"", "", a}, {"-", "-", "a"}}},
        {"a CR inside a line stays", a + "\rx\r\n", {{a + "\rx"}, {"a\rx"}}},
        {"nothing", "", {}},
    };
    for (const CRow& row : rows)
        for (std::size_t piece : {1, 2, 3, 7, 64, 100000}) {
            SCOPED_TRACE(std::string(row.label) + ", pieces of " + std::to_string(piece));
            EXPECT_EQ(Feed(row.text, piece), row.want);
        }
}

TEST(DirListingStream, AnOverlongUnfinishedLineStopsTheStream) {
    nsFTP::CDirListingParser parser;
    std::size_t lines = 0;
    nsFTP::CDirListingStream stream(parser, [&lines](std::string_view, const nsFTP::CFTPFileStatus*) { ++lines; });
    const std::string piece(64 * 1024, 'x');
    EXPECT_TRUE(stream.Feed("first line\n"));
    bool taken = true;
    for (std::size_t fed = 0; taken && fed <= nsFTP::kMaxListingLine + piece.size(); fed += piece.size())
        taken = stream.Feed(piece);
    EXPECT_FALSE(taken);
    EXPECT_FALSE(stream.Feed("\nmore\n"));
    stream.Finish();
    EXPECT_EQ(lines, 1u);
}

TEST(DirListingStream, WholeTextThroughTheCallback) {
    nsFTP::CDirListingParser parser;
    std::vector<std::string> names;
    const std::size_t entries = nsFTP::ParseListing(parser, "+i1,m1,/,\tdir\r\nnonsense\r\n+r,s3,\tfile\r\n",
                                                    [&names](std::string_view, const nsFTP::CFTPFileStatus* entry) {
                                                        if (entry) names.emplace_back(entry->Name());
                                                    });
    EXPECT_EQ(entries, 2u);
    EXPECT_EQ(names, (std::vector<std::string>{"dir", "file"}));
}

}  // namespace
