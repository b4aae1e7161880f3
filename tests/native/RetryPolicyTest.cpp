// The upload's retry rules: which failed steps are retried (WinINet's failures as its channel reads
// them), when passive mode takes over, the waits.
#include "upload/InetResult.h"
#include "upload/RetryPolicy.h"
#include "upload/SendLimits.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovalo::upload {
namespace {

constexpr std::uint32_t kTimeout = 12002;
constexpr std::uint32_t kExtended = 12003;
constexpr std::uint32_t kNameNotResolved = 12007;
constexpr std::uint32_t kLoginFailure = 12015;
constexpr std::uint32_t kCannotConnect = 12029;
constexpr std::uint32_t kAborted = 12030;
constexpr std::uint32_t kReset = 12031;
constexpr std::uint32_t kDropped = 12111;
constexpr std::uint32_t kFileNotFound = 2;

constexpr bool kActive = false;
constexpr bool kPassive = true;

struct Case {
    const char* label;
    SessionStep step;
    bool passive;
    std::uint32_t error;
    std::string_view response;
    bool retry;
    bool usePassive;
};

constexpr Case kCases[] = {
    // Connecting and logging on.
    {"server unreachable", SessionStep::Connect, kActive, kCannotConnect, "", true, false},
    {"connect timed out", SessionStep::Connect, kActive, kTimeout, "", true, false},
    {"name not resolved (the network is down)", SessionStep::Connect, kActive, kNameNotResolved, "", true, false},
    {"log-on refused", SessionStep::Connect, kActive, kLoginFailure, "530 Login incorrect.", false, false},
    {"log-on refused, told as a reply", SessionStep::Connect, kActive, kExtended, "530 Login incorrect.", false, false},
    {"server busy", SessionStep::Connect, kActive, kExtended, "421 Too many connections.", true, false},
    {"account needed", SessionStep::Connect, kActive, kExtended, "332 Need account\r\n532 No.", false, false},
    // Opening the remote file in active mode.
    {"file refused", SessionStep::OpenRemoteFile, kActive, kExtended, "550 Permission denied.", false, false},
    {"name refused", SessionStep::OpenRemoteFile, kActive, kExtended, "553 Could not create file.", false, false},
    {"disk full for good", SessionStep::OpenRemoteFile, kActive, kExtended, "552 Quota exceeded.", false, false},
    {"a data connection whose certificate did not match", SessionStep::OpenRemoteFile, kPassive, kLoginFailure,
     "TLS: the server's certificate does not match the pin", false, false},
    {"not logged in any more", SessionStep::OpenRemoteFile, kActive, kExtended, "530 Please login.", false, false},
    {"PORT refused", SessionStep::OpenRemoteFile, kActive, kExtended, "500 Illegal PORT command.", true, true},
    {"EPRT not known", SessionStep::OpenRemoteFile, kActive, kExtended, "502 Command not implemented.", true, true},
    {"data connection not made (reply)", SessionStep::OpenRemoteFile, kActive, kExtended,
     "200 PORT ok\r\n425 Can't open data connection.", true, true},
    {"data connection not made (WinINet)", SessionStep::OpenRemoteFile, kActive, kCannotConnect,
     "200 PORT command successful.", true, true},
    {"data connection timed out", SessionStep::OpenRemoteFile, kActive, kTimeout, "", true, true},
    {"control connection lost", SessionStep::OpenRemoteFile, kActive, kDropped, "226 Transfer complete.", true, false},
    {"connection reset", SessionStep::OpenRemoteFile, kActive, kReset, "", true, false},
    {"transient local error of the server", SessionStep::OpenRemoteFile, kActive, kExtended,
     "451 Local error in processing.", true, false},
    {"server closing", SessionStep::OpenRemoteFile, kActive, kExtended, "421 Timeout.", true, false},
    // The same in passive mode: a refused PASV does not change by waiting.
    {"PASV refused", SessionStep::OpenRemoteFile, kPassive, kExtended, "500 PASV not understood.", false, false},
    {"passive data connection not made", SessionStep::OpenRemoteFile, kPassive, kExtended,
     "425 Can't open data connection.", true, false},
    {"passive connect failed", SessionStep::OpenRemoteFile, kPassive, kCannotConnect, "", true, false},
    {"file refused, passive", SessionStep::OpenRemoteFile, kPassive, kExtended, "550 No.", false, false},
    // A stale reply of an earlier command is not the reason of a failure WinINet names itself.
    {"stale 550 beside a lost connection", SessionStep::OpenRemoteFile, kActive, kAborted, "550 old", true, false},
    // Writing and reading.
    {"block write failed", SessionStep::WriteBlock, kActive, kAborted, "", true, false},
    {"block write failed, passive", SessionStep::WriteBlock, kPassive, kReset, "", true, false},
    {"local file unreadable", SessionStep::ReadLocalFile, kActive, kFileNotFound, "", false, false},
    {"local file grown past a rule since it was listed", SessionStep::LocalFileTooLarge, kActive, 223, "", false,
     false},
    {"local file changed while it was sent", SessionStep::LocalFileChanged, kActive, 1006, "", true, false},
    {"every stored name asked about is held", SessionStep::NoFreeName, kActive, 80, "", false, false},
    // The final reply to a store that took every byte.
    {"store aborted by the server", SessionStep::FinishStore, kActive, kExtended, "426 Transfer aborted.", true, false},
    {"store failed locally at the server", SessionStep::FinishStore, kPassive, kExtended, "451 Write error.", true,
     false},
    {"store beyond the quota", SessionStep::FinishStore, kActive, kExtended, "552 Quota exceeded.", false, false},
    {"store kept short (its size)", SessionStep::FinishStore, kActive, kExtended, "213 5000 (10000 bytes sent)", true,
     false},
};

TEST(RetryPolicy, FailedSteps) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.label);
        // The secure channel says TLS refused itself; every other row is WinINet's error and reply.
        ChannelResult result = InetFailure(c.error, std::string(c.response), 0);
        if (c.response.rfind("TLS:", 0) == 0) result.outcome = ChannelOutcome::kTlsRefused;
        const FailureVerdict verdict = JudgeFailure(c.step, c.passive, result);
        EXPECT_EQ(verdict.retry, c.retry);
        EXPECT_EQ(verdict.usePassive, c.usePassive);
    }
}

