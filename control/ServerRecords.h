// Server entries as the page gives them (getFileShow): records of a server reference, a size and a
// name, and the path column of the rows that stand for them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tovalo {

// A server entry's path column: this and the page's reference. Compatibility: pages read the
// column, and the reference comes back in retFiles cut together with it to 259 bytes.
inline constexpr std::wstring_view kServerPrefix = L"^^^";

// One record of the getFileShow text: server reference, size, name.
struct ServerRecord {
    std::string reference;
    std::uint32_t size;
    std::string name;
};

// The pieces of text between separators, runs of separators and separators at either end
// skipped (so an empty field does not keep its place).
std::vector<std::string_view> Tokens(std::string_view text, char separator);

// Records are separated by ":", fields by "|": reference, size, and as name the last field of a
// record. A record of fewer than three fields is skipped.
std::vector<ServerRecord> ParseServerRecords(std::string_view text);

}  // namespace tovalo
