// What a server's replies mean to an upload: the code of a response's last line, a SIZE answer,
// a store's final reply and the answers read while a late final reply is awaited. Portable and
// pure: a response is the text of one or more reply lines as the channel kept it.
#pragma once

#include <cstdint>
#include <string_view>

namespace nsFTP {

// A response without the line ends (CR, LF) it closes with.
std::string_view TrimLineEnds(std::string_view response) noexcept;

// The last complete reply line of a response ("550 No such file." of "550-a\r\n550 No such
// file.\r\n"), its line end dropped; empty when there is none.
std::string_view LastReplyLine(std::string_view response) noexcept;

// The code of the last complete reply line ("550 ..." gives 550) in a response; 0 when none.
int LastReplyCode(std::string_view response) noexcept;

// Whether the response read when a store's data ended is the server refusing the store (a 4xx
// or 5xx reply: a full disk, a quota, a connection it dropped). The data connection can take
// every byte while the server keeps fewer; only this reply tells. Anything else (226, or a
// preliminary reply that a close did not follow with a final one) counts as stored.
bool StoreRefused(std::string_view responseAfterClose) noexcept;

// Whether the response read when a store's data ended lacks the store's final reply: a channel
// that gave up waiting for it keeps the preliminary 1xx reply, while the server may still be
// reading what the socket buffers hold (a slow or throttled server: megabytes on a fast link).
bool FinalReplyMissing(std::string_view responseAfterClose) noexcept;

// What a reply to SIZE says: the size of the file, a 213 without a size in it (no number, a
// negative one, words after it: the file is there, but it is not the size sent), that the server
// does not know the command (500, 502, 504), or nothing to go by (550: no such file, or not
// allowed to ask).
struct SizeReply {
    enum class Kind { kSize, kMalformed, kNoSizeCommand, kNoAnswer };
    Kind kind = Kind::kNoAnswer;
    std::uint64_t size = 0;
};
SizeReply ReadSizeReply(std::string_view response) noexcept;

// Whether a store whose final reply came (226) left the server holding every byte sent, by the
// server's answer to SIZE asked right after it. Only a size (or a 213 without one) can refuse
// the store: a server that does not answer SIZE, or may not (an upload-only account), is trusted.
enum class StoredSize { kWhole, kDiffers, kUnknown };
StoredSize JudgeStoredSize(std::string_view sizeResponse, std::uint64_t sent) noexcept;

// While a store whose final reply came late is awaited, each reply to a SIZE (or, where the
// server does not know SIZE, a NOOP) asked on the same connection says one of: the server holds
// every byte, fewer so far (size: how many), more, the store's own final reply came late and took
// this question's place (226 or 250: stored; 4xx, 5xx: refused), the server does not know SIZE
// (ask NOOP instead), or nothing to go by yet.
struct LateStoreReply {
    enum class Kind { kWhole, kShort, kDiffers, kStoredByFinalReply, kRefused, kNoSizeCommand, kNoAnswer };
    Kind kind = Kind::kNoAnswer;
    std::uint64_t size = 0;
};
LateStoreReply JudgeLateStoreReply(std::string_view response, std::uint64_t sent) noexcept;

}  // namespace nsFTP