TEST(RetryPolicy, WaitsDoubleUpToEightSeconds) {
    const unsigned expected[] = {1, 2, 4, 8, 8, 8, 8, 8};
    for (unsigned retry = 1; retry <= 8; ++retry) {
        SCOPED_TRACE(retry);
        EXPECT_EQ(RetryDelaySeconds(retry), expected[retry - 1]);
    }
    EXPECT_EQ(RetryDelaySeconds(1000000), 8u);
}

// Files listed at one size and found at another when opened; the list's limit is 1000 with 600
// listed in all (this file's listed size among it), and no file may pass 100.
TEST(SendLimits, JudgedAsFoundWhenOpened) {
    const struct {
        const char* label;
        std::uint64_t listed, found;
        SendRule rule;
    } cases[] = {
        {"unchanged", 50, 50, SendRule::kFits},
        {"grown within both rules", 50, 100, SendRule::kFits},
        {"grown past the largest file", 50, 101, SendRule::kOverFileMaximum},
        {"grown past 4 GiB, not read as a small file", 50, (1ull << 32) + 1, SendRule::kOverFileMaximum},
        {"shrunk", 50, 0, SendRule::kFits},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(SendLimits(100, 1000, 600).Judge(c.listed, c.found), c.rule);
    }
    // Files sent bigger than listed leave less room for the ones after them.
    SendLimits limits(1000, 1000, 900);
    EXPECT_EQ(limits.Judge(100, 200), SendRule::kFits);  // the list reaches the limit: still taken
    limits.Sent(100, 180);
    EXPECT_EQ(limits.Judge(100, 121), SendRule::kOverPageLimit);
    EXPECT_EQ(limits.Judge(100, 120), SendRule::kFits);
    // Totals that counted less than the file (a saturated count) never wrap.
    EXPECT_EQ(SendLimits(UINT64_MAX, 10, 0).Judge(50, 5), SendRule::kFits);
    EXPECT_EQ(SendLimits(UINT64_MAX, UINT64_MAX - 1, UINT64_MAX).Judge(0, UINT64_MAX), SendRule::kOverPageLimit);
    EXPECT_EQ(SendLimits().Judge(0, UINT64_MAX), SendRule::kFits);
}

// A session's failures in order ('f' a transient failure, 'L' a log-on), the retries out.
TEST(RetryPolicy, BudgetFitsTheFailure) {
    const struct {
        const char* label;
        std::int32_t count;
        const char* steps;
        const char* retries;
    } cases[] = {
        {"a server that is not there, default count", 10, "fff", "1/2 1s, 2/2 2s, none"},
        {"the same, one retry asked for", 1, "ff", "1/1 1s, none"},
        {"no retries asked for", 0, "f", "none"},
        {"a negative count is none", -5, "f", "none"},
        {"logged on: the whole count, every wait from the fourth on 8 s", 10, "Lfffffffffff",
         "1/10 1s, 2/10 2s, 3/10 4s, 4/10 8s, 5/10 8s, 6/10 8s, 7/10 8s, 8/10 8s, 9/10 8s, 10/10 8s, none"},
        {"two failed connects, then a log-on: the later failure counts on", 10, "ffLf", "1/2 1s, 2/2 2s, 3/10 4s"},
        {"a budget spent before the log-on", 10, "fffLf", "1/2 1s, 2/2 2s, none, 3/10 4s"},
        {"a count below the budget after the log-on", 2, "Lfff", "1/2 1s, 2/2 2s, none"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        RetryBudget budget(c.count);
        std::string retries;
        for (const char* step = c.steps; *step; ++step) {
            if (*step == 'L') {
                budget.LoggedOn();
                continue;
            }
            const std::optional<RetryBudget::Retry> retry = budget.Take();
            retries += retries.empty() ? "" : ", ";
            retries += retry ? std::to_string(retry->number) + "/" + std::to_string(retry->of) + " " +
                                   std::to_string(retry->delaySeconds) + "s"
                             : "none";
        }
        EXPECT_EQ(retries, c.retries);
    }
}

}  // namespace
}  // namespace tovalo::upload
