// Paths as the control sees them: a Unix path from the test's side becomes its Windows form.
#pragma once

#include <string>
#include <string_view>

namespace pagehost {

// "/tmp/a b.txt" -> "Z:\tmp\a b.txt" (through Wine's own mapping when it is there); a Windows
// path, absolute or relative to the current directory, comes back absolute.
std::wstring windowsPath(std::wstring_view path);

}  // namespace pagehost
