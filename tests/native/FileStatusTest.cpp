// Directory entry records (equality, reset) and the reference-counted handles that share them.
#include <gtest/gtest.h>

#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ftp/FTPFileStatus.h"
#include "ftp/RCPtr.h"

namespace {

using nsFTP::CFTPFileStatus;
using nsSP::RCIPtr;

CFTPFileStatus FullRecord() {
    CFTPFileStatus s;
    s.SetName("a");
    s.SetTryChangeDirectory(true);
    s.SetTryRetrieve(true);
    s.SetSizeType(nsFTP::ESizeType::Exact);
    s.SetSize(5'000'000'000);
    s.SetModificationTimeType(nsFTP::EModificationTimeType::Day);
    s.SetModificationTime(2'214'518'400);
    s.SetPermissions("-rw-r--r--");
    s.SetOwner("o");
    s.SetGroup("g");
    s.SetLinkCount("1");
    s.SetIdentifierType(nsFTP::EIdentifierType::Full);
    s.SetIdentifier("id");
    return s;
}

TEST(FileStatus, EveryMemberTakesPartInEquality) {
    const CFTPFileStatus full = FullRecord();
    const std::function<void(CFTPFileStatus&)> changes[] = {
        [](CFTPFileStatus& s) { s.SetName("b"); },
        [](CFTPFileStatus& s) { s.SetTryChangeDirectory(false); },
        [](CFTPFileStatus& s) { s.SetTryRetrieve(false); },
        [](CFTPFileStatus& s) { s.SetSizeType(nsFTP::ESizeType::Unknown); },
        [](CFTPFileStatus& s) { s.SetSize(5'000'000'001); },
        [](CFTPFileStatus& s) { s.SetModificationTimeType(nsFTP::EModificationTimeType::Minute); },
        [](CFTPFileStatus& s) { s.SetModificationTime(1); },
        [](CFTPFileStatus& s) { s.SetPermissions("-"); },
        [](CFTPFileStatus& s) { s.SetOwner("x"); },
        [](CFTPFileStatus& s) { s.SetGroup("x"); },
        [](CFTPFileStatus& s) { s.SetLinkCount("2"); },
        [](CFTPFileStatus& s) { s.SetIdentifierType(nsFTP::EIdentifierType::Unknown); },
        [](CFTPFileStatus& s) { s.SetIdentifier("other"); },
    };
    EXPECT_EQ(CFTPFileStatus(full), full);
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        SCOPED_TRACE(i);
        CFTPFileStatus changed = full;
        changes[i](changed);
        EXPECT_NE(changed, full);
    }
    CFTPFileStatus reset = full;
    reset.Reset();
    EXPECT_EQ(reset, CFTPFileStatus());
    EXPECT_EQ(reset.Size(), -1);
}

// The texts share one block: setting them in any order, to any length, or from the record's own
// texts must leave every other text as it was, whether the block is inside the record or on the heap.
TEST(FileStatus, TextsSetInAnyOrderKeepEachOther) {
    using Setter = void (CFTPFileStatus::*)(std::string_view);
    using Getter = std::string_view (CFTPFileStatus::*)() const;
    struct Text {
        Setter set;
        Getter get;
    };
    const Text texts[] = {
        {&CFTPFileStatus::SetName, &CFTPFileStatus::Name},
        {&CFTPFileStatus::SetPermissions, &CFTPFileStatus::Permissions},
        {&CFTPFileStatus::SetOwner, &CFTPFileStatus::Owner},
        {&CFTPFileStatus::SetGroup, &CFTPFileStatus::Group},
        {&CFTPFileStatus::SetLinkCount, &CFTPFileStatus::LinkCount},
        {&CFTPFileStatus::SetIdentifier, &CFTPFileStatus::Identifier},
    };
    const std::string longText(300, 'x');
    const std::string values[] = {"", "a", "mid-sized text", longText, std::string("\0nul\0", 5)};
    // Every text set to every value, in both orders through the slots, twice over (so each
    // replaces a text that is already there); a plain model says what each must read.
    for (const bool backwards : {false, true}) {
        CFTPFileStatus record;
        std::string model[std::size(texts)];
        for (int round = 0; round < 2; ++round)
            for (std::size_t v = 0; v < std::size(values); ++v)
                for (std::size_t k = 0; k < std::size(texts); ++k) {
                    const std::size_t t = backwards ? std::size(texts) - 1 - k : k;
                    const std::string value = values[(v + t + round) % std::size(values)] + std::to_string(t);
                    (record.*texts[t].set)(value);
                    model[t] = value;
                    for (std::size_t i = 0; i < std::size(texts); ++i) {
                        SCOPED_TRACE(::testing::Message() << "backwards " << backwards << " round " << round
                                                          << " value " << v << " set " << t << " read " << i);
                        ASSERT_EQ((record.*texts[i].get)(), model[i]);
                    }
                    const CFTPFileStatus copy = record;
                    CFTPFileStatus moved = CFTPFileStatus(copy);
                    ASSERT_EQ(copy, record);
                    ASSERT_EQ(moved, record);
                }
    }
}

TEST(FileStatus, ATextSetFromTheRecordItselfIsCopiedWhole) {
    for (const std::string& name : {std::string("short"), std::string(200, 'n')}) {
        SCOPED_TRACE(name.size());
        CFTPFileStatus record;
        record.SetPermissions("-rw-r--r--");
        record.SetName(name);
        record.SetOwner(record.Name());  // a view into the block that grows while it is copied
        record.SetName(record.Permissions());
        EXPECT_EQ(record.Owner(), name);
        EXPECT_EQ(record.Name(), "-rw-r--r--");
        EXPECT_EQ(record.Permissions(), "-rw-r--r--");
    }
}

TEST(FileStatus, MovedFromAndResetRecordsAreEmptyAndReusable) {
    CFTPFileStatus record = FullRecord();
    record.SetName(std::string(500, 'x'));  // on the heap
    CFTPFileStatus taken = std::move(record);
    EXPECT_EQ(taken.Name().size(), 500u);
    EXPECT_EQ(taken.Owner(), "o");
    record.Reset();
    EXPECT_EQ(record, CFTPFileStatus());
    record.SetName("again");
    EXPECT_EQ(record.Name(), "again");
    taken.Reset();
    EXPECT_EQ(taken, CFTPFileStatus());
    taken.SetGroup("g2");  // reuses the heap block it kept
    EXPECT_EQ(taken.Group(), "g2");
    EXPECT_EQ(taken.Name(), "");
}

// Counts live instances, so the tests see when the shared record is deleted.
struct Tracked {
    explicit Tracked(int& live, int v = 0) : m_live(live), value(v) { ++m_live; }
    Tracked(const Tracked& other) : m_live(other.m_live), value(other.value) { ++m_live; }
    Tracked& operator=(const Tracked&) = delete;
    ~Tracked() { --m_live; }
    int& m_live;
    int value;
};

TEST(RCIPtr, RecordLivesUntilTheLastHandleGoes) {
    int live = 0;
    std::list<RCIPtr<Tracked>> list;
    {
        RCIPtr<Tracked> first(new Tracked(live, 7));
        list.push_back(first);
        list.push_back(first);
        EXPECT_EQ(first.UseCount(), 3);
    }
    EXPECT_EQ(live, 1);
    EXPECT_EQ(list.front()->value, 7);
    list.pop_front();
    EXPECT_EQ(live, 1);
    list.pop_front();
    EXPECT_EQ(live, 0);
}

TEST(RCIPtr, AssignmentMovesTheReference) {
    int live = 0;
    RCIPtr<Tracked> a(new Tracked(live, 1));
    RCIPtr<Tracked> b(new Tracked(live, 2));
    RCIPtr<Tracked> alias = a;
    alias = alias;  // same holder: nothing changes
    EXPECT_EQ(a.UseCount(), 2);
    a = b;  // a's old record still held by alias
    EXPECT_EQ(live, 2);
    EXPECT_EQ(a->value, 2);
    EXPECT_EQ(b.UseCount(), 2);
    alias = b;  // last reference to record 1 goes
    EXPECT_EQ(live, 1);
    EXPECT_EQ(b.UseCount(), 3);
}

TEST(RCIPtr, UnshareableRecordIsCopiedNotShared) {
    int live = 0;
    RCIPtr<Tracked> original(new Tracked(live, 5));
    original.MarkUnshareable();
    RCIPtr<Tracked> copy = original;
    EXPECT_EQ(live, 2);
    EXPECT_NE(copy.Get(), original.Get());
    EXPECT_EQ(copy->value, 5);
    EXPECT_EQ(original.UseCount(), 1);
    EXPECT_TRUE(copy.IsShareable());
}

TEST(RCIPtr, MadeRecordsAndMovedHandlesKeepTheCount) {
    int live = 0;
    {
        std::vector<RCIPtr<Tracked>> list;
        for (int i = 0; i < 100; ++i) list.push_back(nsSP::MakeRCIPtr<Tracked>(live, i));  // grows by moving
        EXPECT_EQ(live, 100);
        EXPECT_EQ(list[42]->value, 42);
        EXPECT_EQ(list[42].UseCount(), 1);
        RCIPtr<Tracked> kept = list[7];
        RCIPtr<Tracked> moved = std::move(kept);
        EXPECT_FALSE(kept);
        EXPECT_EQ(kept.UseCount(), 0);
        RCIPtr<Tracked> copyOfEmpty = kept;  // a moved-from handle copies as an empty one
        EXPECT_FALSE(copyOfEmpty);
        EXPECT_EQ(moved.UseCount(), 2);
        list.clear();
        EXPECT_EQ(live, 1);
        EXPECT_EQ(moved->value, 7);
        moved = std::move(moved);  // self-move keeps the record
        EXPECT_EQ(moved->value, 7);
        kept = std::move(moved);
        EXPECT_EQ(kept->value, 7);
        moved.MarkUnshareable();  // no record: nothing to mark
        RCIPtr<Tracked> unshared = nsSP::MakeRCIPtr<Tracked>(live, 9);
        unshared.MarkUnshareable();
        RCIPtr<Tracked> own = unshared;  // a made record is copied like any other
        EXPECT_NE(own.Get(), unshared.Get());
        EXPECT_EQ(own->value, 9);
        EXPECT_EQ(live, 3);
    }
    EXPECT_EQ(live, 0);
}

TEST(RCIPtr, NullPointeeIsAllowed) {
    RCIPtr<CFTPFileStatus> empty;
    RCIPtr<CFTPFileStatus> copy = empty;
    EXPECT_FALSE(copy);
    EXPECT_EQ(copy.UseCount(), 2);
    const auto made = nsSP::MakeRCIPtr<CFTPFileStatus>(FullRecord());
    EXPECT_EQ(made->Name(), "a");
}

}  // namespace
