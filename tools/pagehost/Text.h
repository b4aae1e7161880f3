// Text helpers: UTF-8 <-> UTF-16 and the textual form of script values.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>

namespace pagehost {

std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);

// How a script value reads when printed, following the script language's own conversion
// (undefined, null, true, 1.5, 4000000007); objects are asked for their default value.
std::wstring scriptValueText(const VARIANT& value);

// Number formatting as the script language prints numbers: integers without a fraction,
// other values in the shortest form that reads back exactly.
std::wstring numberText(double value);

// Lower-case copy for case-insensitive comparisons of ASCII markup names.
std::wstring asciiLower(std::wstring_view text);

}  // namespace pagehost
