// What a failed WinINet call means to the upload session: the one place where WinINet's error
// numbers are read. Portable and pure, so that the numbers' meanings are tested natively.
#pragma once

#include <cstdint>
#include <string>

#include "upload/UploadChannel.h"

namespace tovalo::upload {

// error: GetLastError right after the failed call; response and responseError: what
// InternetGetLastResponseInfo kept then. The server's reply counts only where WinINet says that
// a reply is the reason (ERROR_INTERNET_EXTENDED_ERROR, ERROR_INTERNET_LOGIN_FAILURE): otherwise
// the text is an older reply (the log-on's, say) left from before the failure.
ChannelResult InetFailure(std::uint32_t error, std::string response, std::int32_t responseError);

}  // namespace tovalo::upload
