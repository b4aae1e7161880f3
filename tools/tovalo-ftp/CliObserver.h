// tovalo-ftp's observer of the client: keeps the last reply and error for printing and, with -v, shows the exchange.
#pragma once

#include <iosfwd>
#include <string>

#include "ftp/FtpClient.h"

namespace nsFtpCli {

// The reply lines since the last command line sent and the last error report since BeginCommand;
// with an error stream, every command line ("> ", passwords masked), reply line ("< ") and error
// report ("! message [source:line]"), texts escaped.
class CReplyRecorder final : public nsFTP::CFTPClient::CNotifaction {
public:
    // verbose: null for a quiet run.
    explicit CReplyRecorder(std::ostream* verbose) noexcept : m_pVerbose(verbose) {}

    // Forgets the reply and the error of the command before.
    void BeginCommand();
    // The reply lines to the last command, joined by "\n" (cut at nsFTP::kMaxReplyText).
    const std::string& LastReply() const noexcept { return m_strReply; }
    // The last error report as one line, or empty.
    const std::string& LastError() const noexcept { return m_strError; }

    void OnCommandSent(const std::string& command) override;
    void OnReplyLine(const std::string& line) override;
    void OnErrorReport(const std::string& message, const std::string& sourceFile, int line) override;

    // The command line as shown: the argument of PASS becomes "****".
    static std::string MaskedCommand(const std::string& command);

private:
    std::ostream* m_pVerbose;
    std::string m_strReply;
    std::string m_strError;
};

// Lines joined by "\n" as one escaped line, the lines separated by a blank (for messages).
std::string OneLine(const std::string& lines);

}  // namespace nsFtpCli
