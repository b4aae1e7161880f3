// Reading tovalo-ftp's options and splitting its commands at the "," words.
#include "tools/tovalo-ftp/CliOptions.h"

#include <charconv>
#include <cstdint>

#include "tools/tovalo-ftp/CliCommands.h"

namespace nsFtpCli
{
namespace
{

bool ParseUnsigned(const std::string& text, unsigned minimum, unsigned maximum, unsigned& value)
{
    unsigned parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < minimum || parsed > maximum)
        return false;
    value = parsed;
    return true;
}

// Everything an option can set, gathered before the logon record is built.
struct CRawOptions
{
    std::string host;
    unsigned port = 21;
    std::string user = "anonymous";
    std::string password;
    std::string account;
    unsigned fwMode = 0;
    std::string fwHost;
    unsigned fwPort = 21;
    std::string fwUser;
    std::string fwPassword;
};

enum class EValue
{
    None,
    Text,
    Port,
    FirewallMode,
    Seconds,
};

struct COptionRow
{
    const char* name;
    EValue value;
    std::string CRawOptions::*text;
    unsigned CRawOptions::*number;
    bool COptions::*flag;
    bool flagValue;
};

constexpr COptionRow kOptionRows[] = {
    {"-H", EValue::Text, &CRawOptions::host, nullptr, nullptr, false},
    {"-P", EValue::Port, nullptr, &CRawOptions::port, nullptr, false},
    {"-u", EValue::Text, &CRawOptions::user, nullptr, nullptr, false},
    {"-p", EValue::Text, &CRawOptions::password, nullptr, nullptr, false},
    {"-a", EValue::Text, &CRawOptions::account, nullptr, nullptr, false},
    {"--fw-mode", EValue::FirewallMode, nullptr, &CRawOptions::fwMode, nullptr, false},
    {"--fw-host", EValue::Text, &CRawOptions::fwHost, nullptr, nullptr, false},
    {"--fw-port", EValue::Port, nullptr, &CRawOptions::fwPort, nullptr, false},
    {"--fw-user", EValue::Text, &CRawOptions::fwUser, nullptr, nullptr, false},
    {"--fw-pass", EValue::Text, &CRawOptions::fwPassword, nullptr, nullptr, false},
    {"--timeout", EValue::Seconds, nullptr, nullptr, nullptr, false},
    {"--passive", EValue::None, nullptr, nullptr, &COptions::passive, true},
    {"--no-resume", EValue::None, nullptr, nullptr, &COptions::resume, false},
    {"-v", EValue::None, nullptr, nullptr, &COptions::verbose, true},
};

const COptionRow* FindOption(const std::string& word)
{
    for (const COptionRow& row : kOptionRows)
        if (word == row.name)
            return &row;
    return nullptr;
}

bool ApplyValue(const COptionRow& row, const std::string& value, CRawOptions& raw, COptions& options)
{
    switch (row.value)
    {
    case EValue::Text: raw.*row.text = value; return true;
    case EValue::Port: return ParseUnsigned(value, 1, 65535, raw.*row.number);
    case EValue::FirewallMode:
        return ParseUnsigned(value, 0, static_cast<unsigned>(nsFTP::CFirewallMode::kCount - 1), raw.*row.number);
    case EValue::Seconds: return ParseUnsigned(value, 1, 86400, options.timeoutSeconds);
    case EValue::None: return true;
    }
    return false;
}

bool SplitCommands(const std::vector<std::string>& words, std::size_t first, COptions& options, std::string& error)
{
    if (first == words.size())
    {
        error = "no command given";
        return false;
    }
    options.commands.emplace_back();
    for (std::size_t i = first; i < words.size(); ++i)
    {
        if (words[i] == ",")
            options.commands.emplace_back();
        else if (options.commands.back().name.empty())
            options.commands.back().name = words[i];
        else
            options.commands.back().args.push_back(words[i]);
    }
    for (const CCommand& command : options.commands)
        if (!ValidateCommand(command, error))
            return false;
    return true;
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& words, COptions& options, std::string& error)
{
    CRawOptions raw;
    std::size_t at = 0;
    for (; at < words.size(); ++at)
    {
        const std::string& word = words[at];
        if (word == "--")
        {
            ++at;
            break;
        }
        if (word.size() < 2 || word[0] != '-')
            break;
        const COptionRow* row = FindOption(word);
        if (!row)
        {
            error = "unknown option " + word;
            return false;
        }
        if (row->value == EValue::None)
        {
            options.*row->flag = row->flagValue;
            continue;
        }
        if (at + 1 == words.size())
        {
            error = "option " + word + " needs a value";
            return false;
        }
        if (!ApplyValue(*row, words[++at], raw, options))
        {
            error = "bad value for " + word + ": " + words[at];
            return false;
        }
    }
    if (!SplitCommands(words, at, options, error))
        return false;
    if (raw.host.empty())
    {
        error = "no host given (-H HOST)";
        return false;
    }
    if (raw.fwMode != 0 && raw.fwHost.empty())
    {
        error = "a firewall mode needs --fw-host";
        return false;
    }
    options.logon = nsFTP::CLogonData(raw.host, raw.port, raw.user, raw.password, raw.account, raw.fwHost,
                                      raw.fwUser, raw.fwPassword, raw.fwPort,
                                      nsFTP::CFirewallMode(static_cast<std::int32_t>(raw.fwMode)));
    return true;
}

const char* UsageText() noexcept
{
    return "usage: tovalo-ftp [options] COMMAND [ARG...] [, COMMAND [ARG...]]...\n"
           "       tovalo-ftp parse [--now EPOCH]   (listing lines on stdin, entry lines on stdout)\n"
           "options:\n"
           "  -H HOST  -P PORT (21)  -u USER (anonymous)  -p PASS  -a ACCOUNT\n"
           "  --fw-mode N (0-8)  --fw-host H  --fw-port P (21)  --fw-user U  --fw-pass P\n"
           "  --passive  --timeout S (100)  --no-resume  -v (show the exchange on stderr)\n"
           "commands:\n"
           "  ls [PATH]  list [PATH]  nlst [PATH]  get REMOTE LOCAL  put LOCAL REMOTE  putu LOCAL REMOTE\n"
           "  size PATH  mdtm PATH  mkdir PATH  rmdir PATH  rm PATH  mv FROM TO  cd PATH  cdup  pwd\n"
           "  site TEXT  noop  syst  stat [PATH]  help [TEXT]  type A|I|E|L8\n"
           "exit status: 0 all done, 1 a command refused or failed, 2 usage, 3 no connection or logon refused\n";
}

}  // namespace nsFtpCli
