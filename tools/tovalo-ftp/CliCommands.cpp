// tovalo-ftp's command table and the handlers that drive the client and print results.
#include "tools/tovalo-ftp/CliCommands.h"

#include <charconv>
#include <cstddef>
#include <ostream>

#include "tools/tovalo-ftp/CliObserver.h"
#include "tools/tovalo-ftp/EntryLine.h"

namespace nsFtpCli
{
namespace
{

using THandler = bool (*)(CSession&, const CCommand&);

struct CCommandRow
{
    const char* name;
    std::size_t minArgs;
    std::size_t maxArgs;  // kRestOfLine: the remaining words form one text
    THandler run;
};

constexpr std::size_t kRestOfLine = static_cast<std::size_t>(-1);

// The optional first argument, or an empty text.
const std::string& ArgOrEmpty(const CCommand& command)
{
    static const std::string empty;
    return command.args.empty() ? empty : command.args.front();
}

// All arguments joined by blanks (for SITE and HELP texts given as several words).
std::string JoinedArgs(const CCommand& command)
{
    std::string text;
    for (const std::string& arg : command.args)
    {
        if (!text.empty())
            text += ' ';
        text += arg;
    }
    return text;
}

void PrintReply(CSession& session)
{
    if (!session.replies.LastReply().empty())
        session.out << session.replies.LastReply() << '\n';
}

bool PrintLines(CSession& session, const nsFTP::CFTPClient::TStringVector& lines)
{
    for (const std::string& line : lines)
        session.out << line << '\n';
    return true;
}

bool RunLs(CSession& s, const CCommand& c)
{
    nsFTP::CFTPClient::TFileStatusVector entries;
    if (!s.client.ListEntries(ArgOrEmpty(c), entries, s.options.passive))
        return false;
    std::string text;
    for (const auto& entry : entries)
    {
        AppendEntryLine(text, *entry);
        text += '\n';
    }
    s.out << text;
    return true;
}

bool RunList(CSession& s, const CCommand& c)
{
    nsFTP::CFTPClient::TStringVector lines;
    return s.client.ListLines(ArgOrEmpty(c), lines, s.options.passive) && PrintLines(s, lines);
}

bool RunNlst(CSession& s, const CCommand& c)
{
    nsFTP::CFTPClient::TStringVector lines;
    return s.client.NameLines(ArgOrEmpty(c), lines, s.options.passive) && PrintLines(s, lines);
}

bool RunGet(CSession& s, const CCommand& c)
{
    return s.client.DownloadFile(c.args[0], c.args[1], s.type, s.options.passive);
}

bool RunPut(CSession& s, const CCommand& c)
{
    return s.client.UploadFile(c.args[0], c.args[1], false, s.type, s.options.passive);
}

bool RunPutUnique(CSession& s, const CCommand& c)
{
    return s.client.UploadFile(c.args[0], c.args[1], true, s.type, s.options.passive);
}

bool RunSize(CSession& s, const CCommand& c)
{
    std::int64_t size = 0;
    if (s.client.FileSize(c.args[0], size) != 0)
        return false;
    s.out << size << '\n';
    return true;
}

bool RunMdtm(CSession& s, const CCommand& c)
{
    std::string stamp;
    if (s.client.ModificationTime(c.args[0], stamp) != 0)
        return false;
    s.out << stamp << '\n';
    return true;
}

bool RunPwd(CSession& s, const CCommand&)
{
    if (s.client.PrintDirectory() != 0)
        return false;
    s.out << DirectoryOfReply(s.replies.LastReply()) << '\n';
    return true;
}

// Commands whose reply is their result: printed as the server wrote it.
template <int (nsFTP::CFTPClient::*Call)()>
bool RunShowReply(CSession& s, const CCommand&)
{
    if ((s.client.*Call)() != 0)
        return false;
    PrintReply(s);
    return true;
}

template <int (nsFTP::CFTPClient::*Call)(const std::string&)>
bool RunShowReplyWithText(CSession& s, const CCommand& c)
{
    if ((s.client.*Call)(JoinedArgs(c)) != 0)
        return false;
    PrintReply(s);
    return true;
}

template <int (nsFTP::CFTPClient::*Call)(const std::string&)>
bool RunPathCommand(CSession& s, const CCommand& c)
{
    return (s.client.*Call)(c.args[0]) == 0;
}

bool RunMv(CSession& s, const CCommand& c) { return s.client.Rename(c.args[0], c.args[1]) == 0; }
bool RunCdup(CSession& s, const CCommand&) { return s.client.ChangeToParent() == 0; }
bool RunNoop(CSession& s, const CCommand&) { return s.client.Noop() == 0; }

// Sets the type on the server at once (SIZE depends on it) and for later transfers.
bool RunType(CSession& s, const CCommand& c)
{
    return ParseTypeWord(c.args[0], s.type) && s.client.SetType(s.type) == 0;
}

constexpr CCommandRow kCommands[] = {
    {"ls", 0, 1, RunLs},
    {"list", 0, 1, RunList},
    {"nlst", 0, 1, RunNlst},
    {"get", 2, 2, RunGet},
    {"put", 2, 2, RunPut},
    {"putu", 2, 2, RunPutUnique},
    {"size", 1, 1, RunSize},
    {"mdtm", 1, 1, RunMdtm},
    {"mkdir", 1, 1, RunPathCommand<&nsFTP::CFTPClient::MakeDirectory>},
    {"rmdir", 1, 1, RunPathCommand<&nsFTP::CFTPClient::RemoveDirectory>},
    {"rm", 1, 1, RunPathCommand<&nsFTP::CFTPClient::Delete>},
    {"mv", 2, 2, RunMv},
    {"cd", 1, 1, RunPathCommand<&nsFTP::CFTPClient::ChangeDirectory>},
    {"cdup", 0, 0, RunCdup},
    {"pwd", 0, 0, RunPwd},
    {"site", 1, kRestOfLine, RunShowReplyWithText<&nsFTP::CFTPClient::Site>},
    {"noop", 0, 0, RunNoop},
    {"syst", 0, 0, RunShowReply<&nsFTP::CFTPClient::System>},
    {"stat", 0, 1, RunShowReplyWithText<&nsFTP::CFTPClient::Status>},
    {"help", 0, kRestOfLine, RunShowReplyWithText<&nsFTP::CFTPClient::Help>},
    {"type", 1, 1, RunType},
};

const CCommandRow* FindCommand(const std::string& name)
{
    for (const CCommandRow& row : kCommands)
        if (name == row.name)
            return &row;
    return nullptr;
}

}  // namespace

bool ParseTypeWord(const std::string& word, nsFTP::CTransferType& type)
{
    using nsFTP::CTransferType;
    if (word == "A")
        type = CTransferType::ASCII();
    else if (word == "E")
        type = CTransferType(CTransferType::tyEBCDIC, CTransferType::tfNonPrint);
    else if (word == "I")
        type = CTransferType::Image();
    else if (word.size() > 1 && word[0] == 'L')
    {
        int byteSize = 0;
        const auto [end, error] = std::from_chars(word.data() + 1, word.data() + word.size(), byteSize);
        if (error != std::errc() || end != word.data() + word.size() || byteSize < 1 || byteSize > 255)
            return false;
        type = CTransferType(CTransferType::tyLocalByte, byteSize);
    }
    else
        return false;
    return true;
}

std::string DirectoryOfReply(const std::string& reply)
{
    const std::string firstLine = reply.substr(0, reply.find('\n'));
    const std::size_t open = firstLine.find('"');
    if (open == std::string::npos)
        return firstLine.size() > 4 ? firstLine.substr(4) : std::string();
    std::string directory;
    for (std::size_t at = open + 1; at < firstLine.size(); ++at)
    {
        if (firstLine[at] != '"')
            directory += firstLine[at];
        else if (at + 1 < firstLine.size() && firstLine[at + 1] == '"')
            directory += firstLine[++at];
        else
            break;
    }
    return directory;
}

bool ValidateCommand(const CCommand& command, std::string& error)
{
    const CCommandRow* row = FindCommand(command.name);
    if (!row)
    {
        error = command.name.empty() ? "empty command between commas" : "unknown command " + command.name;
        return false;
    }
    if (command.args.size() < row->minArgs || command.args.size() > row->maxArgs)
    {
        error = "wrong number of arguments for " + command.name;
        return false;
    }
    nsFTP::CTransferType type;
    if (command.name == "type" && !ParseTypeWord(command.args[0], type))
    {
        error = "type must be A, I, E or L<byte size>";
        return false;
    }
    return true;
}

bool RunCommands(CSession& session, const std::vector<CCommand>& commands)
{
    for (const CCommand& command : commands)
    {
        const CCommandRow* row = FindCommand(command.name);
        if (!row || !row->run(session, command))
            return false;
        session.out.flush();
    }
    return true;
}

}  // namespace nsFtpCli
