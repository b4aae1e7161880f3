// tovalo-ftp as a function: parses the words, logs on once, runs the commands, returns the exit status.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace nsFtpCli
{

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoLogon = 3;

// The receive buffer and transfer block of the command line's client: large blocks keep loopback
// transfers close to what the disk and the kernel can do.
inline constexpr unsigned kCliBufferSize = 256 * 1024;

// words: the program's arguments without its name.
int RunCli(const std::vector<std::string>& words, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace nsFtpCli
