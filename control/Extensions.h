// A file's extension in its three uses: the type column's text, the key under which the shell is
// asked for a type's icon, and the end of a probe file's name.
#pragma once

#include <string>
#include <string_view>

namespace tovalo {

// The text after the first "." of a name ("2009.doc" for "report.2009.doc"), or "-" without one.
std::wstring ExtensionOf(std::wstring_view name);

// What the shell goes by when it names a file's type and icon without opening it: the file name's
// text from its last "." on (".pdf" for "report.2009.pdf"), or "" without one.
std::wstring_view ShellExtensionOf(std::wstring_view path);

// Whether an extension may end a probe file's name: it must not reach out of the probe folder
// (no "\", "/", ":" or "..").
bool IsPlainExtension(std::wstring_view extension);

}  // namespace tovalo
