// Reading tovalo-ftp's options from one table (which --help prints) and splitting its commands at the "," words.
#include "tools/tovalo-ftp/CliOptions.h"

#include <charconv>
#include <cstdint>

#include "ftp/FtpTypes.h"
#include "ftp/TlsConnection.h"
#include "tools/tovalo-ftp/CliCommands.h"

namespace nsFtpCli {
namespace {

bool ParseUnsigned(const std::string& text, unsigned minimum, unsigned maximum, unsigned& value) {
    unsigned parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || parsed < minimum ||
        parsed > maximum)
        return false;
    value = parsed;
    return true;
}

// A password option's value: "-" asks for it instead.
bool SetPassword(const std::string& value, std::string& password, bool& ask) {
    ask = value == "-";
    password = ask ? std::string() : value;
    return true;
}

struct COptionRow {
    const char* name;
    const char* alias;  // another spelling, or null
    const char* value;  // what the value is, for the help; null: the option takes none
    const char* help;
    bool (*apply)(COptions& options, const std::string& value);
};

constexpr unsigned kMaxFirewallMode = static_cast<unsigned>(nsFTP::CFirewallMode::kCount - 1);

constexpr COptionRow kOptionRows[] = {
    {"-H", nullptr, "HOST", "server host name or address (required)",
     [](COptions& o, const std::string& v) {
         o.account.host = v;
         return !v.empty();
     }},
    {"-P", nullptr, "PORT", "server port (21)",
     [](COptions& o, const std::string& v) { return ParseUnsigned(v, 1, 65535, o.account.port); }},
    {"-u", nullptr, "USER", "user name (anonymous, or the one in ~/.netrc with -n)",
     [](COptions& o, const std::string& v) {
         o.account.user = v;
         o.account.userGiven = true;
         return true;
     }},
    {"-p", nullptr, "PASS", "password; - reads it from the terminal without echo, or a line of stdin",
     [](COptions& o, const std::string& v) {
         o.account.passwordGiven = true;
         return SetPassword(v, o.account.password, o.account.askPassword);
     }},
    {"-a", nullptr, "ACCOUNT", "account for a server that asks for one (ACCT)",
     [](COptions& o, const std::string& v) {
         o.account.account = v;
         return true;
     }},
    {"-n", "--netrc", nullptr, "user and password of HOST from ~/.netrc (-u and -p win)",
     [](COptions& o, const std::string&) {
         o.account.netrc = true;
         return true;
     }},
    {"--netrc-file", nullptr, "FILE", "as -n, from FILE",
     [](COptions& o, const std::string& v) {
         o.account.netrcFile = v;
         o.account.netrc = true;
         return true;
     }},
    {"--fw-mode", nullptr, "N", "firewall logon method, 0 to 8 (0: none; see FIREWALLS)",
     [](COptions& o, const std::string& v) { return ParseUnsigned(v, 0, kMaxFirewallMode, o.account.fwMode); }},
    {"--fw-host", nullptr, "HOST", "firewall host (needed by modes 1 to 8)",
     [](COptions& o, const std::string& v) {
         o.account.fwHost = v;
         return !v.empty();
     }},
    {"--fw-port", nullptr, "PORT", "firewall port (21)",
     [](COptions& o, const std::string& v) { return ParseUnsigned(v, 1, 65535, o.account.fwPort); }},
    {"--fw-user", nullptr, "USER", "firewall user name",
     [](COptions& o, const std::string& v) {
         o.account.fwUser = v;
         return true;
     }},
    {"--fw-pass", nullptr, "PASS", "firewall password; - asks for it as -p - does",
     [](COptions& o, const std::string& v) { return SetPassword(v, o.account.fwPassword, o.account.askFwPassword); }},
    {"--passive", nullptr, nullptr, "passive data connections (PASV) instead of active ones (PORT)",
     [](COptions& o, const std::string&) {
         o.passive = true;
         return true;
     }},
    {"--timeout", nullptr, "S", "seconds that any one wait may last, 1 to 86400 (100)",
     [](COptions& o, const std::string& v) { return ParseUnsigned(v, 1, 86400, o.timeoutSeconds); }},
    {"-C", "--continue", nullptr, "resume: put appends to a shorter remote file, get to a shorter local one",
     [](COptions& o, const std::string&) {
         o.resume = true;
         return true;
     }},
    {"--no-resume", nullptr, nullptr, "replace the target of put and get (the default)",
     [](COptions& o, const std::string&) {
         o.resume = false;
         return true;
     }},
    {"--ssl-reqd", nullptr, nullptr, "explicit FTPS; a server that refuses TLS gets no account",
     [](COptions& o, const std::string&) {
         o.sslRequired = true;
         return true;
     }},
    {"--pin-sha256", nullptr, "HEX", "with --ssl-reqd: the certificate's SHA-256, instead of the trust store",
     [](COptions& o, const std::string& v) {
         o.pinSha256 = nsTls::NormalizePin(v);
         return !o.pinSha256.empty();
     }},
    {"--cert-name", nullptr, "NAME", "with --ssl-reqd: the name the certificate must carry, instead of HOST",
     [](COptions& o, const std::string& v) {
         o.certName = v;
         return !v.empty();
     }},
    {"-k", "--insecure", nullptr, "with --ssl-reqd: take any certificate (warned about)",
     [](COptions& o, const std::string&) {
         o.insecure = true;
         return true;
     }},
    {"-v", "--verbose", nullptr, "show the exchange with the server on stderr (passwords masked)",
     [](COptions& o, const std::string&) {
         o.verbose = true;
         return true;
     }},
    {"-h", "--help", nullptr, "print this reference and exit",
     [](COptions& o, const std::string&) {
         o.help = true;
         return true;
     }},
};

const COptionRow* FindOption(const std::string& word) {
    for (const COptionRow& row : kOptionRows)
        if (word == row.name || (row.alias && word == row.alias)) return &row;
    return nullptr;
}

bool SplitCommands(const std::vector<std::string>& words, std::size_t first, COptions& options, std::string& error) {
    if (first == words.size()) {
        error = "no command given";
        return false;
    }
    options.commands.emplace_back();
    for (std::size_t i = first; i < words.size(); ++i) {
        if (words[i] == ",")
            options.commands.emplace_back();
        else if (options.commands.back().name.empty())
            options.commands.back().name = words[i];
        else
            options.commands.back().args.push_back(words[i]);
    }
    for (const CCommand& command : options.commands)
        if (!ValidateCommand(command, error)) return false;
    return true;
}

void AppendPadded(std::string& text, const std::string& item, std::size_t width) {
    text += item;
    text.append(item.size() < width ? width - item.size() : 1, ' ');
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& words, COptions& options, std::string& error) {
    std::size_t at = 0;
    for (; at < words.size(); ++at) {
        const std::string& word = words[at];
        if (word == "--") {
            ++at;
            break;
        }
        if (word.size() < 2 || word[0] != '-') break;
        const COptionRow* row = FindOption(word);
        if (!row) {
            error = "unknown option " + word;
            return false;
        }
        if (!row->value) {
            row->apply(options, std::string());
            continue;
        }
        if (at + 1 == words.size()) {
            error = "option " + word + " needs a value (" + row->value + ")";
            return false;
        }
        if (!row->apply(options, words[++at])) {
            error = "bad value for " + word + ": " + words[at];
            return false;
        }
    }
    if (options.help) return true;
    if (!options.sslRequired && (options.insecure || !options.pinSha256.empty() || !options.certName.empty())) {
        error = "--pin-sha256, --cert-name and --insecure need --ssl-reqd";
        return false;
    }
    if (!SplitCommands(words, at, options, error)) return false;
    const CAccountOptions& account = options.account;
    if (account.host.empty()) {
        error = "no host given (-H HOST)";
        return false;
    }
    if (account.fwMode != 0 && account.fwHost.empty()) {
        error = "firewall mode " + std::to_string(account.fwMode) + " needs --fw-host";
        return false;
    }
    if (account.askPassword && account.askFwPassword) {
        error = "only one of -p and --fw-pass can be -";
        return false;
    }
    return true;
}

std::string HelpText() {
    std::string text =
        "tovalo-ftp: an FTP client for the command line; one logon, then the commands in order.\n"
        "\n"
        "usage: tovalo-ftp [OPTIONS] COMMAND [ARG...] [, COMMAND [ARG...]]...\n"
        "       tovalo-ftp parse [--now EPOCH] < LISTING\n"
        "\n"
        "OPTIONS\n";
    constexpr std::size_t kOptionWidth = 24;
    for (const COptionRow& row : kOptionRows) {
        std::string item = "  " + std::string(row.name);
        if (row.alias) item += std::string(", ") + row.alias;
        if (row.value) item += std::string(" ") + row.value;
        AppendPadded(text, item, kOptionWidth);
        text += row.help;
        text += '\n';
    }
    text += "\nCOMMANDS (separated by a lone \",\"; the first one refused or failed ends the run)\n";
    for (const CCommandHelp& command : CommandHelp()) {
        AppendPadded(text, "  " + std::string(command.synopsis), kOptionWidth);
        text += command.help;
        text += '\n';
    }
    text +=
        "  parse [--now EPOCH]   no server: listing lines on stdin become entry lines as ls prints them,\n"
        "                        and FAIL<TAB>line for lines not understood; EPOCH fixes \"now\" for dates\n"
        "                        without a year\n"
        "\n"
        "OUTPUT\n"
        "  ls and parse print one line per entry: OK, name, may-cd (0/1), may-get (0/1), size type, size,\n"
        "  time type, time (seconds since 1970 UTC), id type, id, permissions, owner, group, links, joined\n"
        "  by TABs. Texts from the server (names, listing lines, replies) are printed with C escapes: \\t \\n\n"
        "  \\r \\\\ and \\ooo (octal) for other control bytes, so no name can add a line, shift a column or\n"
        "  send an escape sequence to the terminal. get and put draw a progress line on stderr when it is\n"
        "  a terminal and -v is off.\n"
        "\n"
        "FIREWALLS (--fw-mode)\n";
    for (const nsFTP::CFirewallMode& mode : nsFTP::CFirewallMode::GetAllValues())
        text += "  " + std::to_string(mode.AsInt()) + "  " + mode.AsDisplayString() + '\n';
    text +=
        "\n"
        "EXAMPLES\n"
        "  check a server, password asked for without echo:\n"
        "    tovalo-ftp -H ftp.example.com -u admin -p - syst , pwd , ls\n"
        "  upload through a firewall (SITE hostname), resuming a broken upload:\n"
        "    tovalo-ftp -H ftp.example.com -n --fw-mode 1 --fw-host fw.example.com --fw-user me \\\n"
        "      --fw-pass - -C put backup.tar incoming/backup.tar\n"
        "\n"
        "EXIT STATUS\n"
        "  0 every command done, 1 a command refused or failed (named on stderr with the server's reply\n"
        "  or the local error), 2 usage error, 3 no connection or the logon refused, 130 stopped by\n"
        "  Ctrl-C (the transfer under way cut short; a second Ctrl-C ends the program outright)\n";
    return text;
}

const char* UsageHint() noexcept {
    return "usage: tovalo-ftp [OPTIONS] COMMAND [ARG...] [, COMMAND [ARG...]]...  (tovalo-ftp --help)\n";
}

}  // namespace nsFtpCli
