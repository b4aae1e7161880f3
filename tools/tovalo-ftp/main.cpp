// tovalo-ftp: drives the FTP client through one logon from the command line (see Cli.h).
#include <iostream>
#include <string>
#include <vector>

#include "tools/tovalo-ftp/Cli.h"
#include "tools/tovalo-ftp/Console.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> words(argv + 1, argv + argc);
    nsFtpCli::CConsole console{std::cin, std::cout, std::cerr};
    console.inIsTerminal = nsFtpCli::IsTerminal(nsFtpCli::EStandardStream::Input);
    console.errIsTerminal = nsFtpCli::IsTerminal(nsFtpCli::EStandardStream::Error);
    console.netrcPath = nsFtpCli::DefaultNetrcPath();
    console.readHidden = nsFtpCli::ReadHiddenLine;
    console.stopOnInterrupt = true;
    return nsFtpCli::RunCli(words, console);
}
