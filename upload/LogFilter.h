// What the upload dialog's transfer log leaves out: the account's log-on. Portable.
#pragma once

#include <string_view>

namespace tovalo::upload {

// A command line that carries the account: USER or PASS, in any letter case.
bool IsHiddenCommand(std::string_view command);
// A reply that answers them: 331 (the password, please) and 230 (logged on).
bool IsHiddenReply(std::string_view reply);

}  // namespace tovalo::upload
