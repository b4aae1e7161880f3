// Directory entry records (equality, reset) and the reference-counted handles that share them.
#include <gtest/gtest.h>

#include <functional>
#include <list>
#include <string>

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

TEST(RCIPtr, NullPointeeIsAllowed) {
    RCIPtr<CFTPFileStatus> empty;
    RCIPtr<CFTPFileStatus> copy = empty;
    EXPECT_FALSE(copy);
    EXPECT_EQ(copy.UseCount(), 2);
    const auto made = nsSP::MakeRCIPtr<CFTPFileStatus>(FullRecord());
    EXPECT_EQ(made->Name(), "a");
}

}  // namespace
