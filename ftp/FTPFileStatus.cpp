// CFTPFileStatus: replacing a text that is already set.
#include "ftp/FTPFileStatus.h"

namespace nsFTP {

void CFTPFileStatus::ReplaceText(std::string& target, std::string_view text) {
    target.assign(text.data(), text.size());
}

}  // namespace nsFTP
