// The FTP client's simple commands: one table of verbs for the plain ones, small rules for the rest.
#include <charconv>
#include <cstddef>
#include <optional>
#include <string_view>

#include "ftp/FtpClient.h"
#include "ftp/NoThrow.h"
#include "ftp/ReplyFields.h"
#include "ftp/ReplyReader.h"

namespace nsFTP {

enum class CFTPClient::ESimpleCommand {
    ChangeToParent,
    PrintDirectory,
    System,
    Noop,
    ChangeDirectory,
    MakeDirectory,
    Site,
    Delete,
    RemoveDirectory,
    StructureMount,
    Help,
    Status,
};

namespace {

enum class EArgument {
    None,      // the verb alone
    Always,    // verb, blank, argument (even an empty one)
    Optional,  // the verb alone when the argument is empty
};

struct SimpleCommandRow {
    const char* verb;
    EArgument argument;
};

// Indexed by ESimpleCommand.
constexpr SimpleCommandRow kSimpleCommands[] = {
    {"CDUP", EArgument::None},   {"PWD", EArgument::None},      {"SYST", EArgument::None},
    {"NOOP", EArgument::None},   {"CWD", EArgument::Always},    {"MKD", EArgument::Always},
    {"SITE", EArgument::Always}, {"DELE", EArgument::Always},   {"RMD", EArgument::Always},
    {"SMNT", EArgument::Always}, {"HELP", EArgument::Optional}, {"STAT", EArgument::Optional},
};

// STRU and MODE letters, indexed by code.
constexpr std::string_view kStructureCodes = "FRP";
constexpr std::string_view kModeCodes = "SBC";
// TYPE letters indexed by type code, and the ASCII/EBCDIC format suffixes indexed by format.
constexpr const char* kTypeLines[] = {"TYPE A", "TYPE E", "TYPE I", "TYPE L "};
constexpr const char* kFormatSuffixes[] = {" N", " T", " C"};

std::string CodeLine(const char* verb, std::string_view codes, int code) {
    if (code < 0 || static_cast<std::size_t>(code) >= codes.size()) return {};
    return std::string(verb) + ' ' + codes[static_cast<std::size_t>(code)];
}

// Command result for a reply class where class 3 is the success (REST, RNFR).
int IntermediateOutcome(int replyClass) noexcept {
    if (replyClass == 3) return 0;
    return replyClass == 4 || replyClass == 5 ? 1 : -1;
}

int DigitsValue(std::string_view digits) noexcept {
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

}  // namespace

int CFTPClient::RunSimpleCommand(ESimpleCommand command, const std::string& argument) {
    return NoThrow(-1, [&] {
        const SimpleCommandRow& row = kSimpleCommands[static_cast<std::size_t>(command)];
        std::string line = row.verb;
        if (row.argument == EArgument::Always || (row.argument == EArgument::Optional && !argument.empty()))
            line.append(" ").append(argument);
        return ExchangeOutcome(line);
    });
}

bool CFTPClient::Exchange(const std::string& command, std::string& reply, int& replyClass) {
    return NoThrow(false, [&] {
        replyClass = -1;
        return SendCommand(command) && ReadReply(reply, replyClass);
    });
}

int CFTPClient::ExchangeOutcome(const std::string& command) {
    return NoThrow(-1, [&] {
        std::string reply;
        int replyClass = -1;
        return Exchange(command, reply, replyClass) ? ReplyOutcome(replyClass) : -1;
    });
}

int CFTPClient::ChangeToParent() { return RunSimpleCommand(ESimpleCommand::ChangeToParent, {}); }
int CFTPClient::PrintDirectory() { return RunSimpleCommand(ESimpleCommand::PrintDirectory, {}); }
int CFTPClient::System() { return RunSimpleCommand(ESimpleCommand::System, {}); }
int CFTPClient::Noop() { return RunSimpleCommand(ESimpleCommand::Noop, {}); }
int CFTPClient::ChangeDirectory(const std::string& path) {
    return RunSimpleCommand(ESimpleCommand::ChangeDirectory, path);
}
int CFTPClient::MakeDirectory(const std::string& path) { return RunSimpleCommand(ESimpleCommand::MakeDirectory, path); }
int CFTPClient::Site(const std::string& text) { return RunSimpleCommand(ESimpleCommand::Site, text); }
int CFTPClient::Delete(const std::string& path) { return RunSimpleCommand(ESimpleCommand::Delete, path); }
int CFTPClient::RemoveDirectory(const std::string& path) {
    return RunSimpleCommand(ESimpleCommand::RemoveDirectory, path);
}
int CFTPClient::StructureMount(const std::string& path) {
    return RunSimpleCommand(ESimpleCommand::StructureMount, path);
}
int CFTPClient::Help(const std::string& text) { return RunSimpleCommand(ESimpleCommand::Help, text); }
int CFTPClient::Status(const std::string& path) { return RunSimpleCommand(ESimpleCommand::Status, path); }

int CFTPClient::Quit() {
    return NoThrow(-1, [&] {
        std::string reply;
        int replyClass = -1;
        if (!Exchange("QUIT", reply, replyClass)) return -1;
        DisconnectControl();
        return ReplyOutcome(replyClass);
    });
}

int CFTPClient::Abort() {
    if (m_bTransferring) {
        // The transfer loop sees the flag after its current block and sends ABOR itself.
        m_bAbortRequested = true;
        return 0;
    }
    m_bAbortRequested = false;
    return ExchangeOutcome("ABOR");
}

int CFTPClient::SetStructure(int code) {
    return NoThrow(-1, [&] {
        const std::string line = CodeLine("STRU", kStructureCodes, code);
        return line.empty() ? -1 : ExchangeOutcome(line);
    });
}

int CFTPClient::SetMode(int code) {
    return NoThrow(-1, [&] {
        const std::string line = CodeLine("MODE", kModeCodes, code);
        return line.empty() ? -1 : ExchangeOutcome(line);
    });
}

int CFTPClient::SetType(const CTransferType& type) {
    return NoThrow(-1, [&] {
        const std::int32_t code = type.Type();
        if (code < CTransferType::tyASCII || code > CTransferType::tyLocalByte) return -1;
        const std::string bare = kTypeLines[code];
        std::string line = bare;
        const bool hasFormat = code == CTransferType::tyASCII || code == CTransferType::tyEBCDIC;
        if (code == CTransferType::tyLocalByte)
            line += std::to_string(type.Second());
        else if (hasFormat && type.Second() >= 0 && type.Second() <= CTransferType::tfCarriageControl)
            line += kFormatSuffixes[type.Second()];

        std::string reply;
        int replyClass = -1;
        if (!Exchange(line, reply, replyClass)) return -1;
        // Non-print is the default format: a server that knows only the bare letter means the same by it.
        if (replyClass == 5 && hasFormat && type.Second() == CTransferType::tfNonPrint &&
            !Exchange(bare, reply, replyClass))
            return -1;
        const int result = ReplyOutcome(replyClass);
        if (result == 0) m_pCurrentType = std::make_unique<CTransferType>(type);
        return result;
    });
}

bool CFTPClient::EnsureType(const CTransferType& type) {
    if (!m_pCurrentType) m_pCurrentType = std::make_unique<CTransferType>();  // the server starts in ASCII non-print
    return type == *m_pCurrentType || SetType(type) == 0;
}

int CFTPClient::Allocate(std::int64_t size, std::optional<std::int64_t> recordSize) {
    return NoThrow(-1, [&] {
        std::string line = "ALLO " + std::to_string(size);
        if (recordSize) line += " R " + std::to_string(*recordSize);
        return ExchangeOutcome(line);
    });
}

int CFTPClient::Restart(std::int64_t offset) {
    return NoThrow(-1, [&] {
        std::string reply;
        int replyClass = -1;
        if (!Exchange("REST " + std::to_string(offset), reply, replyClass)) return -1;
        return IntermediateOutcome(replyClass);
    });
}

int CFTPClient::Reinitialize() {
    return NoThrow(-1, [&] {
        std::string reply;
        int replyClass = -1;
        if (!Exchange("REIN", reply, replyClass)) return -1;
        if (replyClass == 1) {
            // "Service ready in nnn minutes": the real answer follows.
            replyClass = -1;
            return ReadReply(reply, replyClass) && replyClass == 2 ? 0 : -1;
        }
        return ReplyOutcome(replyClass);
    });
}

int CFTPClient::Rename(const std::string& from, const std::string& to) {
    return NoThrow(-1, [&] {
        std::string reply;
        int replyClass = -1;
        if (!Exchange("RNFR " + from, reply, replyClass)) return -1;
        if (replyClass != 3) return IntermediateOutcome(replyClass);
        return ExchangeOutcome("RNTO " + to);
    });
}

int CFTPClient::FileSize(const std::string& path, std::int64_t& size) {
    std::optional<std::int64_t> stated;
    const int result = QuerySize(path, stated);
    size = stated.value_or(0);
    return result;
}

int CFTPClient::QuerySize(const std::string& path, std::optional<std::int64_t>& size) {
    return NoThrow(-1, [&] {
        size.reset();
        std::string reply;
        int replyClass = -1;
        if (!Exchange("SIZE " + path, reply, replyClass)) return -1;
        size = SizeOfReply(reply);
        return ReplyOutcome(replyClass);
    });
}

int CFTPClient::ModificationTime(const std::string& path, std::string& text) {
    return NoThrow(-1, [&] {
        text.clear();
        std::string reply;
        int replyClass = -1;
        if (!Exchange("MDTM " + path, reply, replyClass)) return -1;
        text = TimestampOfReply(reply);
        return text.empty() ? -1 : ReplyOutcome(replyClass);
    });
}

int CFTPClient::PrintDirectory(std::string& directory) {
    return NoThrow(-1, [&] {
        std::string reply;
        int replyClass = -1;
        if (!Exchange("PWD", reply, replyClass)) return -1;
        const int result = ReplyOutcome(replyClass);
        if (result == 0) directory = DirectoryOfReply(reply);
        return result;
    });
}

int CFTPClient::ModificationTimeFields(const std::string& path, CModificationTime& fields) {
    return NoThrow(-1, [&] {
        fields = CModificationTime();
        std::string stamp;
        const int result = ModificationTime(path, stamp);
        if (result == 0) {
            const std::string_view digits = stamp;
            fields.year = DigitsValue(digits.substr(0, 4));
            fields.month = DigitsValue(digits.substr(4, 2));
            fields.day = DigitsValue(digits.substr(6, 2));
            fields.hour = DigitsValue(digits.substr(8, 2));
            fields.minute = DigitsValue(digits.substr(10, 2));
            fields.second = DigitsValue(digits.substr(12));
        }
        return result;
    });
}

}  // namespace nsFTP
