// libFuzzer target: arbitrary bytes in arbitrary receive splits through the reply reader and reply assembly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "ftp/ReplyReader.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// Deterministic chunk sizes from the input itself, so that a crash replays exactly.
class CSplitter {
public:
    explicit CSplitter(std::uint32_t seed) noexcept : m_state(seed | 1u) {}
    std::size_t Next(std::size_t limit) noexcept {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        // Often a full receive (the case that asks for another), otherwise anything up to it.
        return (m_state & 3u) == 0 ? limit : 1 + m_state % limit;
    }

private:
    std::uint32_t m_state;
};

// The text of a receive as the reader keeps it: up to the first NUL.
std::string TextOf(const std::uint8_t* data, std::size_t count) {
    const auto* bytes = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(bytes, '\0', count);
    return std::string(bytes, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : count);
}

void CheckLines(const std::deque<std::string>& queue, std::size_t from, const std::string& expectedText) {
    std::string joined;
    for (std::size_t i = from; i < queue.size(); ++i) {
        const std::string& line = queue[i];
        Require(!line.empty());
        const std::size_t lineFeed = line.find('\n');
        // A line feed only ever closes a line; only the last line may lack one.
        Require(lineFeed == std::string::npos ? i + 1 == queue.size() : lineFeed + 1 == line.size());
        joined += line;
    }
    Require(joined == expectedText);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    // Header: the client's buffer size (2 to 4097 bytes) and the split seed.
    const std::size_t bufferSize = 2 + ((std::size_t{data[0]} << 8 | data[1]) % 4096);
    CSplitter splitter(std::uint32_t{data[2]} << 8 | data[3]);
    data += 4;
    size -= 4;

    std::deque<std::string> queue;
    std::size_t at = 0;
    while (at < size) {
        // One read of the control connection: receives until one falls short of the limit.
        nsFTP::CReplyReceiver receiver(bufferSize);
        std::string expected;
        bool more = true;
        while (more && at < size) {
            const std::size_t count = std::min(splitter.Next(receiver.ReceiveLimit()), size - at);
            expected += TextOf(data + at, count);
            more = receiver.Take(reinterpret_cast<const char*>(data + at), count);
            at += count;
        }
        const std::size_t before = queue.size();
        receiver.QueueLines(queue);
        CheckLines(queue, before, expected);
    }

    // Replies from the queued lines, as ReadReply assembles them.
    int lineClass = -1;
    while (!queue.empty()) {
        nsFTP::CReplyAssembler reply;
        std::string first;
        std::string last;
        std::size_t lines = 0;
        bool complete = false;
        while (!queue.empty() && !complete) {
            std::string line = std::move(queue.front());
            queue.pop_front();
            lineClass = nsFTP::ReplyLineClass(line, lineClass);
            Require(lineClass >= 0 && lineClass <= 9);
            nsFTP::StripLineEnd(line);
            if (lines++ == 0) first = line;
            last = line;
            complete = reply.Add(line, lineClass);
        }
        Require(reply.Text().size() <= nsFTP::kMaxReplyText);
        Require(reply.Class() == lineClass);
        // A multi-line reply ends only at "<same code> " on a later line.
        if (complete && first.size() > 3 && first[3] == '-')
            Require(lines > 1 && last.size() > 3 && last[3] == ' ' &&
                    nsFTP::LeadingNumber(last) == nsFTP::LeadingNumber(first));
    }
    return 0;
}
