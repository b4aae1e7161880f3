// What the transfer log leaves out (see LogFilter.h).
#include "upload/LogFilter.h"

namespace tovalo::upload {

bool IsHiddenCommand(std::string_view command) {
    // Only ASCII letters change case: a byte of a double-byte character never makes "USER".
    char head[4] = {};
    if (command.size() < 4) return false;
    for (int i = 0; i < 4; ++i) {
        const char c = command[static_cast<std::size_t>(i)];
        head[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    const std::string_view word(head, 4);
    return word == "PASS" || word == "USER";
}

bool IsHiddenReply(std::string_view reply) {
    const std::string_view code = reply.substr(0, 3);
    return code == "331" || code == "230";
}

}  // namespace tovalo::upload
