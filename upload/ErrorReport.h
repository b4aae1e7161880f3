// The error report's request: the web server it goes to and the bytes of its HTTP GET.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tovalo::upload {

// Where reports go: the host name chosen when the control was built (TOVALO_REPORT_HOST), port 80.
const char* ReportHost();
constexpr std::uint16_t kReportPort = 80;

// Every byte outside A-Z a-z 0-9 - . _ ~ as "%XX" (upper-case hexadecimal).
std::string PercentEncode(std::string_view bytes);

// A secure session's report text: what failed and the server's reply code (0: none), never a
// name, a path or the reply's words ("file refused (reply 552)").
std::string SecureReportText(std::string_view step, int replyCode);

// The whole request: the GET line with the error number and the encoded response text, the HOST
// line, an empty line; lines end in LF alone.
std::string FormatReportRequest(std::int32_t error, std::string_view responseText, std::string_view host);

}  // namespace tovalo::upload
