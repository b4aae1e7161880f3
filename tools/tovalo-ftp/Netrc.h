// Reading a user name and password for a host from a .netrc text, as ftp(1) and curl do.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nsFtpCli {

struct CNetrcEntry {
    std::string login;
    std::string password;
    std::string account;
};

// The entry of text for host: the first "machine" entry whose name equals host (letter case
// ignored) and, when login is not empty, whose login equals it; otherwise the "default" entry under
// the same login rule; nullopt when none fits. Tokens are separated by blanks, tabs and line ends; a
// token in double quotes may hold blanks and the escapes \" \\ \n \r \t. A "macdef" entry's macro
// runs to the next empty line and is skipped.
std::optional<CNetrcEntry> FindNetrcEntry(std::string_view text, std::string_view host, std::string_view login);

}  // namespace nsFtpCli
