// tovalo-ftp: drives the FTP client through one logon from the command line (see Cli.h).
#include <iostream>
#include <string>
#include <vector>

#include "tools/tovalo-ftp/Cli.h"

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> words(argv + 1, argv + argc);
    return nsFtpCli::RunCli(words, std::cin, std::cout, std::cerr);
}
