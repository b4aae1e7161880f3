// Names under which files are stored on the server, and the "|"-joined result lists.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tovalo::upload {

// The file name of a local path in the system code page: the text after the last "/", else after
// the last "\", else the whole path. A trail byte of a double-byte character is never taken for a
// separator.
std::string FileNameOfPath(std::string_view path);

// The low 32 bits of the current time in seconds since 1970 (UTC).
std::uint32_t CurrentTime32();

// "T(name)", with T as an unsigned decimal.
std::string StoredName(std::uint32_t time, std::string_view name);

// Puts entry in front of a "|"-joined list (the newest entry comes first).
void PrependEntry(std::string& list, std::string_view entry);

}  // namespace tovalo::upload
