// The file list's window-free rules: size texts at their bounds, size categories, names and
// extensions, the strict limit without wrap-around, the totals in the limit's two modes, decimal
// readings and the getFileShow text.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "control/DecimalText.h"
#include "control/Extensions.h"
#include "control/FileRows.h"
#include "control/ServerRecords.h"
#include "control/SizeLimit.h"
#include "control/SizeText.h"
#include "framework/LocalPath.h"

using namespace tovalo;

namespace {

TEST(FileListRules, SizeTextAtItsBounds) {
    const struct {
        std::uint32_t size;
        const char* text;
    } rows[] = {
        {0, "0 Bytes"},
        {1024, "1024 Bytes"},
        {1025, "1.0 KBytes"},
        {2047, "1.0 KBytes"},  // the fraction is dropped before formatting
        {2048, "2.0 KBytes"},
        {1048575, "1023.0 KBytes"},
        {1048576, "1024.0 KBytes"},
        {1049599, "1024.0 KBytes"},
        {1049600, "1.0 MBytes"},
        {6000000, "5.7 MBytes"},
        {1073741824, "1024.0 MBytes"},
        {1073742848, "1.0 GBytes"},
        {0x7FFFFFFF, "2.0 GBytes"},
        // Sizes are read as signed 32-bit counts (pages read the cells).
        {0xFFFFFFFF, "-1 Bytes"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        EXPECT_EQ(SizeText(row.size), row.text);
    }
}

TEST(FileListRules, SizeCategoryBoundsBelongBelow) {
    const struct {
        std::uint64_t size;
        int category;
    } rows[] = {
        {0, 0},       {1048576, 0},  {1048577, 1},  {5242880, 1},        {5242881, 2},
        {6000000, 2}, {10485760, 2}, {10485761, 3}, {0x100000000ull, 3}, {0x100000001ull, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        EXPECT_EQ(SizeCategory(row.size), row.category);
    }
}

TEST(FileListRules, NamesAndExtensions) {
    const struct {
        const wchar_t* path;
        const wchar_t* name;
        const wchar_t* extension;
        const wchar_t* shellExtension;  // the key of the icon cache
    } rows[] = {
        {L"C:\\docs\\report.2009.doc", L"report.2009.doc", L"2009.doc", L".doc"},
        {L"C:\\docs/sub\\mixed.txt", L"sub\\mixed.txt", L"txt", L".txt"},  // "/" wins over "\"
        {L"C:\\docs\\README", L"README", L"-", L""},
        {L"plain.txt", L"plain.txt", L"txt", L".txt"},
        {L"C:\\docs\\", L"", L"-", L""},
        {L"", L"", L"-", L""},
        {L"C:\\문서\\가나다.한글", L"가나다.한글", L"한글", L".한글"},
        {L"C:\\x\\.profile", L".profile", L"profile", L".profile"},
        {L"C:\\x\\Tiếng Việt.txt", L"Tiếng Việt.txt", L"txt", L".txt"},
        {L"C:\\a.b\\README", L"README", L"-", L""},    // a folder's dot is not the file's
        {L"C:\\x\\f.TXT", L"f.TXT", L"TXT", L".TXT"},  // the shell's answer may differ by case
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.path)));
        EXPECT_EQ(fw::FileNameOf(row.path), row.name);
        EXPECT_EQ(ExtensionOf(fw::FileNameOf(row.path)), row.extension);
        EXPECT_EQ(ShellExtensionOf(row.path), row.shellExtension);
    }
}

TEST(FileListRules, ProbeExtensionsStayInTheirFolder) {
    const struct {
        const wchar_t* extension;
        bool plain;
    } rows[] = {
        {L"txt", true},  {L"2009.doc", true},    {L"-", true},   {L"한글", true},  {L"a\\..\\..\\x", false},
        {L"x/y", false}, {L"txt:stream", false}, {L"..", false}, {L"a..b", false}, {L"\\windows\\x", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.extension)));
        EXPECT_EQ(IsPlainExtension(row.extension), row.plain);
    }
}

