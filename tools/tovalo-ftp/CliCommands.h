// tovalo-ftp's commands: one table of names, argument counts and handlers, run in order on one client.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "ftp/FtpClient.h"
#include "tools/tovalo-ftp/CliOptions.h"

namespace nsFtpCli {

class CReplyRecorder;

// What the commands of one run share.
struct CSession {
    nsFTP::CFTPClient& client;
    const COptions& options;
    CReplyRecorder& replies;
    std::ostream& out;
    std::ostream& err;
    nsFTP::CTransferType type = nsFTP::CTransferType::Image();  // of later transfers
};

// True when the command exists and its arguments fit; otherwise a message in error.
bool ValidateCommand(const CCommand& command, std::string& error);

// Runs the commands in order; false at the first one that is refused or fails, which is then named on
// err with the server's reply or the local error.
bool RunCommands(CSession& session, const std::vector<CCommand>& commands);

// What went wrong with the last command, for its line on stderr: "refused: <reply>" for a reply of
// class 4 or 5, "failed: <error>" for a socket or local error, else the unexpected reply.
std::string FailureText(const CReplyRecorder& replies);

// One command's line in the help: its synopsis and what it does.
struct CCommandHelp {
    const char* synopsis;
    const char* help;
};
std::vector<CCommandHelp> CommandHelp();

// "A", "I", "E" or "L<byte size>" as a transfer type; false for anything else.
bool ParseTypeWord(const std::string& word, nsFTP::CTransferType& type);

}  // namespace nsFtpCli
