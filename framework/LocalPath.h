// Local paths as the file functions take them: wide, in the long form past MAX_PATH, and, for a
// path that a page's script gives, only where Windows resolves it to a drive of this machine; and
// a path's file name.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// The longest path the file functions take, in characters (the system counts a path's length in
// 16 bits of bytes), the long form's "\\?\" included.
inline constexpr std::size_t kMaxLongPath = 32767;

// The path a file function needs to reach path at any length: a drive or UNC path of MAX_PATH
// characters or more gets the "\\?\" form, which lifts the limit. That form also turns off the
// handling of "/", "." and "..", so a path that uses them is left as it is (and stays limited).
std::wstring FileApiPath(std::wstring_view path);

// Whether a full path, as GetFullPathNameW gives it, names a file or folder on a drive of this
// machine: "X:\...", or "\\?\X:\..." and "\\.\X:\..." (which the system hands on as "X:\...").
// Everything else is refused: UNC paths, device paths ("\\.\CON", "\\.\pipe\...", a volume "\\.\C:"
// itself), the other namespaces ("\\?\UNC\...", "\\?\GLOBALROOT\...", "\\?\Volume{...}\..."). So is
// a drive path the system could still read differently when it is opened: a component of dots and
// blanks alone ("." and ".." stay in a "\\?\" path, which Windows does not resolve; Wine trims
// "..." to ".." only on a second reading), an empty component, "/", the wildcards and other
// characters no file name holds ("?" also catches "\??\" spellings, which resolve below the current
// folder), a device name as the last component, and a path longer than the long form takes.
// Windows-free, so that the rule is tested everywhere.
bool IsDrivePath(std::wstring_view resolved);

// The file name of a local path: the text after the last "/", else after the last "\", else the
// whole path. The one helper for names in the list and on the server.
std::wstring FileNameOf(std::wstring_view path);

#ifdef _WIN32
// The full path that a page's path names, when it is on a drive of this machine (IsDrivePath);
// nothing for any other path, an empty one, one that holds a NUL or one too long to resolve. The
// caller lists, reads and keeps what this returns, never the page's text, so that what was judged
// is what is opened. A full drive path with "\" separators, no "." or ".." and no closing dot or
// blank comes back as it was given.
std::optional<std::wstring> ResolveDrivePath(std::wstring_view path);
#endif

}  // namespace fw
