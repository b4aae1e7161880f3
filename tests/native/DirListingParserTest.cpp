// Listing lines of every layout and of real servers, hostile lines and the year guess, against the records they give.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "ftp/DirListingParser.h"
#include "tools/tovalo-ftp/EntryLine.h"
#include "tools/tovalo-ftp/ParseCommand.h"

namespace {

using namespace std::string_literals;
using nsFTP::CDirListingParser;
using nsFTP::CFTPFileStatus;
using nsFTP::EIdentifierType;
using nsFTP::EModificationTimeType;
using nsFTP::ESizeType;

constexpr auto kExact = ESizeType::Exact;
constexpr auto kAbsolute = EModificationTimeType::Absolute;
constexpr auto kMinute = EModificationTimeType::Minute;
constexpr auto kDay = EModificationTimeType::Day;

constexpr std::int64_t kMidJune2024 = 1718452800;  // 2024-06-15 12:00 UTC

struct Row {
    std::string line{};
    std::int64_t now = kMidJune2024;
    bool ok = true;
    std::string name{};
    bool cwd = false;
    bool retr = false;
    ESizeType sizeType = ESizeType::Unknown;
    std::int64_t size = -1;
    EModificationTimeType timeType = EModificationTimeType::Unknown;
    std::int64_t time = 0;
    EIdentifierType idType = EIdentifierType::Unknown;
    std::string id{};
    std::string perms{};
    std::string owner{};
    std::string group{};
    std::string links{};
};

const Row kRows[] = {
    // EPLF
    {.line = "+i12.34,m1000,/,\tusr",
     .name = "usr",
     .cwd = true,
     .timeType = kAbsolute,
     .time = 1000,
     .idType = EIdentifierType::Full,
     .id = "12.34"},
    {.line = "+r,s100,\tname", .name = "name", .retr = true, .sizeType = kExact, .size = 100},
    {.line = "+s100,r\tname", .name = "name", .sizeType = kExact, .size = 100},  // a fact needs its comma
    {.line = "+/,m123", .ok = false},
    {.line = "+i8388621.44468,m839956783,r,s10376,\tRFCEPLF",
     .name = "RFCEPLF",
     .retr = true,
     .sizeType = kExact,
     .size = 10376,
     .timeType = kAbsolute,
     .time = 839956783,
     .idType = EIdentifierType::Full,
     .id = "8388621.44468"},
    {.line = "+,,s5000000000,m2214518400,\tbig file.iso",
     .name = "big file.iso",
     .sizeType = kExact,
     .size = 5000000000,
     .timeType = kAbsolute,
     .time = 2214518400},
    {.line = "+s12x,\tx", .name = "x", .sizeType = kExact, .size = -1},
    {.line = "+s99999999999999999999,\tx", .name = "x", .sizeType = kExact, .size = -1},  // beyond 64 bits
    {.line = "+m-100,\told", .name = "old", .timeType = kAbsolute, .time = -100},
    {.line = "+\t", .name = ""},
    {.line = "+i\t\tname", .name = "\tname"},  // the first tab ends the facts, the rest is the name

    // UNIX, the common cases
    {.line = "-rw-r--r--   1 root     other        531 Jan 29 03:26 README",
     .name = "README",
     .retr = true,
     .sizeType = kExact,
     .size = 531,
     .timeType = kMinute,
     .time = 1706498760,
     .perms = "-rw-r--r--",
     .owner = "root",
     .group = "other",
     .links = "1"},
    {.line = "dr-xr-xr-x   2 root     other        512 Apr  8  1994 etc",
     .name = "etc",
     .cwd = true,
     .sizeType = kExact,
     .size = 512,
     .timeType = kDay,
     .time = 765763200,
     .perms = "dr-xr-xr-x",
     .owner = "root",
     .group = "other",
     .links = "2"},
    {.line = "lrwxrwxrwx   1 root     other          7 Jan 25 00:17 bin -> usr/bin",
     .name = "bin",
     .cwd = true,
     .retr = true,
     .sizeType = kExact,
     .size = 7,
     .timeType = kMinute,
     .time = 1706141820,
     .perms = "lrwxrwxrwx",
     .owner = "root",
     .group = "other",
     .links = "1"},
    {.line = "-rw-r--r--   1 root     other        531 Jan 29 03:26   two spaces kept",
     .name = "  two spaces kept",
     .retr = true,
     .sizeType = kExact,
     .size = 531,
     .timeType = kMinute,
     .time = 1706498760,
     .perms = "-rw-r--r--",
     .owner = "root",
     .group = "other",
     .links = "1"},
    {.line = "-rw-r--r--   1 root     other        531 Jan 29 3:26 x",
     .name = "x",
     .retr = true,
     .sizeType = kExact,
     .size = 531,
     .timeType = kMinute,
     .time = 1706498760,
     .perms = "-rw-r--r--",
     .owner = "root",
     .group = "other",
     .links = "1"},
    {.line = "crw-rw-rw-   1 root     tty       5,   0 May 10 09:15 tty",
     .name = "tty",
     .sizeType = kExact,
     .size = 0,
     .timeType = kMinute,
     .time = 1715332500,
     .perms = "crw-rw-rw-",
     .owner = "root",
     .group = "tty",
     .links = "1"},
    {.line = "-rw-r--r--   1 root     other        531 Jan 29 3:2 x", .ok = false},  // 3-character time
    {.line = "-rw-r--r--   1 root     other        531 Jan 29 2020", .ok = false},   // no name
    {.line = "-rw-r--r--   1 root     other        531 Feb 29 2020 ",
     .name = "",
     .retr = true,
     .sizeType = kExact,
     .size = 531,
     .timeType = kDay,
     .time = 1582934400,
     .perms = "-rw-r--r--",
     .owner = "root",
     .group = "other",
     .links = "1"},
    {.line = "-rw-r--r--   1 root     other        531 JAN 01 2020 upper",
     .name = "upper",
     .retr = true,
     .sizeType = kExact,
     .size = 531,
     .timeType = kDay,
     .time = 1577836800,
     .perms = "-rw-r--r--",
     .owner = "root",
     .group = "other",
     .links = "1"},
    {.line = "-rw-r--r--   1 root     other        531 Jan 32 2019 overflowing day",
     .name = "overflowing day",
     .retr = true,
     .sizeType = kExact,
     .size = 531,
     .timeType = kDay,
     .time = 1548979200,
     .perms = "-rw-r--r--",
     .owner = "root",
     .group = "other",
     .links = "1"},  // runs on into February 1st

    // vsftpd (numeric owner and group: a numeric fourth column is a size, not a group)
    {.line = "-rw-r--r--    1 1000     1000         1234 Mar 03  2023 file.txt",
     .name = "file.txt",
     .retr = true,
     .sizeType = kExact,
     .size = 1234,
     .timeType = kDay,
     .time = 1677801600,
     .perms = "-rw-r--r--",
     .owner = "1000",
     .links = "1"},
    {.line = "drwxr-xr-x    2 1000     1000         4096 Jan 16 18:53 dir",
     .name = "dir",
     .cwd = true,
     .sizeType = kExact,
     .size = 4096,
     .timeType = kMinute,
     .time = 1705431180,
     .perms = "drwxr-xr-x",
     .owner = "1000",
     .links = "2"},
    {.line = "-rw-------    1 ftp      ftp      5000000000 Mar 05  2040 big.iso",
     .name = "big.iso",
     .retr = true,
     .sizeType = kExact,
     .size = 5000000000,
     .timeType = kDay,
     .time = 2214518400,
     .perms = "-rw-------",
     .owner = "ftp",
     .group = "ftp",
     .links = "1"},
    // pyftpdlib
    {.line = "-rw-r--r--   1 user     group        1024 Nov 02 10:45 a.txt",
     .name = "a.txt",
     .retr = true,
     .sizeType = kExact,
     .size = 1024,
     .timeType = kMinute,
     .time = 1698921900,
     .perms = "-rw-r--r--",
     .owner = "user",
     .group = "group",
     .links = "1"},
    {.line = "drwxrwxrwx   3 user     group        4096 Nov 02  2019 sub dir",
     .name = "sub dir",
     .cwd = true,
     .sizeType = kExact,
     .size = 4096,
     .timeType = kDay,
     .time = 1572652800,
     .perms = "drwxrwxrwx",
     .owner = "user",
     .group = "group",
     .links = "3"},
    // NetWare
    {.line = "d [R----F--] supervisor            512       Jan 16 18:53    login",
     .name = "login",
     .cwd = true,
     .sizeType = kExact,
     .size = 512,
     .timeType = kMinute,
     .time = 1705431180,
     .perms = "d",
     .owner = "supervisor",
     .links = "[R----F--]"},
    {.line = "- [RWCEAFMS] supervisor            589       Jan 16 18:53    file.txt",
     .name = "file.txt",
     .retr = true,
     .sizeType = kExact,
     .size = 589,
     .timeType = kMinute,
     .time = 1705431180,
     .perms = "-",
     .owner = "supervisor",
     .links = "[RWCEAFMS]"},
    {.line = "d[R----F--] 1 supervisor 512 Jan 16 18:53    login",
     .name = "login",
     .cwd = true,
     .sizeType = kExact,
     .size = 512,
     .timeType = kMinute,
     .time = 1705431180,
     .perms = "d[R----F--]",
     .owner = "supervisor",
     .links = "1"},
    // NetPresenz
    {.line = "drwxrwxrwx               folder        2 May 10  1996 network",
     .name = "network",
     .cwd = true,
     .sizeType = kExact,
     .size = 2,
     .timeType = kDay,
     .time = 831686400,
     .perms = "drwxrwxrwx",
     .links = "folder"},
    {.line = "-------r--         326  1391972  1392298 Nov 22  1995 MegaPhone.sit",
     .name = "MegaPhone.sit",
     .retr = true,
     .sizeType = kExact,
     .size = 1392298,
     .timeType = kDay,
     .time = 816998400,
     .perms = "-------r--",
     .owner = "1391972",
     .links = "326"},

    // MultiNet/VMS
    {.line = "00README.TXT;1      2 30-DEC-1996 17:44 [SYSTEM] (RWED,RWED,RE,RE)",
     .name = "00README.TXT",
     .retr = true,
     .timeType = kMinute,
     .time = 851967840},
    {.line = "CORE.DIR;1          1  8-SEP-1996 16:09 [SYSTEM] (RWE,RWE,RE,RE)",
     .name = "CORE",
     .cwd = true,
     .timeType = kMinute,
     .time = 842198940},
    {.line = ".DIR;1  1  8-SEP-1996 16:09 [SYSTEM] (RWE,RWE,RE,RE)",
     .name = ".DIR",
     .retr = true,
     .timeType = kMinute,
     .time = 842198940},
    {.line = "X.DIR;1  1  8-SEP-1996 16:09 [SYSTEM] (RWE,RWE,RE,RE)",
     .name = "X",
     .cwd = true,
     .timeType = kMinute,
     .time = 842198940},
    {.line = "x.dir;1  1  8-SEP-1996 16:09 [SYSTEM] (RWE,RWE,RE,RE)",
     .name = "x.dir",
     .retr = true,
     .timeType = kMinute,
     .time = 842198940},
    {.line = "FUTURE.LOG;3  9  5-MAR-2040 14:07:55 [SYSTEM] (RWED,RWED,RE,RE)",
     .name = "FUTURE.LOG",
     .retr = true,
     .timeType = kMinute,
     .time = 2214569220},
    {.line = "CORE.DIR;1          1  8-SEX-1996 16:09 [SYSTEM]", .ok = false},  // not a month
    {.line = "CORE.DIR;1          1  8-SEP-1996 16:09", .ok = false},           // ends inside the minutes
    {.line = "A.TXT;1 1 8-SEP-99999999999 16:09 [S]", .ok = false},             // a year no clock has
    {.line = "\xC7\xD1\xB1\xDB.TXT;1  2 30-DEC-1996 17:44 [SYSTEM] (RWED,RWED,RE,RE)",
     .name = "\xC7\xD1\xB1\xDB.TXT",
     .retr = true,
     .timeType = kMinute,
     .time = 851967840},  // CP949 name

    // MS-DOS (IIS)
    {.line = "04-27-00  09:09PM       <DIR>          licensed",
     .name = "licensed",
     .cwd = true,
     .timeType = kMinute,
     .time = 956869740},
    {.line = "04-14-00  03:47PM                  589 readme.htm",
     .name = "readme.htm",
     .retr = true,
     .sizeType = kExact,
     .size = 589,
     .timeType = kMinute,
     .time = 955727220},
    {.line = "07-18-00  10:16AM       <DIR>          pub",
     .name = "pub",
     .cwd = true,
     .timeType = kMinute,
     .time = 963915360},
    {.line = "04-27-00  12:05AM                    1 midnight",
     .name = "midnight",
     .retr = true,
     .sizeType = kExact,
     .size = 1,
     .timeType = kMinute,
     .time = 956793900},
    {.line = "04-27-00  12:05PM                    1 noon",
     .name = "noon",
     .retr = true,
     .sizeType = kExact,
     .size = 1,
     .timeType = kMinute,
     .time = 956837100},
    {.line = "02-20-2023  11:05PM           5000000000 big file.iso",
     .name = "big file.iso",
     .retr = true,
     .sizeType = kExact,
     .size = 5000000000,
     .timeType = kMinute,
     .time = 1676934300},
    {.line = "03-05-40  02:07PM                   12 after2038.txt",
     .name = "after2038.txt",
     .retr = true,
     .sizeType = kExact,
     .size = 12,
     .timeType = kMinute,
     .time = 2214569220},
    {.line = "04-27-00  12:05AM  99999999999999999999 huge",
     .name = "huge",
     .retr = true,
     .sizeType = kExact,
     .size = -1,
     .timeType = kMinute,
     .time = 956793900},
    {.line = "04-27-00  12:05AM                    1 \xED\x95\x9C\xEA\xB8\x80.txt",
     .name = "\xED\x95\x9C\xEA\xB8\x80.txt",
     .retr = true,
     .sizeType = kExact,
     .size = 1,
     .timeType = kMinute,
     .time = 956793900},  // UTF-8 name
    {.line = "04-27-00  09:09PM       <DIR>", .ok = false},
    {.line = "04-27-00  09:09PM", .ok = false},
    {.line = "04-27-00  09:09P", .ok = false},
    {.line = "04-27-00  09:09", .ok = false},
    {.line = "04-99999999999-00  09:09PM  1 x", .ok = false},

    // Layout choice
    {.line = "", .ok = false},
    {.line = "-", .ok = false},
    {.line = "total 1234", .ok = false},
    {.line = "hello world", .ok = false},
    {.line = "\xC7\xD1\xB1\xDB", .ok = false},

    // Hostile numbers and bytes
    {.line = "-rw-r--r--   1 root     other  99999999999999999999 Jan 29 03:26 x",
     .name = "x",
     .retr = true,
     .sizeType = kExact,
     .size = -1,
     .timeType = kMinute,
     .time = 1706498760,
     .perms = "-rw-r--r--",
     .owner = "root",
     .group = "other",
     .links = "1"},
    {.line = "-rw-r--r--   1 root     other  12 Jan 99999999999 2020 x", .ok = false},
    {.line = "-rw-r--r--   1 root     other  12 Jan 1 1000000000 x", .ok = false},
    {.line = "-rw-r--r--   1 root     other  12 Jan 1 999999999 far",
     .name = "far",
     .retr = true,
     .sizeType = kExact,
     .size = 12,
     .timeType = kDay,
     .time = 31556889801244800,
     .perms = "-rw-r--r--",
     .owner = "root",
     .group = "other",
     .links = "1"},
    {.line = "-rw-r--r-- 1 root other 12\0 Jan 1 2020 n\0ul"s,
     .name = "n\0ul"s,
     .retr = true,
     .sizeType = kExact,
     .size = -1,
     .timeType = kDay,
     .time = 1577836800,
     .perms = "-rw-r--r--",
     .owner = "root",
     .group = "other",
     .links = "1"},
    {.line = "-rw-r--r-- 1 root other 12 \xE1\x61n 1 2020 x", .ok = false},  // no month: locale folding must not help

    // Year guess with a fixed clock
    {.line = "-rw-r--r-- 1 a b 1 Dec 31 23:59 x",
     .now = 1735691400,
     .name = "x",
     .retr = true,
     .sizeType = kExact,
     .size = 1,
     .timeType = kMinute,
     .time = 1735689540,
     .perms = "-rw-r--r--",
     .owner = "a",
     .group = "b",
     .links = "1"},  // 30 minutes after new year: last year's December 31st
    {.line = "-rw-r--r-- 1 a b 1 Jan  1 00:10 x",
     .now = 1735691400,
     .name = "x",
     .retr = true,
     .sizeType = kExact,
     .size = 1,
     .timeType = kMinute,
     .time = 1735690200,
     .perms = "-rw-r--r--",
     .owner = "a",
     .group = "b",
     .links = "1"},
    {.line = "-rw-r--r-- 1 a b 1 Jan  2 10:00 x",
     .now = 1735691400,
     .name = "x",
     .retr = true,
     .sizeType = kExact,
     .size = 1,
     .timeType = kMinute,
     .time = 1735812000,
     .perms = "-rw-r--r--",
     .owner = "a",
     .group = "b",
     .links = "1"},  // tomorrow: the coming day, not a year ago
    {.line = "-rw-r--r-- 1 a b 1 Jan  1 00:10 x",
     .now = 1735687800,
     .name = "x",
     .retr = true,
     .sizeType = kExact,
     .size = 1,
     .timeType = kMinute,
     .time = 1735690200,
     .perms = "-rw-r--r--",
     .owner = "a",
     .group = "b",
     .links = "1"},  // 30 minutes before new year: a server clock running ahead
    {.line = "-rw-r--r-- 1 a b 1 Jul  1 12:00 x",
     .name = "x",
     .retr = true,
     .sizeType = kExact,
     .size = 1,
     .timeType = kMinute,
     .time = 1719835200,
     .perms = "-rw-r--r--",
     .owner = "a",
     .group = "b",
     .links = "1"},  // a year ago would be 350 days back: taken as this year
    {.line = "-rw-r--r-- 1 a b 1 Jul  2 12:00 x",
     .name = "x",
     .retr = true,
     .sizeType = kExact,
     .size = 1,
     .timeType = kMinute,
     .time = 1688299200,
     .perms = "-rw-r--r--",
     .owner = "a",
     .group = "b",
     .links = "1"},  // 349 days back: last year
    {.line = "-rw-r--r-- 1 a b 1 Dec 24 18:30 x",
     .now = 2369520000,
     .name = "x",
     .retr = true,
     .sizeType = kExact,
     .size = 1,
     .timeType = kMinute,
     .time = 2366217000,
     .perms = "-rw-r--r--",
     .owner = "a",
     .group = "b",
     .links = "1"},  // a clock in 2045
    {.line = "-rw-r--r-- 1 a b 1 Feb 29 00:00 x",
     .name = "x",
     .retr = true,
     .sizeType = kExact,
     .size = 1,
     .timeType = kMinute,
     .time = 1709164800,
     .perms = "-rw-r--r--",
     .owner = "a",
     .group = "b",
     .links = "1"},
};

TEST(DirListingParser, TableOfLines) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(testing::Message() << "line \"" << row.line << "\" now " << row.now);
        CDirListingParser parser(CDirListingParser::FixedClock(row.now));
        CFTPFileStatus status;
        status.SetName("left over from an earlier line");
        status.SetOwner("someone");
        ASSERT_EQ(parser.ParseLine(status, row.line), row.ok);
        if (!row.ok) continue;
        EXPECT_EQ(status.Name(), row.name);
        EXPECT_EQ(status.TryChangeDirectory(), row.cwd);
        EXPECT_EQ(status.TryRetrieve(), row.retr);
        EXPECT_EQ(status.SizeType(), row.sizeType);
        EXPECT_EQ(status.Size(), row.size);
        EXPECT_EQ(status.ModificationTimeType(), row.timeType);
        EXPECT_EQ(status.ModificationTime(), row.time);
        EXPECT_EQ(status.IdentifierType(), row.idType);
        EXPECT_EQ(status.Identifier(), row.id);
        EXPECT_EQ(status.Permissions(), row.perms);
        EXPECT_EQ(status.Owner(), row.owner);
        EXPECT_EQ(status.Group(), row.group);
        EXPECT_EQ(status.LinkCount(), row.links);
    }
}

