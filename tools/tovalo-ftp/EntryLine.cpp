// The tab-separated line by which tovalo-ftp prints one directory entry.
#include "tools/tovalo-ftp/EntryLine.h"

#include <charconv>
#include <cstdint>
#include <string_view>

#include "tools/tovalo-ftp/TextEscape.h"

namespace {

// Room for the seven number and flag fields: each is a tab and at most 20 characters (a signed
// 64-bit number).
constexpr std::size_t kNumericFieldsMax = 7 * 21;

// Writes the line at p, which has room for it, and returns its end. One pass over a plain buffer:
// `ls` and `parse` print a line per entry, and piecewise string appends cost more than the parse.
char* WriteEntryLine(char* p, const nsFTP::CFTPFileStatus& status) {
    const auto text = [&p](std::string_view s) {
        *p++ = '\t';
        p = nsFtpCli::WriteEscaped(p, s);
    };
    const auto number = [&p](std::int64_t value) {
        *p++ = '\t';
        p = std::to_chars(p, p + 20, value).ptr;
    };
    const auto flag = [&p](bool value) {
        *p++ = '\t';
        *p++ = value ? '1' : '0';
    };
    *p++ = 'O';
    *p++ = 'K';
    text(status.Name());
    flag(status.TryChangeDirectory());
    flag(status.TryRetrieve());
    number(static_cast<std::int64_t>(status.SizeType()));
    number(status.Size());
    number(static_cast<std::int64_t>(status.ModificationTimeType()));
    number(status.ModificationTime());
    number(static_cast<std::int64_t>(status.IdentifierType()));
    text(status.Identifier());
    text(status.Permissions());
    text(status.Owner());
    text(status.Group());
    text(status.LinkCount());
    return p;
}

}  // namespace

void AppendEntryLine(std::string& out, const nsFTP::CFTPFileStatus& status) {
    const std::size_t textLength = status.Name().size() + status.Identifier().size() + status.Permissions().size() +
                                   status.Owner().size() + status.Group().size() + status.LinkCount().size();
    // "OK", six tabs before texts, each text escaped
    const std::size_t bound = 2 + 6 + nsFtpCli::kEscapedPerByte * textLength + kNumericFieldsMax;
    const std::size_t start = out.size();
    // Growing the string zero-fills the new room: cheap next to formatting, and the room is reused
    // by the caller's next line once the string is large enough.
    out.resize(start + bound);
    char* const end = WriteEntryLine(out.data() + start, status);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string FormatEntryLine(const nsFTP::CFTPFileStatus& status) {
    std::string line;
    AppendEntryLine(line, status);
    return line;
}
