// tovalo-ftp's reply recorder under a reply that never ends: it keeps no more than the client does.
#include <gtest/gtest.h>

#include <string>

#include "ftp/ReplyReader.h"
#include "tools/tovalo-ftp/CliObserver.h"

namespace {

TEST(CliObserver, AReplyWithoutEndIsKeptOnlyUpToTheReplyBound) {
    nsFtpCli::CReplyRecorder recorder(nullptr);
    recorder.OnCommandSent("NOOP");
    const std::string line = "220-" + std::string(1000, 'm');
    for (std::size_t sent = 0; sent < 3 * nsFTP::kMaxReplyText; sent += line.size()) recorder.OnReplyLine(line);
    EXPECT_EQ(recorder.LastReply().size(), nsFTP::kMaxReplyText);
    recorder.OnCommandSent("NOOP");
    recorder.OnReplyLine("200 ok");
    EXPECT_EQ(recorder.LastReply(), "200 ok");
}

}  // namespace
