// The error report's request: the web server it goes to and the bytes of its HTTP GET.
#include "upload/ErrorReport.h"

#include "ftp/Decimal.h"

#ifndef TOVALO_REPORT_HOST
#define TOVALO_REPORT_HOST "localhost"
#endif

namespace tovalo::upload {

const char* ReportHost() { return TOVALO_REPORT_HOST; }

std::string PercentEncode(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const bool unreserved = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || nsFTP::IsDigit(c) || b == '-' ||
                                b == '.' || b == '_' || b == '~';
        if (unreserved) {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
    }
    return out;
}

std::string SecureReportText(std::string_view step, int replyCode) {
    std::string text(step);
    if (replyCode != 0) text += " (reply " + std::to_string(replyCode) + ")";
    return text;
}

std::string FormatReportRequest(std::int32_t error, std::string_view responseText, std::string_view host) {
    std::string request = "GET /cwi/design/order/upload_err.log.php?state=";
    request += std::to_string(error);
    request += "&etc_text=";
    request += PercentEncode(responseText);
    request += " HTTP/1.1\nHOST:";
    request += host;
    request += "\n\n";
    return request;
}

}  // namespace tovalo::upload
