// The control connection's reply reading without a socket: received bytes in, queued lines and whole replies out.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace nsFTP {

// Upper bound on the text one read of the control connection gathers and on one assembled reply: a
// server that streams without end must not make the client grow without end.
inline constexpr std::size_t kMaxReplyText = 1u << 20;

// Gathers the receives that make up one read of the control connection. Each receive asks for at
// most ReceiveLimit() bytes. A line is complete at its line feed, whatever the size of the receive
// that brought it, so another receive is due while the bytes received do not end in a line feed (TCP
// may split a line anywhere). Only the text up to the first NUL of each receive counts.
class CReplyReceiver {
public:
    // bufferSize: the client's receive buffer (at least 2: one byte of data and its terminator).
    explicit CReplyReceiver(std::size_t bufferSize) noexcept;

    std::size_t ReceiveLimit() const noexcept { return m_nLimit; }
    // Takes one receive's bytes; true when another receive is due (none after a receive of 0 bytes,
    // the peer's close, nor once kMaxReplyText is gathered).
    bool Take(const char* bytes, std::size_t count);
    // Moves the gathered text, cut into lines, to the back of queue.
    void QueueLines(std::deque<std::string>& queue);

private:
    std::size_t m_nLimit;
    std::string m_strText;
};

// Cuts text into lines: each piece up to and including a line feed, then a final piece without one.
void QueueLines(std::string_view text, std::deque<std::string>& queue);

// The reply class of a raw line: its first character as a digit, 0 when that is no digit, and
// previous for an empty line.
int ReplyLineClass(std::string_view line, int previous) noexcept;

// Removes a final "\r\n" from a line of at least two characters.
void StripLineEnd(std::string& line) noexcept;

// The number a reply line starts with (leading blanks and a sign allowed, as atoi reads it),
// saturated instead of overflowing.
long LeadingNumber(std::string_view line) noexcept;

// Assembles one reply from its lines after RFC 959: "123-" opens a multi-line reply that only a
// line "123 " (same code, then a blank) closes.
class CReplyAssembler {
public:
    // Adds one line (without its "\r\n") and the class read from it; true once the reply is whole.
    bool Add(const std::string& line, int lineClass);
    bool IsComplete() const noexcept { return m_bComplete; }
    // The lines joined by "\r\n" (cut at kMaxReplyText).
    const std::string& Text() const noexcept { return m_strText; }
    // The class of the last line added.
    int Class() const noexcept { return m_nClass; }

private:
    std::string m_strText;
    int m_nClass = -1;
    long m_nCode = 0;
    bool m_bStarted = false;
    bool m_bComplete = false;
};

}  // namespace nsFTP
