// tovalo-ftp's observer: reply and error capture and the -v exchange on stderr.
#include "tools/tovalo-ftp/CliObserver.h"

#include <ostream>
#include <string_view>

#include "ftp/ReplyReader.h"
#include "tools/tovalo-ftp/TextEscape.h"

namespace nsFtpCli {
namespace {

// System texts come with line ends of their own: one report stays one line.
std::string CollapsedBlanks(const std::string& message) {
    std::string text;
    for (const char c : message) {
        const bool blank = c == '\r' || c == '\n' || c == ' ';
        if (!blank)
            text += c;
        else if (!text.empty() && text.back() != ' ')
            text += ' ';
    }
    if (!text.empty() && text.back() == ' ') text.pop_back();
    return Escaped(text);
}

}  // namespace

std::string OneLine(const std::string& lines) {
    std::string text;
    std::string_view rest = lines;
    for (;;) {
        const std::size_t end = rest.find('\n');
        AppendEscaped(text, rest.substr(0, end));
        if (end == std::string_view::npos) return text;
        text += ' ';
        rest.remove_prefix(end + 1);
    }
}

std::string CReplyRecorder::MaskedCommand(const std::string& command) {
    if (command.size() >= 4 && command.compare(0, 4, "PASS") == 0 && (command.size() == 4 || command[4] == ' '))
        return "PASS ****";
    return command;
}

void CReplyRecorder::BeginCommand() {
    m_strReply.clear();
    m_strError.clear();
}

void CReplyRecorder::OnCommandSent(const std::string& command) {
    m_strReply.clear();
    if (m_pVerbose) *m_pVerbose << "> " << Escaped(MaskedCommand(command)) << '\n' << std::flush;
}

void CReplyRecorder::OnReplyLine(const std::string& line) {
    // A reply that never ends must not grow the recorder without end: it keeps what the client's
    // own reply assembly keeps.
    if (m_strReply.size() < nsFTP::kMaxReplyText) {
        if (!m_strReply.empty()) m_strReply += '\n';
        m_strReply.append(line, 0, nsFTP::kMaxReplyText - m_strReply.size());
    }
    if (m_pVerbose) *m_pVerbose << "< " << Escaped(line) << '\n' << std::flush;
}

void CReplyRecorder::OnErrorReport(const std::string& message, const std::string& sourceFile, int line) {
    m_strError = CollapsedBlanks(message);
    if (m_pVerbose) *m_pVerbose << "! " << m_strError << " [" << sourceFile << ':' << line << "]\n" << std::flush;
}

}  // namespace nsFtpCli
