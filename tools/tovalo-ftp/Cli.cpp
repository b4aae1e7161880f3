// tovalo-ftp's run: usage check, one logon, the commands in order, and the exit status.
#include "tools/tovalo-ftp/Cli.h"

#include <ostream>

#include "ftp/BlockingSocket.h"
#include "ftp/FtpClient.h"
#include "tools/tovalo-ftp/CliCommands.h"
#include "tools/tovalo-ftp/CliObserver.h"
#include "tools/tovalo-ftp/CliOptions.h"
#include "tools/tovalo-ftp/ParseCommand.h"

namespace nsFtpCli
{

int RunCli(const std::vector<std::string>& words, std::istream& in, std::ostream& out, std::ostream& err)
{
    if (!words.empty() && words.front() == "parse")
        return RunParseCommand(std::vector<std::string>(words.begin() + 1, words.end()), in, out, err);
    if (words.size() == 1 && (words.front() == "-h" || words.front() == "--help"))
    {
        out << UsageText();
        return kExitDone;
    }

    COptions options;
    std::string error;
    if (!ParseArguments(words, options, error))
    {
        err << "tovalo-ftp: " << error << '\n' << UsageText();
        return kExitUsage;
    }

    const nsSocket::CSocketLibrary sockets;
    if (!sockets.IsStarted())
    {
        err << "tovalo-ftp: the socket library did not start\n";
        return kExitNoLogon;
    }
    CReplyRecorder recorder(options.verbose ? &err : nullptr);
    nsFTP::CFTPClient client(options.timeoutSeconds, kCliBufferSize, true);
    client.AddObserver(&recorder);
    client.SetResume(options.resume);
    if (!client.Logon(options.logon))
    {
        err << "tovalo-ftp: no logon to " << options.logon.Hostname() << '\n';
        return kExitNoLogon;
    }

    CSession session{client, options, recorder, out};
    const bool done = RunCommands(session, options.commands);
    out.flush();
    if (client.IsConnected())
        client.Quit();
    if (!done)
    {
        err << "tovalo-ftp: a command was refused or failed\n";
        return kExitFailed;
    }
    return kExitDone;
}

}  // namespace nsFtpCli
