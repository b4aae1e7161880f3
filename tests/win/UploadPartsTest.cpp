// The upload session's parts that need no FTP server: the password code groups, the report's
// request bytes, stored names in the code page.
#include "framework/Raii.h"
#include "framework/Text.h"
#include "upload/ErrorReport.h"
#include "upload/Password.h"
#include "upload/StoredName.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using namespace tovalo::upload;

std::string Ansi(const wchar_t* text) { return fw::ToAnsi(text); }

TEST(PasswordTest, CodeGroupsAreDistinctLettersAndADigit) {
    EXPECT_EQ(CodeGroup(0), "Aa0");  // space
    EXPECT_EQ(CodeGroup(1), "Hl1");  // "!"
    EXPECT_EQ(CodeGroup(95), "");
    EXPECT_EQ(CodeGroup(-1), "");
    std::set<std::string> seen;
    for (int i = 0; i < 95; ++i) {
        SCOPED_TRACE(i);
        const std::string group = CodeGroup(i);
        ASSERT_EQ(group.size(), 3u);
        EXPECT_TRUE(group[0] >= 'A' && group[0] <= 'Z');
        EXPECT_TRUE(group[1] >= 'a' && group[1] <= 'z');
        EXPECT_TRUE(group[2] >= '0' && group[2] <= '9');
        EXPECT_TRUE(seen.insert(group).second);
    }
}

TEST(PasswordTest, EveryPrintableCharacterSurvivesEncodeThenDecode) {
    std::string all;
    for (char c = 0x20; c <= 0x7E; ++c) {
        SCOPED_TRACE(static_cast<int>(c));
        const std::string one(1, c);
        EXPECT_EQ(DecodePassword(EncodePassword(one)), one);
        all += c;
    }
    EXPECT_EQ(DecodePassword(EncodePassword(all)), all);
    EXPECT_EQ(DecodePassword(EncodePassword("Tovalo!2026 pass~")), "Tovalo!2026 pass~");
}

TEST(PasswordTest, DecodeTable) {
    struct Case {
        const char* text;
        const char* plain;
    };
    const Case cases[] = {
        {"", ""},
        {"l1H", "!"},
        {"Hl1", ""},  // a group given without the rotation is no group
        // The groups " !" are "Aa0Hl1"; the text starts at the group count: "0Hl1" + "Aa".
        {"0Hl1Aa", " !"},
        // Not a multiple of three: the password as it is.
        {"tovalo-pass", "tovalo-pass"},
        {"ab", "ab"},
        // A plain text of three characters matches no group and is lost.
        {"abc", ""},
        // Groups that match nothing add nothing; the others still count.
        {"1xyzHl", "!"},  // groups "Hl1" and "xyz"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DecodePassword(c.text), c.plain);
    }
    EXPECT_EQ(EncodePassword(" !"), "0Hl1Aa");
    EXPECT_EQ(EncodePassword(Ansi(L"한")), "");  // outside the printable range: left out
}

TEST(ErrorReportTest, RequestBytes) {
    struct Case {
        int error;
        std::string text;
        const char* query;  // what follows "etc_text=" up to the blank
    };
    const Case cases[] = {
        {12015, "530 Login incorrect.", "530%20Login%20incorrect."},
        {12003, "", ""},
        {-1, "226 a\r\n226 b\r\n", "226%20a%0D%0A226%20b%0D%0A"},
        {0, "&=?/%+#~-._09AZaz", "%26%3D%3F%2F%25%2B%23~-._09AZaz"},
        {5, "\xB0\xA1\xFF\x00", "%B0%A1%FF"},  // stops at the NUL of the literal
        {5, std::string("\0x", 2), "%00x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        const std::string expected = "GET /cwi/design/order/upload_err.log.php?state=" + std::to_string(c.error) +
                                     "&etc_text=" + c.query + " HTTP/1.1\nHOST:reports.example\n\n";
        const std::string request = FormatReportRequest(c.error, c.text, "reports.example");
        EXPECT_EQ(request, expected);
        EXPECT_EQ(request.find('\r'), std::string::npos);
    }
    EXPECT_EQ(kReportPort, 80);
    EXPECT_STRNE(ReportHost(), "");
}

// Names leave for the server in the code page (949 here): what it cannot hold becomes one "_" a
// character, never a look-alike; server texts are cut between characters.
TEST(StoredNameTest, NamesInTheServersCodePage) {
    const struct {
        std::wstring name;
        std::string stored;
    } rows[] = {
        {L"보고서.hwp", Ansi(L"보고서.hwp")},
        {L"Tiếng Việt.txt", "Ti_ng Vi_t.txt"},      // no best fit to "e"
        {L"\U0001F600 smile.txt", "_ smile.txt"},   // a surrogate pair is one character
        {std::wstring{L'a', 0xD800, L'b'}, "a_b"},  // a lone surrogate
        {L"Язык.txt", Ansi(L"Язык.txt")},           // Cyrillic is in 949
        {L"", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Ansi(row.name.c_str()));
        EXPECT_EQ(fw::ToAnsiReplacing(row.name, '_'), row.stored);
    }
    EXPECT_EQ(fw::ToAnsiPrefix(L"ab가나", 4), Ansi(L"ab가"));
    EXPECT_EQ(fw::ToAnsiPrefix(L"ab가나", 5), Ansi(L"ab가"));
    EXPECT_EQ(fw::ToAnsiPrefix(L"ab가나", 6), Ansi(L"ab가나"));
}

}  // namespace
