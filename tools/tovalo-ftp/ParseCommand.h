// tovalo-ftp parse: listing lines from a stream in, one entry line (or FAIL line) per input line out.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// args are the words after "parse": nothing, or "--now EPOCH" to fix the clock that dates without a
// year are guessed against. Lines end in LF or CRLF. Returns the exit status: 0 done, 1 the streams
// failed or a line grew beyond 1 MiB, 2 bad usage (told on err).
int RunParseCommand(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);