// Every prefix of a valid line of each layout, and each of them with a byte flipped: nothing may read
// past the line (the sanitizer build checks that) and a cut before the name must not pass.
TEST(DirListingParser, TruncatedAndCorruptedLinesAreSafe) {
    struct Case {
        std::string line;
        std::size_t nameStart;  // cuts before this are refused
    };
    const Case cases[] = {
        {"+i8388621.44468,m839956783,r,s10376,\tRFCEPLF", 37},
        {"-rw-r--r--   1 root     other        531 Jan 29 03:26 README", 54},
        {"CORE.DIR;1          1  8-SEP-1996 16:09 [SYSTEM] (RWE,RWE,RE,RE)", 40},
        {"04-14-00  03:47PM                  589 readme.htm", 38},
    };
    CDirListingParser parser(CDirListingParser::FixedClock(kMidJune2024));
    CFTPFileStatus status;
    for (const Case& c : cases) {
        for (std::size_t cut = 0; cut <= c.line.size(); ++cut) {
            const std::string prefix = c.line.substr(0, cut);
            SCOPED_TRACE(prefix);
            const bool ok = parser.ParseLine(status, prefix);
            EXPECT_TRUE(cut >= c.nameStart || !ok);
            for (const char bad : {'\0', ' ', '-', ':', '\t', ',', ';', '\xFF'}) {
                std::string corrupted = prefix;
                if (!corrupted.empty()) corrupted[cut / 2] = bad;
                parser.ParseLine(status, corrupted);
            }
        }
    }
}

