// Server entries as the page gives them (see ServerRecords.h).
#include "control/ServerRecords.h"

#include "control/DecimalText.h"

namespace tovalo {

std::vector<std::string_view> Tokens(std::string_view text, char separator) {
    std::vector<std::string_view> tokens;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) tokens.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return tokens;
}

std::vector<ServerRecord> ParseServerRecords(std::string_view text) {
    std::vector<ServerRecord> records;
    for (std::string_view record : Tokens(text, ':')) {
        const auto fields = Tokens(record, '|');
        if (fields.size() < 3) continue;
        records.push_back({std::string(fields.front()), static_cast<std::uint32_t>(ParseLong(fields[1])),
                           std::string(fields.back())});
    }
    return records;
}

}  // namespace tovalo
