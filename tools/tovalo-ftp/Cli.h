// tovalo-ftp as a function: parses the words, logs on once, runs the commands, returns the exit status.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace nsFtpCli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoLogon = 3;
inline constexpr int kExitStopped = 130;  // as a shell reports a program that Ctrl-C ended

// The receive buffer and transfer block of the command line's client: large blocks keep loopback
// transfers close to what the disk and the kernel can do.
inline constexpr unsigned kCliBufferSize = 256 * 1024;

// Where the run reads and writes, and what it knows of the terminal. A test gives streams and leaves
// the rest as it is: no terminal, no ~/.netrc.
struct CConsole {
    CConsole(std::istream& input, std::ostream& output, std::ostream& errors) : in(input), out(output), err(errors) {}

    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool inIsTerminal = false;   // "-p -" then reads through readHidden instead of a line of in
    bool errIsTerminal = false;  // the progress meter needs it
    std::string netrcPath;       // what -n reads
    // Prompts and reads one line without echo; called only when inIsTerminal.
    std::function<bool(const std::string& prompt, std::string& line)> readHidden;
    // Seconds on a clock that only moves forward (the progress meter's).
    std::function<double()> clock;
    // From the logon on, the first Ctrl-C stops the run at once (the transfer under way cut short)
    // instead of ending the program.
    bool stopOnInterrupt = false;
};

// words: the program's arguments without its name.
int RunCli(const std::vector<std::string>& words, const CConsole& console);
int RunCli(const std::vector<std::string>& words, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace nsFtpCli
