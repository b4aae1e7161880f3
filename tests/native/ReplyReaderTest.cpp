// Reply reading without sockets: receives cut into lines, lines assembled into replies, hostile
// input, and what the replies an upload reads mean.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "ftp/ReplyMeanings.h"
#include "ftp/ReplyReader.h"

using namespace std::string_literals;

namespace {

// How the client reads: receives until the bytes end in a line feed, then cuts the text into lines.
struct CReadOutcome {
    std::size_t receivesTaken = 0;
    std::deque<std::string> queue;
};

CReadOutcome ReadLikeClient(const std::vector<std::string>& receives, std::size_t bufferSize) {
    CReadOutcome outcome;
    nsFTP::CReplyReceiver receiver(bufferSize);
    for (const std::string& bytes : receives) {
        ++outcome.receivesTaken;
        if (!receiver.Take(bytes.data(), bytes.size())) break;
    }
    receiver.QueueLines(outcome.queue);
    return outcome;
}

// Lines through the assembler as ReadReply takes them: class from the raw line, "\r\n" stripped.
struct CReplyReaderOutcome {
    bool complete = false;
    std::string text;
    int replyClass = -1;
    std::size_t linesUsed = 0;
};

CReplyReaderOutcome Assemble(std::deque<std::string> queue) {
    CReplyReaderOutcome outcome;
    nsFTP::CReplyAssembler assembler;
    int lineClass = -1;
    while (!queue.empty() && !outcome.complete) {
        std::string line = queue.front();
        queue.pop_front();
        lineClass = nsFTP::ReplyLineClass(line, lineClass);
        nsFTP::StripLineEnd(line);
        ++outcome.linesUsed;
        outcome.complete = assembler.Add(line, lineClass);
    }
    outcome.text = assembler.Text();
    outcome.replyClass = assembler.Class();
    return outcome;
}

struct CReceiveRow {
    const char* label;
    std::size_t bufferSize;
    std::vector<std::string> receives;
    std::size_t expectedReceives;
    std::vector<std::string> expectedQueue;
};

TEST(ReplyReceiver, CutsReceivesIntoQueuedLines) {
    const std::vector<CReceiveRow> rows = {
        {"one line", 2048, {"220 Ready\r\n"}, 1, {"220 Ready\r\n"}},
        {"two replies in one receive", 2048, {"200 a\r\n331 b\r\n"}, 1, {"200 a\r\n", "331 b\r\n"}},
        {"fragment before the close is a line", 2048, {"220 Rea", ""}, 2, {"220 Rea"}},
        {"fragment after a full line waits for its end",
         2048,
         {"200 ok\r\n33", "1 more\r\n"},
         2,
         {"200 ok\r\n", "331 more\r\n"}},
        {"short receive ends the read", 2048, {"220 a\r\n", "220 b\r\n"}, 1, {"220 a\r\n"}},
        {"full receive asks for another", 8, {"220 abc", "d\r\n"}, 2, {"220 abcd\r\n"}},
        {"2047 of 2048 ending in a line feed is complete",
         2048,
         {std::string(2045, 'x').append("\r\n"), "221 y\r\n"},
         1,
         {std::string(2045, 'x').append("\r\n")}},
        {"a short receive without a line feed asks for another",
         2048,
         {"227 Entering (1,2", ",3,4,5,6)\r\n"},
         2,
         {"227 Entering (1,2,3,4,5,6)\r\n"}},
        {"a line end split between CR and LF", 2048, {"200 a\r", "\n"}, 2, {"200 a\r\n"}},
        {"line split across full receives", 4, {"220", " ok", "\r\n"}, 3, {"220 ok\r\n"}},
        {"NUL ends the text of a receive", 2048, {"220 ab\0cd\r\n"s}, 1, {"220 ab"}},
        {"NUL at the start",
         2048,
         {"\0"
          "220 x\r\n"s},
         1,
         {}},
        {"NUL in a full receive, the next one counts", 5, {"2\0xy"s, "0\n"}, 2, {"20\n"}},
        {"bare line feeds", 2048, {"\n\n"}, 1, {"\n", "\n"}},
        {"closed connection", 2048, {""}, 1, {}},
        {"smallest buffer", 2, {"2", "0", "0", "\n", ""}, 4, {"200\n"}},
    };
    for (const CReceiveRow& row : rows) {
        SCOPED_TRACE(row.label);
        const CReadOutcome outcome = ReadLikeClient(row.receives, row.bufferSize);
        EXPECT_EQ(outcome.receivesTaken, row.expectedReceives);
        EXPECT_EQ(std::vector<std::string>(outcome.queue.begin(), outcome.queue.end()), row.expectedQueue);
    }
}

TEST(ReplyReceiver, EndlessStreamStopsAtTheTextBound) {
    // A server that keeps every receive full must not grow one read without end.
    const std::size_t bufferSize = 65536;
    const std::string chunk(bufferSize - 1, 'x');
    nsFTP::CReplyReceiver receiver(bufferSize);
    std::size_t receives = 0;
    while (receiver.Take(chunk.data(), chunk.size())) ASSERT_LT(++receives, 100u);
    std::deque<std::string> queue;
    receiver.QueueLines(queue);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_GE(queue.front().size(), nsFTP::kMaxReplyText);
    EXPECT_LT(queue.front().size(), nsFTP::kMaxReplyText + bufferSize);
}

struct CReplyReaderRow {
    const char* label;
    std::deque<std::string> lines;
    bool complete;
    std::string text;
    int replyClass;
    std::size_t linesUsed;
};

TEST(ReplyAssembler, JoinsMultiLineRepliesAfterRfc959) {
    const std::vector<CReplyReaderRow> rows = {
        {"single line", {"220 Ready\r\n"}, true, "220 Ready", 2, 1},
        {"three lines",
         {"220-Welcome\r\n", "220-Second\r\n", "220 Ready\r\n"},
         true,
         "220-Welcome\r\n220-Second\r\n220 Ready",
         2,
         3},
        {"220- and 221 inside do not end it",
         {"220-a\r\n", "220-\r\n", "221 x\r\n", "220 end\r\n"},
         true,
         "220-a\r\n220-\r\n221 x\r\n220 end",
         2,
         4},
        {"code without text does not end it",
         {"220-a\r\n", "220\r\n", "220 b\r\n"},
         true,
         "220-a\r\n220\r\n220 b",
         2,
         3},
        {"indented lines belong to it",
         {"211-Status\r\n", " TYPE: ASCII\r\n", "211 End\r\n"},
         true,
         "211-Status\r\n TYPE: ASCII\r\n211 End",
         2,
         3},
        {"second reply stays queued", {"200 a\r\n", "331 b\r\n"}, true, "200 a", 2, 1},
        {"class of the last line", {"150-x\r\n", "150 y\r\n"}, true, "150-x\r\n150 y", 1, 2},
        {"unfinished multi-line", {"220-a\r\n", "220-b\r\n"}, false, "220-a\r\n220-b", 2, 2},
        {"short line is single", {"22\r\n"}, true, "22", 2, 1},
        {"fragment is a reply of its own", {"22"}, true, "22", 2, 1},
        {"not a digit gives class 0", {"hello\r\n"}, true, "hello", 0, 1},
        {"bare line feed", {"\n"}, true, "\n", 0, 1},
        {"empty text line keeps no class", {"\r\n"}, true, "", 0, 1},
        {"huge number inside does not end it",
         {"220-a\r\n", "99999999999999999999 b\r\n", "220 c\r\n"},
         true,
         "220-a\r\n99999999999999999999 b\r\n220 c",
         2,
         3},
    };
    for (const CReplyReaderRow& row : rows) {
        SCOPED_TRACE(row.label);
        const CReplyReaderOutcome outcome = Assemble(row.lines);
        EXPECT_EQ(outcome.complete, row.complete);
        EXPECT_EQ(outcome.text, row.text);
        EXPECT_EQ(outcome.replyClass, row.replyClass);
        EXPECT_EQ(outcome.linesUsed, row.linesUsed);
    }
}

TEST(ReplyAssembler, HugeMultiLineReplyIsBounded) {
    nsFTP::CReplyAssembler assembler;
    const std::string line = "211-" + std::string(100000, 'y');
    for (int i = 0; i < 30; ++i) ASSERT_FALSE(assembler.Add(line, 2));
    EXPECT_TRUE(assembler.Add("211 end", 2));
    EXPECT_EQ(assembler.Text().size(), nsFTP::kMaxReplyText);
}

TEST(ReplyReader, LeadingNumberReadsLikeAtoi) {
    const struct {
        const char* text;
        long value;
    } rows[] = {
        {"220-x", 220}, {"  331 y", 331}, {"-5", -5}, {"+7z", 7}, {"abc", 0}, {"", 0}, {"12345678901234", 1000000000}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(nsFTP::LeadingNumber(row.text), row.value);
    }
}

TEST(ReplyMeanings, TheReplyReadWhenTheStoreClosed) {
    const struct {
        std::string_view response;
        bool refused;
        bool finalReplyMissing;
    } cases[] = {
        {"226 Transfer complete.", false, false},
        {"250 OK", false, false},
        {"150 Opening data connection.", false, true},  // WinINet gave up waiting for the final reply
        {"125 Data connection already open. Transfer starting.", false, true},
        {"", false, true},
        {"426 None; transfer aborted.", true, false},
        {"451-Write error\r\n451 Disk full.\r\n", true, false},
        {"552 Quota exceeded.", true, false},
        {"125 Data connection open\r\n550 Failed.\r\n", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.response);
        EXPECT_EQ(nsFTP::StoreRefused(c.response), c.refused);
        EXPECT_EQ(nsFTP::FinalReplyMissing(c.response), c.finalReplyMissing);
    }
}

// A reply to SIZE (or NOOP), for a file of 10000 bytes sent: after the store's final reply, and
// while a store whose final reply came late is awaited on the same connection.
TEST(ReplyMeanings, SizeReplies) {
    using Late = nsFTP::LateStoreReply::Kind;
    using Kind = nsFTP::SizeReply::Kind;
    using nsFTP::StoredSize;
    const struct {
        std::string_view response;
        Kind kind;
        std::uint64_t size;
        StoredSize stored;
        Late late;
    } cases[] = {
        {"213 10000", Kind::kSize, 10000, StoredSize::kWhole, Late::kWhole},
        {"213 10000\r\n", Kind::kSize, 10000, StoredSize::kWhole, Late::kWhole},
        {"213 5000", Kind::kSize, 5000, StoredSize::kDiffers, Late::kShort},  // a quota, or still arriving
        {"213 0", Kind::kSize, 0, StoredSize::kDiffers, Late::kShort},
        {"213 10001", Kind::kSize, 10001, StoredSize::kDiffers, Late::kDiffers},
        {"213 99999999999999999999999", Kind::kSize, UINT64_MAX, StoredSize::kDiffers, Late::kDiffers},
        {"213-Size\r\n213 10000\r\n", Kind::kSize, 10000, StoredSize::kWhole, Late::kWhole},
        {"213  5000 \r\n", Kind::kSize, 5000, StoredSize::kDiffers, Late::kShort},
        {"213 +10000", Kind::kSize, 10000, StoredSize::kWhole, Late::kWhole},
        // A 213 that gives no size: the file is there, but not as sent.
        {"213 1213 ", Kind::kSize, 1213, StoredSize::kDiffers, Late::kShort},  // "213 " inside the number
        {"213 -1", Kind::kMalformed, 0, StoredSize::kDiffers, Late::kDiffers},
        {"213 +-5", Kind::kMalformed, 0, StoredSize::kDiffers, Late::kDiffers},
        {"213 10000 bytes", Kind::kMalformed, 0, StoredSize::kDiffers, Late::kDiffers},
        {"213 ", Kind::kMalformed, 0, StoredSize::kDiffers, Late::kDiffers},
        {"213", Kind::kMalformed, 0, StoredSize::kDiffers, Late::kDiffers},
        {"213 x", Kind::kMalformed, 0, StoredSize::kDiffers, Late::kDiffers},
        {"213 10000\r\n213 x\r\n", Kind::kMalformed, 0, StoredSize::kDiffers, Late::kDiffers},  // the last line counts
        // The server does not know SIZE: trusted after a 226; a late store is awaited with NOOP.
        {"500 Unknown command.", Kind::kNoSizeCommand, 0, StoredSize::kUnknown, Late::kNoSizeCommand},
        {"502 Not implemented.", Kind::kNoSizeCommand, 0, StoredSize::kUnknown, Late::kNoSizeCommand},
        // An upload-only account may not ask: trusted too.
        {"550 Permission denied.", Kind::kNoAnswer, 0, StoredSize::kUnknown, Late::kRefused},
        // The late store's own final reply, read in place of the size.
        {"226 Transfer complete.", Kind::kNoAnswer, 0, StoredSize::kUnknown, Late::kStoredByFinalReply},
        {"426 Connection closed; transfer aborted.", Kind::kNoAnswer, 0, StoredSize::kUnknown, Late::kRefused},
        {"200 NOOP ok.", Kind::kNoAnswer, 0, StoredSize::kUnknown, Late::kNoAnswer},  // still waiting
        {"", Kind::kNoAnswer, 0, StoredSize::kUnknown, Late::kNoAnswer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.response);
        const nsFTP::SizeReply reply = nsFTP::ReadSizeReply(c.response);
        EXPECT_EQ(reply.kind, c.kind);
        EXPECT_EQ(reply.size, c.size);
        EXPECT_EQ(nsFTP::JudgeStoredSize(c.response, 10000), c.stored);
        EXPECT_EQ(nsFTP::JudgeLateStoreReply(c.response, 10000).kind, c.late);
    }
}

TEST(ReplyMeanings, LastReplyCode) {
    const struct {
        std::string_view response;
        int code;
    } cases[] = {
        {"", 0},
        {"550 No such file.", 550},
        {"550", 550},
        {"550 first\r\n226 second\r\n", 226},
        {"230-Welcome\r\n230-to the server\r\n230 Logged in.\r\n", 230},
        {"230-Welcome\r\n 550 is not a reply line\r\n", 0},
        {"226-more to come", 0},
        {"55 short", 0},
        {"abc def", 0},
        {"4250 too long", 0},
        {"421 Bye.\n", 421},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.response);
        EXPECT_EQ(nsFTP::LastReplyCode(c.response), c.code);
    }
}

}  // namespace
