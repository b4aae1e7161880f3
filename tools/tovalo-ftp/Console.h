// What tovalo-ftp needs of the console it runs on: which streams are terminals, hidden password input, the home folder.
#pragma once

#include <string>

namespace nsFtpCli {

enum class EStandardStream {
    Input,
    Error,
};

bool IsTerminal(EStandardStream stream) noexcept;

// Writes prompt to stderr and reads one line from the terminal on stdin with echo off (restored
// afterwards, also when the read fails). False when nothing could be read.
bool ReadHiddenLine(const std::string& prompt, std::string& line);

// Where ~/.netrc lives: $HOME/.netrc; on Windows, where HOME is rarely set, %USERPROFILE%\_netrc
// as well. Empty when neither variable is set.
std::string DefaultNetrcPath();

}  // namespace nsFtpCli