// What a page's script may not name: paths that leave this machine (or its file systems).
TEST(FileListRules, TheLimitIsStrictAndNeverWraps) {
    constexpr std::uint64_t k4G = 0x100000000ull;
    const struct {
        std::uint32_t limit32, current32;
        std::uint64_t limit64, current64, size;
        LimitVerdict verdict;
    } rows[] = {
        {3000, 0, 0, 0, 1000, LimitVerdict::kFits},
        {3000, 1000, 0, 0, 2000, LimitVerdict::kOverLimit},  // reaching the limit is refused
        {3000, 1000, 0, 0, 1999, LimitVerdict::kFits},
        // A 32-bit limit above 3 GiB: 3.5 GiB + 1 GiB wraps in 32 bits to below the limit.
        {0xF0000000u, 0xE0000000u, 0, 0, 0x40000000, LimitVerdict::kOverLimit},
        {0xFFFFFFFFu, 0xBFFFFFFEu, 0, 0, 0x40000000, LimitVerdict::kFits},
        {0xFFFFFFFFu, 0xBFFFFFFEu, 0, 0, 0x40000001, LimitVerdict::kOverLimit},
        // The 32-bit limit rules while set; the 64-bit totals are not looked at.
        {10, 0, 1, 5, 5, LimitVerdict::kFits},
        {0, 0, 0, 0, 1, LimitVerdict::kNoLimit},
        {0, 0, 0, 0, 0, LimitVerdict::kNoLimit},
        {0, 0, 5 * k4G, 4 * k4G, 100, LimitVerdict::kFits},
        {0, 0, 5 * k4G, 5 * k4G - 100, 100, LimitVerdict::kOverLimit},
        // A limit near 2^64 (totalSizeStr "-1"): the sum would wrap to a small number.
        {0, 0, UINT64_MAX, UINT64_MAX - 10, 0x40000000, LimitVerdict::kOverLimit},
        {0, 0, 1, 0, 0, LimitVerdict::kFits},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.limit32 << " " << row.current32 << " " << row.limit64 << " "
                                        << row.current64 << " " << row.size);
        EXPECT_EQ(JudgeLimit({row.limit32, row.current32, row.limit64, row.current64}, row.size), row.verdict);
    }
}

// The totals through adds and removals in either mode, and the limit they answer to. A size comes
// off whichever total is non-zero, the 32-bit one first, as pages that switch modes read them.
TEST(FileListRules, TheTotalsFollowTheModeTheyWereCountedIn) {
    enum Op { kSet32, kSet64, kAdd, kRemove, kClear };
    const struct {
        Op op;
        std::uint64_t value;
        std::uint32_t counted32;
        std::uint64_t counted64, limitInForce, countedInForce;
        bool exceeded;
    } steps[] = {
        {kSet64, 5000, 0, 0, 5000, 0, false},
        {kAdd, 1000, 0, 1000, 5000, 1000, false},
        {kSet32, 3000, 0, 1000, 3000, 0, false},  // a 32-bit limit now rules, and counts anew
        {kAdd, 2000, 2000, 1000, 3000, 2000, false},
        {kRemove, 2500, 0, 1000, 3000, 0, false},  // the 32-bit total stops at 0 ...
        {kRemove, 400, 0, 600, 3000, 0, false},    // ... and then the 64-bit one pays
        {kSet64, 500, 0, 600, 3000, 0, true},      // over the 64-bit limit, though it no longer rules
        {kRemove, 700, 0, 0, 3000, 0, false},
        {kRemove, 1, 0, 0, 3000, 0, false},
        {kAdd, 2999, 2999, 0, 3000, 2999, false},
        {kClear, 0, 0, 0, 3000, 0, false},
    };
    SizeLimit limit;
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << step.op << " " << step.value);
        switch (step.op) {
        case kSet32:
            limit.limit32 = static_cast<std::uint32_t>(step.value);
            break;
        case kSet64:
            limit.limit64 = step.value;
            break;
        case kAdd:
            limit.Add(static_cast<std::uint32_t>(step.value));
            break;
        case kRemove:
            limit.Remove(static_cast<std::uint32_t>(step.value));
            break;
        case kClear:
            limit.Clear();
            break;
        }
        EXPECT_EQ(limit.Counted32(), step.counted32);
        EXPECT_EQ(limit.Counted64(), step.counted64);
        EXPECT_EQ(limit.LimitInForce(), step.limitInForce);
        EXPECT_EQ(limit.CountedInForce(), step.countedInForce);
        EXPECT_EQ(limit.Exceeded(), step.exceeded);
    }
}

