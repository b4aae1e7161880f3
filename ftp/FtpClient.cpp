// The FTP client's control connection: connecting, sending command lines, reading replies, observers.
#include "ftp/FtpClient.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

#include "ftp/FtpReportSites.h"
#include "ftp/ReplyReader.h"
#include "ftp/SocketPlatform.h"

namespace nsFTP
{
namespace
{

// Every receive of a reply is followed by this pause, so that the rest of a reply that is still on
// its way arrives before the text is cut into lines.
constexpr std::chrono::milliseconds kReplyPause{50};

// A receive needs room for one byte and its terminator; a block count must fit the observers' int.
constexpr unsigned kMinBufferSize = 2;
constexpr unsigned kMaxBufferSize = 1u << 30;

}  // namespace

void CFTPClient::CNotifaction::OnErrorReport(const std::string&, const std::string&, int) {}
void CFTPClient::CNotifaction::OnDataReceived(int) {}
void CFTPClient::CNotifaction::OnDataSent(int) {}
void CFTPClient::CNotifaction::OnDownloadStart(const std::string&, const std::string&, std::int64_t) {}
void CFTPClient::CNotifaction::OnUploadStart(const std::string&, const std::string&, std::int64_t) {}
void CFTPClient::CNotifaction::OnDownloadEnd(const std::string&, const std::string&, std::int64_t) {}
void CFTPClient::CNotifaction::OnUploadEnd(const std::string&, const std::string&, std::int64_t) {}
void CFTPClient::CNotifaction::OnCommandSent(const std::string&) {}
void CFTPClient::CNotifaction::OnReplyLine(const std::string&) {}

CFTPClient::CFTPClient(unsigned timeoutSeconds, unsigned bufferSize, bool useStdio)
    : m_uiTimeout(timeoutSeconds),
      m_bUseStdio(useStdio),
      m_vBuffer(std::clamp(bufferSize, kMinBufferSize, kMaxBufferSize), '\0')
{
}

CFTPClient::~CFTPClient()
{
    if (m_bTransferring)
        Abort();
    if (IsConnected())
        Quit();
}

void CFTPClient::AddObserver(CNotifaction* observer)
{
    if (observer)
        m_Observers.insert(observer);
}

void CFTPClient::RemoveObserver(CNotifaction* observer)
{
    if (observer)
        m_Observers.erase(observer);
}

void CFTPClient::NotifyError(const std::string& message, const std::string& sourceFile, int line) const
{
    for (CNotifaction* observer : m_Observers)
        observer->OnErrorReport(message, sourceFile, line);
}

void CFTPClient::ReportException(const nsSocket::CBlockingSocketException& exception, int line) const
{
    NotifyError(exception.GetErrorText(), report::kSource, line);
}

void CFTPClient::ReportSystemError(int error, int line) const
{
    NotifyError(nsSocket::platform::ErrorText(error), report::kSource, line);
}

int CFTPClient::ReplyOutcome(int replyClass) noexcept
{
    switch (replyClass)
    {
    case 2: return 0;
    case 4:
    case 5: return 1;
    default: return -1;
    }
}

bool CFTPClient::ConnectControl(const std::string& host, unsigned port)
{
    DisconnectControl();
    // Lines an earlier connection left unread must not answer this one's greeting.
    m_qReplyLines.clear();
    try
    {
        m_ControlSocket.Create(nsSocket::kStreamSocket);
        m_ControlSocket.Connect(nsSocket::CBlockingSocket::GetHostByName(host, static_cast<std::uint16_t>(port)));
        return true;
    }
    catch (const nsSocket::CBlockingSocketException& exception)
    {
        ReportException(exception, report::kConnectControl);
        m_ControlSocket.CloseQuietly();
        return false;
    }
}

void CFTPClient::DisconnectControl()
{
    try
    {
        m_ControlSocket.Close();
    }
    catch (const nsSocket::CBlockingSocketException&)
    {
        // Nobody can act on a failed close: the handle is given up all the same.
        m_ControlSocket.CloseQuietly();
    }
    m_pCurrentType.reset();
}

bool CFTPClient::SendCommand(const std::string& command)
{
    if (!IsConnected())
        return false;
    // A line break inside an argument would smuggle in a command of its own.
    if (command.find_first_of("\r\n") != std::string::npos)
        return false;
    for (CNotifaction* observer : m_Observers)
        observer->OnCommandSent(command);
    try
    {
        const std::string line = command + "\r\n";
        m_ControlSocket.SendAll(line.data(), line.size(), m_uiTimeout);
        return true;
    }
    catch (const nsSocket::CBlockingSocketException& exception)
    {
        ReportException(exception, report::kSendCommand);
        m_ControlSocket.CloseQuietly();
        return false;
    }
}

bool CFTPClient::ReadReplyLine(std::string& line, int& replyClass)
{
    if (!IsConnected())
        return false;
    if (m_qReplyLines.empty())
    {
        try
        {
            CReplyReceiver receiver(m_vBuffer.size());
            bool more = true;
            while (more)
            {
                const std::size_t received =
                    m_ControlSocket.Receive(m_vBuffer.data(), receiver.ReceiveLimit(), m_uiTimeout);
                std::this_thread::sleep_for(kReplyPause);
                more = receiver.Take(m_vBuffer.data(), received);
            }
            receiver.QueueLines(m_qReplyLines);
        }
        catch (const nsSocket::CBlockingSocketException& exception)
        {
            ReportException(exception, report::kReadReplyLine);
            m_ControlSocket.CloseQuietly();
            return false;
        }
        if (m_qReplyLines.empty())
            return false;  // the server closed the connection
    }
    line = std::move(m_qReplyLines.front());
    m_qReplyLines.pop_front();
    replyClass = ReplyLineClass(line, replyClass);
    StripLineEnd(line);
    for (CNotifaction* observer : m_Observers)
        observer->OnReplyLine(line);
    return true;
}

bool CFTPClient::ReadReply(std::string& text, int& replyClass)
{
    CReplyAssembler reply;
    std::string line;
    int lineClass = replyClass;
    do
    {
        if (!ReadReplyLine(line, lineClass))
            return false;
    } while (!reply.Add(line, lineClass));
    text = reply.Text();
    replyClass = reply.Class();
    return true;
}

bool CFTPClient::ReadReply(int& replyClass)
{
    std::string text;
    return ReadReply(text, replyClass);
}

}  // namespace nsFTP
