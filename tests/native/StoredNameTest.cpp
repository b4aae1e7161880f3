// Stored names of one upload session: unique within it, and against what the server holds.
#include "upload/StoredName.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tovalo::upload {
namespace {

TEST(StoredNames, FormAndResultLists) {
    EXPECT_EQ(StoredName(1230000000, "\xBA\xB8\xB0\xED.hwp"), "1230000000(\xBA\xB8\xB0\xED.hwp)");
    EXPECT_EQ(StoredName(4294967295u, "a b"), "4294967295(a b)");
    std::string list;
    for (const char* entry : {"1(a)", "2(b)", "3(c)"}) PrependEntry(list, entry);
    EXPECT_EQ(list, "3(c)|2(b)|1(a)");
    EXPECT_GT(CurrentTime32(), 1700000000u);
}

// Each row takes one name at a time, with the names the server holds at that moment.
TEST(StoredNames, UniqueWithinTheSessionAndOnTheServer) {
    struct Take {
        std::uint32_t time;
        const char* name;
        std::set<std::string> onServer;
        const char* stored;
        int questions;  // how often the server was asked
    };
    const Take takes[] = {
        {100, "a.txt", {}, "100(a.txt)", 1},
        {100, "a.txt", {}, "101(a.txt)", 1},  // same second, same name: the number goes up
        {100, "b.txt", {}, "100(b.txt)", 1},  // another name is not held up
        {101, "a.txt", {}, "102(a.txt)", 1},  // the next second's natural name was taken above
        {200, "c.txt", {"200(c.txt)", "201(c.txt)"}, "202(c.txt)", 3},  // another session's files
        {4294967295u, "d.txt", {}, "4294967295(d.txt)", 1},
        {4294967295u, "d.txt", {}, "0(d.txt)", 1},  // the 32-bit time wraps as it always did
    };
    StoredNameBook book;
    for (const Take& take : takes) {
        SCOPED_TRACE(take.stored);
        int questions = 0;
        const std::optional<std::string> stored = book.Take(take.time, take.name, [&](const std::string& candidate) {
            ++questions;
            return take.onServer.count(candidate) != 0;
        });
        EXPECT_EQ(stored.value_or("(none)"), take.stored);
        EXPECT_EQ(questions, take.questions);
    }
}

// A server that holds every name it is asked about gets a bounded number of questions, and none of
// those names is used: a store under one would replace that file.
TEST(StoredNames, AServerThatHoldsEveryNameIsAskedABoundedNumberOfTimes) {
    StoredNameBook book;
    int questions = 0;
    const auto holdsAll = [&](const std::string&) { return ++questions, true; };
    EXPECT_EQ(book.Take(10, "x", holdsAll), std::nullopt);
    EXPECT_EQ(questions, StoredNameBook::kMaxServerQuestions);
    // The last question's name is free: it is used.
    questions = 0;
    const auto holdsAllButLast = [&](const std::string&) { return ++questions < StoredNameBook::kMaxServerQuestions; };
    EXPECT_EQ(book.Take(10, "y", holdsAllButLast),
              std::to_string(10 + StoredNameBook::kMaxServerQuestions - 1) + "(y)");
    // Without a server to ask, only the session's own names count.
    EXPECT_EQ(book.Take(10, "x", nullptr), "10(x)");
    EXPECT_EQ(book.Take(10, "x", nullptr), "11(x)");
}

}  // namespace
}  // namespace tovalo::upload
