// Local paths as the file functions take them: wide, and in the long form past MAX_PATH.
#pragma once

#include <string>
#include <string_view>

namespace fw {

// The path a file function needs to reach path at any length: a drive or UNC path of MAX_PATH
// characters or more gets the "\\?\" form, which lifts the limit. That form also turns off the
// handling of "/", "." and "..", so a path that uses them is left as it is (and stays limited).
std::wstring FileApiPath(std::wstring_view path);

}  // namespace fw
