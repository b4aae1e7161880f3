// Cutting received control-connection text into lines and lines into replies.
#include "ftp/ReplyReader.h"

#include "ftp/Decimal.h"

#include <algorithm>
#include <cstring>

namespace nsFTP {

CReplyReceiver::CReplyReceiver(std::size_t bufferSize) noexcept : m_nLimit(bufferSize > 1 ? bufferSize - 1 : 1) {}

bool CReplyReceiver::Take(const char* bytes, std::size_t count) {
    const bool lineOpen = count != 0 && bytes[count - 1] != '\n';
    const void* nul = count == 0 ? nullptr : std::memchr(bytes, '\0', count);
    const std::size_t textLength = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : count;
    m_strText.append(bytes, textLength);
    return lineOpen && m_strText.size() < kMaxReplyText;
}

void CReplyReceiver::QueueLines(std::deque<std::string>& queue) {
    nsFTP::QueueLines(m_strText, queue);
    m_strText.clear();
}

void QueueLines(std::string_view text, std::deque<std::string>& queue) {
    while (!text.empty()) {
        const std::size_t lineFeed = text.find('\n');
        const std::size_t length = lineFeed == std::string_view::npos ? text.size() : lineFeed + 1;
        queue.emplace_back(text.substr(0, length));
        text.remove_prefix(length);
    }
}

int ReplyLineClass(std::string_view line, int previous) noexcept {
    if (line.empty()) return previous;
    const char first = line.front();
    return IsDigit(first) ? first - '0' : 0;
}

void StripLineEnd(std::string& line) noexcept {
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) line.resize(line.size() - 2);
}

long LeadingNumber(std::string_view line) noexcept {
    constexpr std::uint64_t kCeiling = 1'000'000'000;
    const SignedDecimal number = LeadingSignedDecimal(line);
    const auto value = static_cast<long>(std::min(kCeiling, number.magnitude));
    return number.negative ? -value : value;
}

bool CReplyAssembler::Add(const std::string& line, int lineClass) {
    if (m_bComplete) return true;
    m_nClass = lineClass;
    if (!m_bStarted) {
        m_bStarted = true;
        m_strText.assign(line, 0, kMaxReplyText);
        const bool opensMultiLine = line.size() > 3 && line[3] == '-';
        m_nCode = LeadingNumber(line);
        m_bComplete = !opensMultiLine;
        return m_bComplete;
    }
    if (m_strText.size() < kMaxReplyText) {
        m_strText.append("\r\n").append(line);
        if (m_strText.size() > kMaxReplyText) m_strText.resize(kMaxReplyText);
    }
    m_bComplete = line.size() > 3 && line[3] == ' ' && LeadingNumber(line) == m_nCode;
    return m_bComplete;
}

}  // namespace nsFTP