TEST(DirListingParser, VeryLongNamesArePassedWhole) {
    const std::string name(1 << 20, 'n');
    const std::string lines[] = {
        "-rw-r--r-- 1 a b 1 Jan 1 2020 " + name,
        "+r,\t" + name,
        "04-14-00  03:47PM 589 " + name,
        name + ";1 1 8-SEP-1996 16:09 [S]",
    };
    CDirListingParser parser(CDirListingParser::FixedClock(kMidJune2024));
    for (const std::string& line : lines) {
        CFTPFileStatus status;
        ASSERT_TRUE(parser.ParseLine(status, line)) << line.substr(0, 40);
        EXPECT_EQ(status.Name(), name);
    }
}

// Columns and runs of spaces of every length, so that column edges fall on every position around
// the 64-byte blocks the column finder works in.
TEST(DirListingParser, ColumnsAcrossBlockEdges) {
    CDirListingParser parser(CDirListingParser::FixedClock(kMidJune2024));
    for (std::size_t width = 1; width < 150; ++width) {
        const std::string owner(width, 'o');
        const std::string gap(width, ' ');
        const std::string lines[] = {
            "-rw-r--r-- 1 " + owner + " grp 5000000000 Jan 29  2020 my name",
            "-rw-r--r--" + gap + "1 owner" + gap + "grp" + gap + "5000000000 Jan 29" + gap + "2020 my name",
        };
        for (const std::string& line : lines) {
            SCOPED_TRACE(line);
            CFTPFileStatus status;
            ASSERT_TRUE(parser.ParseLine(status, line));
            EXPECT_EQ(status.Name(), "my name");
            EXPECT_EQ(status.Size(), 5000000000);
            EXPECT_EQ(status.Group(), "grp");
            EXPECT_EQ(status.Owner(), line == lines[0] ? owner : "owner");
            EXPECT_EQ(status.ModificationTime(), 1580256000);  // 2020-01-29
            // Cut anywhere before the name's first character, the line is refused.
            const std::size_t nameStart = line.size() - std::string("my name").size();
            for (std::size_t cut = nameStart - 1; cut + 12 > nameStart && cut > 0; --cut)
                EXPECT_FALSE(parser.ParseLine(status, line.substr(0, cut))) << cut;
        }
    }
}

