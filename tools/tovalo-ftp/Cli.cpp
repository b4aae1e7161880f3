// tovalo-ftp's run: usage check, the account (asked passwords, ~/.netrc), one logon, the commands in order, the exit
// status.
#include "tools/tovalo-ftp/Cli.h"

#include <chrono>
#include <fstream>
#include <istream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>

#include "ftp/BlockingSocket.h"
#include "ftp/FtpClient.h"
#include "tools/tovalo-ftp/CliCommands.h"
#include "tools/tovalo-ftp/CliObserver.h"
#include "tools/tovalo-ftp/CliOptions.h"
#include "tools/tovalo-ftp/Interrupt.h"
#include "tools/tovalo-ftp/Netrc.h"
#include "tools/tovalo-ftp/ParseCommand.h"
#include "tools/tovalo-ftp/ProgressMeter.h"
#include "tools/tovalo-ftp/TextEscape.h"

namespace nsFtpCli {
namespace {

// A .netrc larger than this is no hand-written account file.
constexpr std::streamsize kMaxNetrcBytes = 1 << 20;

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A password asked for: from the terminal without echo, or the next line of standard input.
// whose: "password for user@host" and the like: the prompt without its colon, and the error's words.
bool AskPassword(const CConsole& console, const std::string& whose, std::string& password, std::string& error) {
    bool read = false;
    if (console.inIsTerminal && console.readHidden)
        read = console.readHidden(whose + ": ", password);
    else {
        read = static_cast<bool>(std::getline(console.in, password));
        if (read && !password.empty() && password.back() == '\r') password.pop_back();
    }
    if (!read) error = "no line to read the " + whose + " from";
    return read;
}

bool ReadNetrc(const CAccountOptions& account, const CConsole& console, std::optional<CNetrcEntry>& entry,
               std::string& error) {
    const bool named = !account.netrcFile.empty();
    const std::string path = named ? account.netrcFile : console.netrcPath;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        // As curl: a missing ~/.netrc is no error, a file named on the command line is.
        if (named) error = "cannot read the netrc file " + Escaped(path);
        return !named;
    }
    std::string text(static_cast<std::size_t>(kMaxNetrcBytes) + 1, '\0');
    file.read(text.data(), kMaxNetrcBytes + 1);
    if (file.gcount() > kMaxNetrcBytes) {
        error = "the netrc file " + Escaped(path) + " is larger than 1 MiB";
        return false;
    }
    text.resize(static_cast<std::size_t>(file.gcount()));
    entry = FindNetrcEntry(text, account.host, account.userGiven ? account.user : std::string());
    return true;
}

// The logon record: the options, then ~/.netrc for what they leave open, then the passwords asked for.
bool BuildLogon(const COptions& options, const CConsole& console, nsFTP::CLogonData& logon, std::string& error) {
    const CAccountOptions& account = options.account;
    std::string user = account.userGiven ? account.user : "anonymous";
    std::string password = account.password;
    std::string accountName = account.account;
    if (account.netrc) {
        std::optional<CNetrcEntry> entry;
        if (!ReadNetrc(account, console, entry, error)) return false;
        if (entry) {
            if (!account.userGiven && !entry->login.empty()) user = entry->login;
            if (!account.passwordGiven) password = entry->password;
            if (accountName.empty()) accountName = entry->account;
        }
    }
    if (account.askPassword && !AskPassword(console, "password for " + user + "@" + account.host, password, error))
        return false;
    std::string fwPassword = account.fwPassword;
    if (account.askFwPassword &&
        !AskPassword(console, "firewall password for " + account.fwUser + "@" + account.fwHost, fwPassword, error))
        return false;
    logon =
        nsFTP::CLogonData(account.host, account.port, user, password, accountName, account.fwHost, account.fwUser,
                          fwPassword, account.fwPort, nsFTP::CFirewallMode(static_cast<std::int32_t>(account.fwMode)));
    return true;
}

}  // namespace

int RunCli(const std::vector<std::string>& words, const CConsole& console) {
    if (!words.empty() && words.front() == "parse")
        return RunParseCommand(std::vector<std::string>(words.begin() + 1, words.end()), console.in, console.out,
                               console.err);

    COptions options;
    std::string error;
    if (!ParseArguments(words, options, error)) {
        console.err << "tovalo-ftp: " << Escaped(error) << '\n' << UsageHint();
        return kExitUsage;
    }
    if (options.help) {
        console.out << HelpText();
        return kExitDone;
    }
    nsFTP::CLogonData logon;
    if (!BuildLogon(options, console, logon, error)) {
        console.err << "tovalo-ftp: " << error << '\n';
        return kExitUsage;
    }

    const nsSocket::CSocketLibrary sockets;
    if (!sockets.IsStarted()) {
        console.err << "tovalo-ftp: the socket library did not start\n";
        return kExitNoLogon;
    }
    // Both outlive the client, which may still wait on the network as it goes.
    nsSocket::CCancelSignal stop;
    std::optional<CStopOnInterrupt> interrupt;
    if (console.stopOnInterrupt) interrupt.emplace(stop);
    CReplyRecorder recorder(options.verbose ? &console.err : nullptr);
    nsFTP::CFTPClient client(options.timeoutSeconds, kCliBufferSize, true);
    client.SetCancelSignal(&stop);
    client.AddObserver(&recorder);
    std::unique_ptr<CProgressMeter> meter;
    if (console.errIsTerminal && !options.verbose) {
        meter = std::make_unique<CProgressMeter>(console.err, console.clock ? console.clock : SteadySeconds);
        client.AddObserver(meter.get());
    }
    client.SetResume(options.resume);
    if (options.sslRequired) {
        if (options.insecure && options.pinSha256.empty()) {
            console.err << "tovalo-ftp: warning: --insecure: the server's certificate is not checked, so anyone "
                           "between here and the server can read the password and the files\n";
        }
        client.RequireTls(nsTls::CTlsPolicy{options.certName, options.pinSha256, options.insecure});
    }
    if (!client.Logon(logon)) {
        console.err << "tovalo-ftp: no logon to " << Escaped(logon.Hostname()) << ':' << logon.Port() << ": "
                    << FailureText(recorder) << '\n';
        return client.Cancelled() ? kExitStopped : kExitNoLogon;
    }

    CSession session{client, options, recorder, console.out, console.err};
    const bool done = RunCommands(session, options.commands);
    console.out.flush();
    if (client.IsConnected()) client.Quit();
    if (done) return kExitDone;
    return client.Cancelled() ? kExitStopped : kExitFailed;
}

int RunCli(const std::vector<std::string>& words, std::istream& in, std::ostream& out, std::ostream& err) {
    return RunCli(words, CConsole{in, out, err});
}

}  // namespace nsFtpCli
