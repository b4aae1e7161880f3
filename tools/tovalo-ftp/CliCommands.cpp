// tovalo-ftp's command table and the handlers that drive the client and print results.
#include "tools/tovalo-ftp/CliCommands.h"

#include <charconv>
#include <cstddef>
#include <ostream>
#include <string_view>

#include "ftp/DirListingParser.h"
#include "tools/tovalo-ftp/CliObserver.h"
#include "tools/tovalo-ftp/EntryLine.h"
#include "tools/tovalo-ftp/TextEscape.h"

namespace nsFtpCli {
namespace {

using THandler = bool (*)(CSession&, const CCommand&);

struct CCommandRow {
    const char* name;
    std::size_t minArgs;
    std::size_t maxArgs;  // kRestOfLine: the remaining words form one text
    THandler run;
    const char* synopsis;
    const char* help;
};

constexpr std::size_t kRestOfLine = static_cast<std::size_t>(-1);

// The optional first argument, or an empty text.
const std::string& ArgOrEmpty(const CCommand& command) {
    static const std::string empty;
    return command.args.empty() ? empty : command.args.front();
}

// All arguments joined by blanks (for SITE and HELP texts given as several words).
std::string JoinedArgs(const CCommand& command) {
    std::string text;
    for (const std::string& arg : command.args) {
        if (!text.empty()) text += ' ';
        text += arg;
    }
    return text;
}

// Each line escaped (TextEscape.h): a server's text cannot add a line or reach the terminal raw.
void PrintEscapedLine(CSession& session, std::string_view line) {
    std::string text;
    AppendEscaped(text, line);
    text += '\n';
    session.out << text;
}

void PrintReply(CSession& session) {
    std::string_view reply = session.replies.LastReply();
    while (!reply.empty()) {
        const std::size_t end = reply.find('\n');
        PrintEscapedLine(session, reply.substr(0, end));
        reply.remove_prefix(end == std::string_view::npos ? reply.size() : end + 1);
    }
}

// Every line of the listing printed, escaped, as it arrives.
bool RunLines(CSession& s, const CCommand& c,
              bool (nsFTP::CFTPClient::*list)(const std::string&, const nsFTP::CFTPClient::TLineHandler&, bool)) {
    return (s.client.*list)(
        ArgOrEmpty(c), [&s](std::string_view line) { PrintEscapedLine(s, line); }, s.options.passive);
}

// Each entry printed as soon as its line is parsed: nothing of the listing is kept.
bool RunLs(CSession& s, const CCommand& c) {
    std::string directory = ArgOrEmpty(c);
    if (!directory.empty() && directory.back() != '/') directory += '/';
    nsFTP::CDirListingParser parser;
    nsFTP::CFTPFileStatus entry;
    std::string text;
    return s.client.ListLines(
        directory,
        [&](std::string_view line) {
            if (!parser.ParseLine(entry, line)) return;
            text.clear();
            AppendEntryLine(text, entry);
            text += '\n';
            s.out << text;
        },
        s.options.passive);
}

bool RunList(CSession& s, const CCommand& c) { return RunLines(s, c, &nsFTP::CFTPClient::ListLines); }
bool RunNlst(CSession& s, const CCommand& c) { return RunLines(s, c, &nsFTP::CFTPClient::NameLines); }

bool RunGet(CSession& s, const CCommand& c) {
    return s.client.DownloadFile(c.args[0], c.args[1], s.type, s.options.passive);
}

bool RunPut(CSession& s, const CCommand& c) {
    return s.client.UploadFile(c.args[0], c.args[1], false, s.type, s.options.passive);
}

bool RunPutUnique(CSession& s, const CCommand& c) {
    return s.client.UploadFile(c.args[0], c.args[1], true, s.type, s.options.passive);
}

bool RunSize(CSession& s, const CCommand& c) {
    std::int64_t size = 0;
    if (s.client.FileSize(c.args[0], size) != 0) return false;
    s.out << size << '\n';
    return true;
}

bool RunMdtm(CSession& s, const CCommand& c) {
    std::string stamp;
    if (s.client.ModificationTime(c.args[0], stamp) != 0) return false;
    s.out << stamp << '\n';
    return true;
}

bool RunPwd(CSession& s, const CCommand&) {
    std::string directory;
    if (s.client.PrintDirectory(directory) != 0) return false;
    PrintEscapedLine(s, directory);
    return true;
}

// Commands whose reply is their result: printed as the server wrote it.
template <int (nsFTP::CFTPClient::*Call)()>
bool RunShowReply(CSession& s, const CCommand&) {
    if ((s.client.*Call)() != 0) return false;
    PrintReply(s);
    return true;
}

template <int (nsFTP::CFTPClient::*Call)(const std::string&)>
bool RunShowReplyWithText(CSession& s, const CCommand& c) {
    if ((s.client.*Call)(JoinedArgs(c)) != 0) return false;
    PrintReply(s);
    return true;
}

template <int (nsFTP::CFTPClient::*Call)(const std::string&)>
bool RunPathCommand(CSession& s, const CCommand& c) {
    return (s.client.*Call)(c.args[0]) == 0;
}

bool RunMv(CSession& s, const CCommand& c) { return s.client.Rename(c.args[0], c.args[1]) == 0; }
bool RunCdup(CSession& s, const CCommand&) { return s.client.ChangeToParent() == 0; }
bool RunNoop(CSession& s, const CCommand&) { return s.client.Noop() == 0; }

// Sets the type on the server at once (SIZE depends on it) and for later transfers.
bool RunType(CSession& s, const CCommand& c) {
    return ParseTypeWord(c.args[0], s.type) && s.client.SetType(s.type) == 0;
}

constexpr CCommandRow kCommands[] = {
    {"ls", 0, 1, RunLs, "ls [PATH]", "entries of a folder as parsed lines, printed as they arrive (LIST)"},
    {"list", 0, 1, RunList, "list [PATH]", "the folder's listing lines as the server sent them, escaped (LIST)"},
    {"nlst", 0, 1, RunNlst, "nlst [PATH]", "the names in a folder, escaped (NLST)"},
    {"get", 2, 2, RunGet, "get REMOTE LOCAL", "download a file (replaces LOCAL; -C resumes)"},
    {"put", 2, 2, RunPut, "put LOCAL REMOTE", "upload a file (replaces REMOTE; -C resumes)"},
    {"putu", 2, 2, RunPutUnique, "putu LOCAL REMOTE", "upload under a new name that the server chooses (STOU)"},
    {"size", 1, 1, RunSize, "size PATH", "size in bytes, in the current type (SIZE; type I first for most servers)"},
    {"mdtm", 1, 1, RunMdtm, "mdtm PATH", "modification time as YYYYMMDDhhmmss, UTC (MDTM)"},
    {"mkdir", 1, 1, RunPathCommand<&nsFTP::CFTPClient::MakeDirectory>, "mkdir PATH", "make a folder (MKD)"},
    {"rmdir", 1, 1, RunPathCommand<&nsFTP::CFTPClient::RemoveDirectory>, "rmdir PATH", "remove a folder (RMD)"},
    {"rm", 1, 1, RunPathCommand<&nsFTP::CFTPClient::Delete>, "rm PATH", "delete a file (DELE)"},
    {"mv", 2, 2, RunMv, "mv FROM TO", "rename (RNFR, RNTO)"},
    {"cd", 1, 1, RunPathCommand<&nsFTP::CFTPClient::ChangeDirectory>, "cd PATH", "change folder (CWD)"},
    {"cdup", 0, 0, RunCdup, "cdup", "go to the parent folder (CDUP)"},
    {"pwd", 0, 0, RunPwd, "pwd", "print the current folder (PWD)"},
    {"site", 1, kRestOfLine, RunShowReplyWithText<&nsFTP::CFTPClient::Site>, "site TEXT...",
     "a server-specific command, e.g. site chmod 644 FILE; prints the reply"},
    {"noop", 0, 0, RunNoop, "noop", "check that the connection answers (NOOP)"},
    {"syst", 0, 0, RunShowReply<&nsFTP::CFTPClient::System>, "syst", "print the server's system type (SYST)"},
    {"stat", 0, 1, RunShowReplyWithText<&nsFTP::CFTPClient::Status>, "stat [PATH]",
     "server status, or a listing of PATH over the control connection (STAT)"},
    {"help", 0, kRestOfLine, RunShowReplyWithText<&nsFTP::CFTPClient::Help>, "help [TEXT...]",
     "print the server's help (HELP)"},
    {"type", 1, 1, RunType, "type A|I|E|L<bits>", "transfer type from here on (image I is the default)"},
};

const CCommandRow* FindCommand(const std::string& name) {
    for (const CCommandRow& row : kCommands)
        if (name == row.name) return &row;
    return nullptr;
}

}  // namespace

std::vector<CCommandHelp> CommandHelp() {
    std::vector<CCommandHelp> rows;
    for (const CCommandRow& row : kCommands) rows.push_back({row.synopsis, row.help});
    return rows;
}

bool ParseTypeWord(const std::string& word, nsFTP::CTransferType& type) {
    using nsFTP::CTransferType;
    if (word == "A")
        type = CTransferType::ASCII();
    else if (word == "E")
        type = CTransferType(CTransferType::tyEBCDIC, CTransferType::tfNonPrint);
    else if (word == "I")
        type = CTransferType::Image();
    else if (word.size() > 1 && word[0] == 'L') {
        int byteSize = 0;
        const auto [end, error] = std::from_chars(word.data() + 1, word.data() + word.size(), byteSize);
        if (error != std::errc() || end != word.data() + word.size() || byteSize < 1 || byteSize > 255) return false;
        type = CTransferType(CTransferType::tyLocalByte, byteSize);
    } else
        return false;
    return true;
}

bool ValidateCommand(const CCommand& command, std::string& error) {
    const CCommandRow* row = FindCommand(command.name);
    if (!row) {
        error = command.name.empty() ? "empty command between commas" : "unknown command " + command.name;
        return false;
    }
    if (command.args.size() < row->minArgs || command.args.size() > row->maxArgs) {
        error = "wrong number of arguments for " + command.name;
        return false;
    }
    nsFTP::CTransferType type;
    if (command.name == "type" && !ParseTypeWord(command.args[0], type)) {
        error = "type must be A, I, E or L<byte size>";
        return false;
    }
    return true;
}

std::string CommandText(const CCommand& command) {
    std::string text = command.name;
    for (const std::string& arg : command.args) text += ' ' + arg;
    return Escaped(text);
}

std::string FailureText(const CReplyRecorder& replies) {
    if (!replies.LastError().empty()) return "failed: " + replies.LastError();
    const std::string& reply = replies.LastReply();
    if (reply.empty()) return "failed without a reply";
    const char first = reply.front();
    const std::string oneLine = OneLine(reply);
    return first == '4' || first == '5' ? "refused: " + oneLine : "failed, the server answered: " + oneLine;
}

bool RunCommands(CSession& session, const std::vector<CCommand>& commands) {
    for (const CCommand& command : commands) {
        const CCommandRow* row = FindCommand(command.name);
        session.replies.BeginCommand();
        if (!row || !row->run(session, command)) {
            session.out.flush();
            session.err << "tovalo-ftp: " << CommandText(command) << ": " << FailureText(session.replies) << '\n';
            return false;
        }
        session.out.flush();
    }
    return true;
}

}  // namespace nsFtpCli
