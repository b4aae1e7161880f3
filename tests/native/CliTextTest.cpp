// tovalo-ftp's text helpers: escaping of server texts, the .netrc look-up and the progress meter.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "tools/tovalo-ftp/Netrc.h"
#include "tools/tovalo-ftp/ProgressMeter.h"
#include "tools/tovalo-ftp/TextEscape.h"

namespace {

TEST(TextEscape, ControlsBackslashAndC1AreEscapedOtherBytesKept) {
    const std::pair<std::string, std::string> rows[] = {
        {"", ""},
        {"plain name.txt", "plain name.txt"},
        {"a\tb", "a\\tb"},
        {"line\nbreak\r", "line\\nbreak\\r"},
        {"back\\slash", "back\\\\slash"},
        {std::string("nul\0x", 5), "nul\\000x"},
        {"\x1b[31mred\x1b[0m", "\\033[31mred\\033[0m"},
        {"\x7f\x01\x1f", "\\177\\001\\037"},
        {"csi \xc2\x9b"
         "2J",
         "csi \\302\\2332J"},                                      // UTF-8 C1 control
        {"nbsp \xc2\xa0 stays", "nbsp \xc2\xa0 stays"},            // UTF-8 above C1
        {"\xed\x95\x9c\xea\xb8\x80", "\xed\x95\x9c\xea\xb8\x80"},  // Korean in UTF-8
        {"\xc7\xd1\xb1\xdb", "\xc7\xd1\xb1\xdb"},                  // Korean in CP949
        {"ends in \xc2", "ends in \xc2"},
        {"\\\\\\\\", "\\\\\\\\\\\\\\\\"},
    };
    for (const auto& [text, escaped] : rows) {
        SCOPED_TRACE(escaped);
        const std::string out = nsFtpCli::Escaped(text);
        EXPECT_EQ(out, escaped);
        EXPECT_LE(out.size(), nsFtpCli::kEscapedPerByte * text.size());
        for (const char c : out) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f);
    }
}

TEST(Netrc, FindsTheEntryOfTheHost) {
    const std::string text =
        "# not a comment in netrc: these are tokens of no entry\n"
        "machine ftp.example.com login alice password a1\n"
        "machine FTP.Example.com login bob password b2 account acct\n"
        "macdef init\n"
        "machine fake login mallory password evil\n"
        "\n"
        "machine quoted login \"c d\" password \"p \\\"q\\\" \\\\r\"\n"
        "default login anon password guest\n";
    struct CRow {
        const char* host;
        const char* login;
        bool found;
        const char* wantLogin;
        const char* wantPassword;
        const char* wantAccount;
    };
    const CRow rows[] = {
        {"ftp.example.com", "", true, "alice", "a1", ""},
        {"ftp.EXAMPLE.com", "bob", true, "bob", "b2", "acct"},
        {"ftp.example.com", "carol", false, "", "", ""},
        {"fake", "", true, "anon", "guest", ""},  // inside the macro: no entry of its own
        {"quoted", "", true, "c d", "p \"q\" \\r", ""},
        {"elsewhere", "", true, "anon", "guest", ""},
        {"elsewhere", "anon", true, "anon", "guest", ""},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(std::string(row.host) + " " + row.login);
        const auto entry = nsFtpCli::FindNetrcEntry(text, row.host, row.login);
        ASSERT_EQ(entry.has_value(), row.found);
        if (!entry) continue;
        EXPECT_EQ(entry->login, row.wantLogin);
        EXPECT_EQ(entry->password, row.wantPassword);
        EXPECT_EQ(entry->account, row.wantAccount);
    }
    EXPECT_FALSE(nsFtpCli::FindNetrcEntry("", "h", ""));
    EXPECT_FALSE(nsFtpCli::FindNetrcEntry("machine", "h", ""));
    EXPECT_FALSE(nsFtpCli::FindNetrcEntry("machine h login", "x", ""));
    EXPECT_EQ(nsFtpCli::FindNetrcEntry("machine h password \"open", "h", "")->password, "open");
}

TEST(ProgressMeter, LineText) {
    struct CRow {
        std::int64_t bytes;
        std::int64_t total;
        double seconds;
        const char* text;
    };
    const CRow rows[] = {
        {0, 0, 0, "  0 B"},
        {512, 0, 1, "  512 B  512 B/s"},
        {1536, 4096, 1, "  1.5 KiB of 4.0 KiB  37%  1.5 KiB/s  0:02 left"},
        {100 << 20, 200 << 20, 2, "  100.0 MiB of 200.0 MiB  50%  50.0 MiB/s  0:02 left"},
        {256 << 20, 256 << 20, 0.5, "  256.0 MiB of 256.0 MiB  100%  512.0 MiB/s"},
        {300, 200, 1, "  300 B of 200 B  100%  300 B/s"},
        {1, 3601, 1, "  1 B of 3.5 KiB  0%  1 B/s  1:00:00 left"},
        {std::int64_t{5} << 30, -1, 10, "  5.0 GiB  512.0 MiB/s"},
    };
    for (const CRow& row : rows) EXPECT_EQ(nsFtpCli::FormatProgress(row.bytes, row.total, row.seconds), row.text);
}

TEST(ProgressMeter, RedrawsAtMostTenTimesASecondAndEndsTheLine) {
    std::ostringstream out;
    double now = 100;
    nsFtpCli::CProgressMeter meter(out, [&now] { return now; });
    meter.OnDataReceived(1000);  // before a transfer: a listing, not metered
    EXPECT_EQ(out.str(), "");
    meter.OnDownloadStart("r", "l", 4096);
    for (int i = 0; i < 4; ++i) {
        now += 0.06;
        meter.OnDataReceived(1024);
    }
    meter.OnDownloadEnd("r", "l", 4096);
    const std::string text = out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 4);  // start, two redraws, end
    EXPECT_EQ(text.back(), '\n');
    EXPECT_NE(text.find("4.0 KiB of 4.0 KiB  100%"), std::string::npos) << text;
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
}

}  // namespace
