// Names under which files are stored on the server, and the "|"-joined result lists.
#include "upload/StoredName.h"

#include <ctime>

namespace tovalo::upload {

std::uint32_t CurrentTime32() {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::time(nullptr)) & 0xFFFFFFFFu);
}

std::string StoredName(std::uint32_t time, std::string_view name) {
    std::string stored = std::to_string(time);
    stored += '(';
    stored += name;
    stored += ')';
    return stored;
}

void PrependEntry(std::string& list, std::string_view entry) {
    list = list.empty() ? std::string(entry) : std::string(entry) + "|" + list;
}

std::optional<std::string> StoredNameBook::Take(std::uint32_t time, std::string_view name,
                                                const ServerHolds& serverHolds) {
    int questions = 0;
    for (;; ++time) {
        std::string stored = StoredName(time, name);
        if (taken_.count(stored) != 0) continue;
        if (serverHolds) {
            if (questions == kMaxServerQuestions) return std::nullopt;
            ++questions;
            if (serverHolds(stored)) continue;
        }
        taken_.insert(stored);
        return stored;
    }
}

}  // namespace tovalo::upload
