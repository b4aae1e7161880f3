// The tab-separated line by which tovalo-ftp prints one directory entry (commands ls and parse).
#pragma once

#include <string>

#include "ftp/FTPFileStatus.h"

// "OK", name, try-change-directory (0/1), try-retrieve (0/1), size type, size, modification-time type,
// modification time (seconds since 1970 UTC), identifier type, identifier, permissions, owner, group,
// link count; joined by tabs, without a line terminator. Texts are escaped (TextEscape.h), so a
// name can neither end the line nor add a column.
std::string FormatEntryLine(const nsFTP::CFTPFileStatus& status);

// The same line appended to out (no allocation once out has grown): for printing many entries.
void AppendEntryLine(std::string& out, const nsFTP::CFTPFileStatus& status);
