// Names under which files are stored on the server, and the "|"-joined result lists.
#include "upload/StoredName.h"

#include <windows.h>

#include <ctime>

namespace tovalo::upload {

std::string FileNameOfPath(std::string_view path) {
    size_t lastSlash = std::string_view::npos;
    size_t lastBackslash = std::string_view::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<BYTE>(path[i]);
        if (::IsDBCSLeadByte(byte)) {
            ++i;  // the next byte belongs to this character, whatever its value
            continue;
        }
        if (byte == '/') lastSlash = i;
        if (byte == '\\') lastBackslash = i;
    }
    const size_t cut = lastSlash != std::string_view::npos ? lastSlash : lastBackslash;
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::uint32_t CurrentTime32() {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(::_time64(nullptr)) & 0xFFFFFFFFu);
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

}  // namespace tovalo::upload
