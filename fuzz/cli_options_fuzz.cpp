// libFuzzer target: arbitrary bytes as tovalo-ftp's words (NUL-separated) through the option parser, and
// as a .netrc text through the entry look-up.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tools/tovalo-ftp/CliOptions.h"
#include "tools/tovalo-ftp/Netrc.h"
#include "tools/tovalo-ftp/TextEscape.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void FuzzOptions(std::string_view text) {
    std::vector<std::string> words;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('\0', at), text.size());
        words.emplace_back(text.substr(at, end - at));
        at = end + 1;
    }
    nsFtpCli::COptions options;
    std::string error;
    if (!nsFtpCli::ParseArguments(words, options, error)) {
        Check(!error.empty());
        return;
    }
    if (options.help) return;
    // A run that parses has a host, at least one named command, and at most one password to ask for.
    Check(!options.account.host.empty());
    Check(!options.commands.empty());
    for (const nsFtpCli::CCommand& command : options.commands) Check(!command.name.empty());
    Check(!(options.account.askPassword && options.account.askFwPassword));
    Check(options.account.port >= 1 && options.account.port <= 65535);
    Check(options.timeoutSeconds >= 1);
}

void FuzzNetrc(std::string_view text) {
    // The first line names the host and the login, the rest is the file.
    const std::size_t lineEnd = std::min(text.find('\n'), text.size());
    const std::string_view head = text.substr(0, lineEnd);
    const std::size_t blank = std::min(head.find(' '), head.size());
    const std::string_view host = head.substr(0, blank);
    const std::string_view login = blank < head.size() ? head.substr(blank + 1) : std::string_view();
    const auto entry = nsFtpCli::FindNetrcEntry(text.substr(std::min(lineEnd + 1, text.size())), host, login);
    if (entry && !login.empty()) Check(entry->login == login);
}

void FuzzEscape(std::string_view text) {
    const std::string escaped = nsFtpCli::Escaped(text);
    Check(escaped.size() <= nsFtpCli::kEscapedPerByte * text.size());
    for (const char c : escaped) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    FuzzOptions(text);
    FuzzNetrc(text);
    FuzzEscape(text);
    return 0;
}