// The date arithmetic against a plain day count, over four centuries and past 2038.
TEST(DirListingParser, DateToTimeMatchesTheCalendar) {
    constexpr int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    std::int64_t days = 0;  // from 1970-01-01
    for (int year = 1970; year < 2400; ++year) {
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        for (int month = 0; month < 12; ++month) {
            const int length = kDaysInMonth[month] + (month == 1 && leap ? 1 : 0);
            for (int day = 1; day <= length; ++day, ++days)
                ASSERT_EQ(CDirListingParser::DateToTime(year, month, day), days * 86400)
                    << year << '-' << month + 1 << '-' << day;
        }
    }
}

TEST(DirListingParser, ReadsTheClockForEveryGuessAndTheYearOnce) {
    std::int64_t now = kMidJune2024;
    CDirListingParser parser([&now] { return now; });
    CFTPFileStatus status;
    ASSERT_TRUE(parser.ParseLine(status, "-rw-r--r-- 1 a b 1 Jul  2 12:00 x"));
    EXPECT_EQ(status.ModificationTime(), 1688299200);  // 2023-07-02
    now += 2 * 86400;                                  // two days later the same date is more than 350 days back
    ASSERT_TRUE(parser.ParseLine(status, "-rw-r--r-- 1 a b 1 Jul  2 12:00 x"));
    EXPECT_EQ(status.ModificationTime(), 1719921600);  // 2024-07-02
}

