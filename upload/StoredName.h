// Names under which files are stored on the server, and the "|"-joined result lists. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace tovalo::upload {

// The low 32 bits of the current time in seconds since 1970 (UTC).
std::uint32_t CurrentTime32();

// "T(name)", with T as an unsigned decimal.
std::string StoredName(std::uint32_t time, std::string_view name);

// Puts entry in front of a "|"-joined list (the newest entry comes first).
void PrependEntry(std::string& list, std::string_view entry);

// The stored names one upload session hands out. Two files of one name from two folders, sent in
// the same second, would get the same name and the second would replace the first on the server:
// a name this session already took, or one the server says it holds, moves its time on by one
// second until it is free. Every name taken counts, also one whose store then failed. A name the
// server says it holds is never handed out: a store under it would replace that file.
class StoredNameBook {
public:
    // Whether the server already holds a file of this stored name (false when it cannot say).
    using ServerHolds = std::function<bool(const std::string& stored)>;

    // The server is asked about at most this many names for one file: one that claims to hold
    // every name cannot keep the session asking. Other sessions' files of one name are at most a
    // few seconds apart; sixteen in a row is a server that answers every question with "held".
    static constexpr int kMaxServerQuestions = 16;

    // The next free name, or nothing when the server held each of the names it was asked about.
    std::optional<std::string> Take(std::uint32_t time, std::string_view name, const ServerHolds& serverHolds);

private:
    std::unordered_set<std::string> taken_;
};

}  // namespace tovalo::upload
