// Paths as the control sees them: a Unix path from the test's side becomes its Windows form.
#pragma once

#include <string>
#include <string_view>

namespace pagehost {

// "/tmp/a b.txt" -> "Z:\tmp\a b.txt" (through Wine's own mapping when it is there); a Windows
// path, absolute or relative to the current directory, comes back absolute.
std::wstring windowsPath(std::wstring_view path);

// A Windows path by the deepest drive that holds it ("Z:\tmp\co\x" -> "P:\x" when P: is the
// folder /tmp/co), as Wine names the files it lists; unchanged off Wine or when it names nothing.
std::wstring deepestDrivePath(const std::wstring& path);

}  // namespace pagehost
