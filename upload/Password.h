// The password's code-group form: how a page hides the FTP password it hands to the control.
#pragma once

#include <string>
#include <string_view>

namespace tovalo::upload {

// The code group of the printable character 0x20 + index (index 0 to 94): three ASCII letters
// and a digit, distinct for every index.
std::string CodeGroup(int index);

// A password as the page sends it: the code groups of its characters joined, rotated so that
// the text starts at the group count. Characters outside 0x20..0x7E have no group and are left
// out. The page's encoder (docs/password-encoder.js) does the same.
std::string EncodePassword(std::string_view plain);

// The password from its code-group form. A text whose length is not a multiple of three is taken
// as the password itself; a group that matches no code adds nothing.
std::string DecodePassword(std::string_view text);

}  // namespace tovalo::upload
