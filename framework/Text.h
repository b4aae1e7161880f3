// Conversions between the control's 8-bit texts (system code page) and the wide texts of COM and the UI.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace fw {

// Wide to the system's ANSI code page (CP_ACP); characters it lacks become its default character.
std::string ToAnsi(std::wstring_view wide);
// The system's ANSI code page to wide.
std::wstring ToWide(std::string_view ansi);
// Wide to the system's ANSI code page for a text that leaves for a server: a character the code
// page cannot hold becomes `replacement` (one for each character, a surrogate pair included),
// never a look-alike that the code page maps it to.
std::string ToAnsiReplacing(std::wstring_view wide, char replacement);
// The longest run of whole characters from the start of wide whose ANSI form fits in maxBytes.
std::string ToAnsiPrefix(std::wstring_view wide, size_t maxBytes);

// A null BSTR reads as the empty text.
std::string AnsiFromBstr(BSTR b);
// A fresh BSTR the caller frees; nullptr only when out of memory.
BSTR BstrFromAnsi(std::string_view ansi);

}  // namespace fw
