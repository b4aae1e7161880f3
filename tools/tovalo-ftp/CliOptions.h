// tovalo-ftp's command line: the options of the one logon and the comma-separated commands to run on it.
#pragma once

#include <string>
#include <vector>

namespace nsFtpCli {

// One command of the run: its name and its arguments.
struct CCommand {
    std::string name;
    std::vector<std::string> args;
};

// The account as the options give it, before passwords are asked for and ~/.netrc is read.
struct CAccountOptions {
    std::string host;
    unsigned port = 21;
    std::string user;  // empty: from ~/.netrc with -n, else "anonymous"
    bool userGiven = false;
    std::string password;
    bool passwordGiven = false;
    bool askPassword = false;  // -p -
    std::string account;
    unsigned fwMode = 0;
    std::string fwHost;
    unsigned fwPort = 21;
    std::string fwUser;
    std::string fwPassword;
    bool askFwPassword = false;  // --fw-pass -
    bool netrc = false;          // -n or --netrc-file
    std::string netrcFile;       // empty: ~/.netrc
};

struct COptions {
    CAccountOptions account;
    bool passive = false;
    bool sslRequired = false;  // --ssl-reqd: explicit FTPS or nothing
    std::string pinSha256;     // --pin-sha256, normalized to 64 lower-case hex digits
    std::string certName;      // --cert-name: the name the certificate must carry; empty: the host
    bool insecure = false;     // -k: any certificate
    unsigned timeoutSeconds = 100;
    bool resume = false;
    bool verbose = false;
    bool help = false;
    std::vector<CCommand> commands;
};

// Fills options from the words after the program name. False with a message in error that names
// the offending word when the words do not form a valid run (unknown option or command, a missing or
// bad value, missing or extra arguments). "-h" or "--help" anywhere before the commands sets help
// and needs nothing else.
bool ParseArguments(const std::vector<std::string>& words, COptions& options, std::string& error);

// The full reference printed by --help: every option and command with one line each, examples, and
// the exit statuses.
std::string HelpText();

// The line printed after a usage error.
const char* UsageHint() noexcept;

}  // namespace nsFtpCli