TEST(DirListingParser, AbsurdClocksAreHarmless) {
    for (const std::int64_t now : {INT64_MIN, std::int64_t{-1}, std::int64_t{0}, INT64_MAX}) {
        SCOPED_TRACE(now);
        CDirListingParser parser(CDirListingParser::FixedClock(now));
        CFTPFileStatus status;
        EXPECT_TRUE(parser.ParseLine(status, "-rw-r--r-- 1 a b 1 Feb 29 23:59 x"));
    }
}

TEST(EntryLine, FormatsEveryField) {
    CDirListingParser parser(CDirListingParser::FixedClock(kMidJune2024));
    CFTPFileStatus status;
    ASSERT_TRUE(parser.ParseLine(status, "-rw-r--r--   1 root     other 5000000000 Jan 29 03:26 my file"));
    EXPECT_EQ(FormatEntryLine(status),
              "OK\tmy file\t0\t1\t1\t5000000000\t2\t1706498760\t0\t\t-rw-r--r--\troot\tother\t1");
    ASSERT_TRUE(parser.ParseLine(status, "+i1.2,m-5,/,\tpub"));
    EXPECT_EQ(FormatEntryLine(status), "OK\tpub\t1\t0\t0\t-1\t1\t-5\t1\t1.2\t\t\t\t");
}

