// The values servers put into reply texts: PASV numbers, SIZE, MDTM and the directory of a 257 reply.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nsFTP {

// The six numbers of "(h1,h2,h3,h4,p1,p2)" after the first "(" of a PASV reply; none unless each is
// a byte (leading blanks allowed) followed by one separator and the separators add up to five commas
// and a closing parenthesis.
std::optional<std::array<int, 6>> PassiveNumbersOfReply(std::string_view reply) noexcept;

// The size of a SIZE reply: the decimal digits from its fifth character on ("213 1234"); none when
// there are none or they do not fit.
std::optional<std::int64_t> SizeOfReply(std::string_view reply) noexcept;

// The 14 digits YYYYMMDDHHMMSS of an MDTM reply ("213 20081231235959.123" gives "20081231235959");
// empty unless the text from the fifth character on, cut before its first ".", is 14 digits.
std::string TimestampOfReply(std::string_view reply);

// The directory of a PWD reply's first line: the quoted name with doubled quotes undone, as RFC 959
// writes it ("257 \"/a \"\"b\"\"\" here" gives /a "b"), or the text after the code when nothing is
// quoted.
std::string DirectoryOfReply(std::string_view reply);

}  // namespace nsFTP
