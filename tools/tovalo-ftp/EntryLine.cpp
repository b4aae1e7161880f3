// The tab-separated line by which tovalo-ftp prints one directory entry.
#include "tools/tovalo-ftp/EntryLine.h"

#include <charconv>
#include <cstdint>
#include <string_view>

namespace
{

void AppendNumber(std::string& out, std::int64_t value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendField(std::string& out, std::string_view text)
{
    out += '\t';
    out.append(text);
}

void AppendField(std::string& out, std::int64_t value)
{
    out += '\t';
    AppendNumber(out, value);
}

void AppendField(std::string& out, bool flag)
{
    out += '\t';
    out += flag ? '1' : '0';
}

}  // namespace

void AppendEntryLine(std::string& out, const nsFTP::CFTPFileStatus& status)
{
    out.append("OK");
    AppendField(out, std::string_view(status.Name()));
    AppendField(out, status.TryChangeDirectory());
    AppendField(out, status.TryRetrieve());
    AppendField(out, static_cast<std::int64_t>(status.SizeType()));
    AppendField(out, status.Size());
    AppendField(out, static_cast<std::int64_t>(status.ModificationTimeType()));
    AppendField(out, status.ModificationTime());
    AppendField(out, static_cast<std::int64_t>(status.IdentifierType()));
    AppendField(out, std::string_view(status.Identifier()));
    AppendField(out, std::string_view(status.Permissions()));
    AppendField(out, std::string_view(status.Owner()));
    AppendField(out, std::string_view(status.Group()));
    AppendField(out, std::string_view(status.LinkCount()));
}

std::string FormatEntryLine(const nsFTP::CFTPFileStatus& status)
{
    std::string line;
    AppendEntryLine(line, status);
    return line;
}
