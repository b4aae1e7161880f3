// tovalo-ftp's command line: the options of the one logon and the comma-separated commands to run on it.
#pragma once

#include <string>
#include <vector>

#include "ftp/FtpTypes.h"

namespace nsFtpCli
{

// One command of the run: its name and its arguments.
struct CCommand
{
    std::string name;
    std::vector<std::string> args;
};

struct COptions
{
    nsFTP::CLogonData logon;
    bool passive = false;
    unsigned timeoutSeconds = 100;
    bool resume = true;
    bool verbose = false;
    std::vector<CCommand> commands;
};

// Fills options from the words after the program name. False with a message in error when the
// words do not form a valid run (unknown option or command, missing or extra arguments).
bool ParseArguments(const std::vector<std::string>& words, COptions& options, std::string& error);

// The usage text printed with exit status 2.
const char* UsageText() noexcept;

}  // namespace nsFtpCli
