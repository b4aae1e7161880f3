// The host's stdout and stderr: every line leaves at once as UTF-8, whatever the console code page.
#pragma once

#include <string_view>

namespace pagehost {

// Writes text plus a newline to standard output, unbuffered, so that lines printed from inside
// modal loops appear in order with everything else.
void printLine(std::wstring_view text);

// The same on standard error: what the host tells about itself, which a page's expected output
// does not hold (why an automated dialog gave up, say).
void printError(std::wstring_view text);

}  // namespace pagehost
