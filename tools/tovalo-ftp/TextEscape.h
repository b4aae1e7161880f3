// C-style escaping of the texts that tovalo-ftp prints from a server (names, listing lines, replies).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nsFtpCli {

// Every text from a server is printed with each byte that could end a line, shift a tab-separated
// column or reach a terminal as a control written as a C escape: "\t", "\n", "\r" and "\\" for TAB,
// LF, CR and the backslash; "\ooo" (three octal digits) for every other byte below 0x20 and for DEL
// (0x7f); and the two bytes of a UTF-8 C1 control (U+0080 to U+009F, which terminals take as escape
// sequences) as "\302\ooo". Every other byte, Korean text in UTF-8 or CP949 included, is copied as it
// is, so the original bytes can always be recovered.

// An escaped text is at most this many times as long as the text.
inline constexpr std::size_t kEscapedPerByte = 4;

// Writes the escaped text at p, which has room for kEscapedPerByte * text.size() bytes; returns its end.
char* WriteEscaped(char* p, std::string_view text) noexcept;

void AppendEscaped(std::string& out, std::string_view text);
std::string Escaped(std::string_view text);

}  // namespace nsFtpCli