TEST(FileListRules, DecimalReadings) {
    const struct {
        const char* text;
        std::int32_t asLong;
    } rows[] = {
        {"100", 100},
        {"  42abc", 42},
        {"-5", -5},
        {"+7", 7},
        {"", 0},
        {"x1", 0},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},  // a long stops at its ends
        {"99999999999999999999999", 2147483647},
        {"-2147483648", INT32_MIN},
        {"-99999999999", INT32_MIN},
        {"4294967295", 2147483647},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseLong(row.text), row.asLong);
    }
}

TEST(FileListRules, ServerRecordsSkipEmptyFieldsAndShortRecords) {
    const struct {
        const char* text;
        std::vector<std::string> records;  // "reference size name"
    } rows[] = {
        {"a1|100|x.txt:a2||200|y.doc", {"a1 100 x.txt", "a2 200 y.doc"}},
        {"a1|100", {}},
        {"a1|100|old|x.txt", {"a1 100 x.txt"}},
        {"::a1|100|x.txt::", {"a1 100 x.txt"}},
        {"|a1||100|||x.txt|", {"a1 100 x.txt"}},
        {"", {}},
        {":|:", {}},
        {"r|-5|neg.bin", {"r 4294967291 neg.bin"}},
        {"r|12kb|a.txt:s|x|b.txt", {"r 12 a.txt", "s 0 b.txt"}},
        {"참조|300|문서.hwp", {"참조 300 문서.hwp"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::vector<std::string> seen;
        for (const ServerRecord& r : ParseServerRecords(row.text)) {
            seen.push_back(r.reference + " " + std::to_string(r.size) + " " + r.name);
        }
        EXPECT_EQ(seen, row.records);
    }
}

// The rows and their path index stay in step through adds and removals: newest on top, the rest
// in order, a path listed while any row holds it (two server entries may share one).
TEST(FileRows, ColumnTexts) {
    const FileRow file{L"C:\\dir\\report.2009.pdf", L"report.2009.pdf", L"PDF Document", 6000000, 2};
    const FileRow entry{L"^^^ref", L"x", L"-", 0xFFFFFFFF, 0, FileRow::Kind::kServerEntry};
    const struct {
        const FileRow& row;
        Column column;
        const wchar_t* text;
    } cases[] = {
        {file, Column::kName, L"report.2009.pdf"},
        {file, Column::kType, L"PDF Document"},
        {file, Column::kSizeText, L"5.7 MBytes"},
        {file, Column::kPath, L"C:\\dir\\report.2009.pdf"},
        {file, Column::kSize, L"6000000"},
        {entry, Column::kSizeText, L"-1 Bytes"},  // a signed 32-bit count (pages read the cells)
        {entry, Column::kSize, L"4294967295"},
        {entry, Column::kPath, L"^^^ref"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.column));
        EXPECT_EQ(c.row.Text(c.column), c.text);
    }
}

TEST(FileRows, RemovalsKeepOrderAndIndex) {
    const struct {
        std::vector<std::size_t> remove;  // view rows
        const wchar_t* left;              // paths from the top
    } cases[] = {
        {{}, L"e d c c b a"}, {{0}, L"d c c b a"},       {{5}, L"e d c c b"},
        {{2}, L"e d c b a"},  // one of the two "c" rows: still listed
        {{2, 3}, L"e d b a"}, {{0, 1, 2, 3, 4, 5}, L""}, {{1, 4, 5}, L"e c c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.remove));
        FileRows rows;
        for (const wchar_t* path : {L"a", L"b", L"c", L"c", L"d", L"e"}) rows.AddAtTop({path, path, L"", 1, 0});
        rows.Remove(c.remove);
        std::wstring left;
        for (std::size_t row = 0; row < rows.Count(); ++row) left += (row ? L" " : L"") + rows.At(row).path;
        EXPECT_EQ(left, c.left);
        for (const wchar_t* path : {L"a", L"b", L"c", L"d", L"e"}) {
            EXPECT_EQ(rows.Lists(path), left.find(path) != std::wstring::npos) << testing::PrintToString(path);
        }
        rows.AddAtTop({L"f", L"f", L"", 1, 0});  // added after a removal: indexed like the rest
        EXPECT_TRUE(rows.Lists(L"f"));
        EXPECT_EQ(rows.At(0).path, L"f");
    }
}

}  // namespace