struct ParseCommandRow {
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string output;
};

TEST(ParseCommand, Table) {
    const std::string readme = "OK\tREADME\t0\t1\t1\t531\t2\t1706498760\t0\t\t-rw-r--r--\troot\tother\t1\n";
    const std::string licensed = "OK\tlicensed\t1\t0\t0\t-1\t2\t956869740\t0\t\t\t\t\t\n";
    const std::string unixLine = "-rw-r--r--   1 root     other        531 Jan 29 03:26 README";
    const std::string dosLine = "04-27-00  09:09PM       <DIR>          licensed";
    const ParseCommandRow rows[] = {
        {{"--now", "1718452800"}, unixLine + "\n" + dosLine + "\n", 0, readme + licensed},
        {{"--now", "1718452800"}, unixLine + "\r\n" + dosLine + "\r\n", 0, readme + licensed},
        {{"--now", "1718452800"}, unixLine + "\r\n" + dosLine, 0, readme + licensed},  // no final terminator
        {{"--now", "1718452800"}, "total 8\r\n\n" + dosLine + "\n", 0, "FAIL\ttotal 8\nFAIL\t\n" + licensed},
        {{}, "", 0, ""},
        {{"--now"}, "", 2, ""},
        {{"--now", "soon"}, "", 2, ""},
        {{"--now", "12x"}, "", 2, ""},
        {{"--now", "1", "--now", "2"}, "", 2, ""},
        {{"--verbose"}, "", 2, ""},
    };
    for (const ParseCommandRow& row : rows) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(row.args) << " input "
                                        << testing::PrintToString(row.input));
        std::istringstream in(row.input);
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunParseCommand(row.args, in, out, err), row.status);
        EXPECT_EQ(out.str(), row.output);
        EXPECT_EQ(err.str().empty(), row.status == 0) << err.str();
    }
}

// Lines that straddle the command's read buffer, and many of them.
TEST(ParseCommand, LinesAcrossReadChunks) {
    const std::string line = "04-27-00  09:09PM       <DIR>          licensed";
    const std::string longName(200'000, 'x');
    std::string input;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        input += line + "\r\n";
        expected += "OK\tlicensed\t1\t0\t0\t-1\t2\t956869740\t0\t\t\t\t\t\n";
    }
    input += "+r,\t" + longName + "\n";
    expected += "OK\t" + longName + "\t0\t1\t0\t-1\t0\t0\t0\t\t\t\t\t\n";
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunParseCommand({}, in, out, err), 0);
    EXPECT_TRUE(out.str() == expected);
}

}  // namespace
