// Data connections: PASV and PORT, opening active and passive connections, moving blocks, aborting.
#include <algorithm>
#include <array>
#include <charconv>
#include <climits>

#include "ftp/FtpClient.h"
#include "ftp/FtpReportSites.h"
#include "ftp/LocalData.h"
#include "ftp/SocketPlatform.h"

namespace nsFTP
{
namespace
{

struct DataCommandRow
{
    const char* verb;
    bool upload;     // client to server
    bool restarts;   // a restart offset applies
};

// Indexed by CDataCommand.
constexpr DataCommandRow kDataCommands[] = {
    {"LIST", false, false}, {"NLST", false, false}, {"RETR", false, true},
    {"STOR", true, true},   {"STOU", true, false},  {"APPE", true, true},
};

const DataCommandRow* RowOf(CDataCommand command) noexcept
{
    const auto index = static_cast<std::size_t>(command);
    return index < std::size(kDataCommands) ? &kDataCommands[index] : nullptr;
}

// The six numbers of "(h1,h2,h3,h4,p1,p2)"; false unless each is a byte followed by one separator and
// the separators add up to five commas and a closing parenthesis.
bool ParsePassiveNumbers(const std::string& reply, std::array<int, 6>& numbers)
{
    const std::size_t open = reply.find('(');
    if (open == std::string::npos)
        return false;
    const char* at = reply.data() + open + 1;
    const char* const end = reply.data() + reply.size();
    int separators = 0;
    for (int& number : numbers)
    {
        while (at != end && *at == ' ')
            ++at;
        const auto [next, error] = std::from_chars(at, end, number);
        if (error != std::errc() || next == end || number < 0 || number > 255)
            return false;
        separators += static_cast<unsigned char>(*next);
        at = next + 1;
    }
    return separators == 5 * ',' + ')';
}

// The transfer's block count as the observers take it (a block never exceeds the client's buffer).
int BlockCount(std::size_t count) noexcept { return static_cast<int>(std::min<std::size_t>(count, INT_MAX)); }

}  // namespace

std::string CFTPClient::DataCommandLine(CDataCommand command, const std::string& path)
{
    const DataCommandRow* row = RowOf(command);
    if (!row)
        return {};
    const bool listing = command == CDataCommand::List || command == CDataCommand::NameList;
    if (listing && path.empty())
        return row->verb;
    return std::string(row->verb) + " " + path;
}

int CFTPClient::Passive(std::string& host, unsigned& port)
{
    std::string reply;
    int replyClass = -1;
    if (!Exchange("PASV", reply, replyClass))
        return -1;
    if (replyClass == 2)
    {
        std::array<int, 6> numbers{};
        if (!ParsePassiveNumbers(reply, numbers))
            return -1;
        host = std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." + std::to_string(numbers[2]) +
               "." + std::to_string(numbers[3]);
        port = static_cast<unsigned>(numbers[4] * 256 + numbers[5]);
    }
    return ReplyOutcome(replyClass);
}

int CFTPClient::DataPort(const std::string& host, unsigned port)
{
    std::string line = "PORT " + host + "," + std::to_string(port / 256) + "," + std::to_string(port % 256);
    std::replace(line.begin(), line.end(), '.', ',');
    return ExchangeOutcome(line);
}

bool CFTPClient::RunDataCommand(CDataCommand command, const std::string& path, const CTransferType& type,
                                bool passive, CLocalData& local, std::int64_t restartOffset)
{
    if (m_bTransferring || !IsConnected())
        return false;
    if (!EnsureType(type))
        return false;

    nsSocket::CBlockingSocket dataSocket;
    const bool opened = passive ? OpenPassiveData(dataSocket, command, path, restartOffset)
                                : OpenActiveData(dataSocket, command, path, restartOffset);
    if (!opened)
        return false;

    const DataCommandRow* row = RowOf(command);
    const bool moved = row && (row->upload ? SendData(local, dataSocket) : ReceiveData(local, dataSocket));
    dataSocket.CloseQuietly();
    if (!moved)
        return false;  // the final reply stays on the control connection for the next read

    int replyClass = -1;
    return ReadReply(replyClass) && replyClass == 2;
}

bool CFTPClient::RestartDataCommand(CDataCommand command, std::int64_t restartOffset)
{
    const DataCommandRow* row = RowOf(command);
    return !(m_bResume && row && row->restarts && restartOffset != 0) || Restart(restartOffset) == 0;
}

bool CFTPClient::StartDataCommand(CDataCommand command, const std::string& path)
{
    if (!SendCommand(DataCommandLine(command, path)))
        return false;
    int replyClass = -1;
    return ReadReply(replyClass) && replyClass == 1;
}

bool CFTPClient::OpenActiveData(nsSocket::CBlockingSocket& dataSocket, CDataCommand command, const std::string& path,
                                std::int64_t restartOffset)
{
    // Closed on every way out of here, whatever the attempt's result.
    nsSocket::CBlockingSocket listener;
    nsSocket::CSocketAddress listenAddress;
    try
    {
        listener.Create(nsSocket::kStreamSocket);
        listener.Bind(nsSocket::CSocketAddress());
        listener.GetSockName(listenAddress);
        listener.Listen();
    }
    catch (const nsSocket::CBlockingSocketException& exception)
    {
        ReportException(exception, report::kOpenActiveData);
        return false;
    }

    std::string localHost;
    try
    {
        nsSocket::CSocketAddress controlAddress;
        m_ControlSocket.GetSockName(controlAddress);
        localHost = controlAddress.DottedDecimal();
    }
    catch (const nsSocket::CBlockingSocketException& exception)
    {
        ReportException(exception, report::kOpenActiveData);
        return false;
    }
    std::replace(localHost.begin(), localHost.end(), '.', ',');

    if (DataPort(localHost, listenAddress.Port()) != 0)
        return false;
    if (!RestartDataCommand(command, restartOffset) || !StartDataCommand(command, path))
        return false;

    try
    {
        // A server that never connects must not hold the client longer than any other silence.
        nsSocket::CSocketAddress peer;
        return listener.Accept(dataSocket, peer, m_uiTimeout);
    }
    catch (const nsSocket::CBlockingSocketException& exception)
    {
        ReportException(exception, report::kOpenActiveData);
        return false;
    }
}

bool CFTPClient::OpenPassiveData(nsSocket::CBlockingSocket& dataSocket, CDataCommand command,
                                 const std::string& path, std::int64_t restartOffset)
{
    std::string host;
    unsigned port = 0;
    if (Passive(host, port) != 0)
        return false;
    if (!RestartDataCommand(command, restartOffset))
        return false;
    // Connect before the data command: many servers send their preliminary reply only once the
    // data connection is there, so waiting for that reply first would wait for ever.
    try
    {
        // Only the port is taken from the reply: the data connection goes to the server the control
        // connection talks to, so a reply cannot send the client to another host.
        nsSocket::CSocketAddress server;
        m_ControlSocket.GetPeerName(server);
        const nsSocket::CSocketAddress target(server.HostAddress(), static_cast<std::uint16_t>(port));
        dataSocket.Create(nsSocket::kStreamSocket);
        dataSocket.Connect(target);
    }
    catch (const nsSocket::CBlockingSocketException& exception)
    {
        ReportException(exception, report::kOpenPassiveData);
        dataSocket.CloseQuietly();
        return false;
    }
    if (!StartDataCommand(command, path))
    {
        dataSocket.CloseQuietly();
        return false;
    }
    return true;
}

// Leaves the block loop of SendData or ReceiveData: an abort asked for meanwhile (from an observer,
// for instance) is sent now, while the data connection is still open, and fails the transfer.
bool CFTPClient::EndTransferLoop()
{
    m_bTransferring = false;
    if (!m_bAbortRequested)
        return true;
    Abort();
    return false;
}

bool CFTPClient::SendData(CLocalData& local, nsSocket::CBlockingSocket& dataSocket)
{
    m_bTransferring = true;
    char* const buffer = m_vBuffer.data();
    const std::size_t blockSize = m_vBuffer.size();
    try
    {
        std::size_t count = local.Read(buffer, blockSize);
        while (!m_bAbortRequested && count != 0)
        {
            dataSocket.SendAll(buffer, count, m_uiTimeout);
            for (CNotifaction* observer : m_Observers)
                observer->OnDataSent(BlockCount(count));
            count = local.Read(buffer, blockSize);
        }
    }
    catch (const nsSocket::CBlockingSocketException& exception)
    {
        m_bTransferring = false;
        ReportException(exception, report::kSendData);
        dataSocket.CloseQuietly();
        return false;
    }
    if (!EndTransferLoop())
        return false;
    if (local.ReadFailed())
    {
        // A local file that cannot be read to its end must not pass for a complete upload.
        ReportSystemError(nsSocket::platform::LastSystemError(), report::kSendData);
        dataSocket.CloseQuietly();
        return false;
    }
    return true;
}

bool CFTPClient::ReceiveData(CLocalData& local, nsSocket::CBlockingSocket& dataSocket)
{
    m_bTransferring = true;
    char* const buffer = m_vBuffer.data();
    const std::size_t blockSize = m_vBuffer.size();
    bool written = true;
    try
    {
        std::size_t count = dataSocket.Receive(buffer, blockSize, m_uiTimeout);
        while (!m_bAbortRequested && count != 0)
        {
            for (CNotifaction* observer : m_Observers)
                observer->OnDataReceived(BlockCount(count));
            if (!local.Write(buffer, count))
            {
                written = false;
                break;
            }
            count = dataSocket.Receive(buffer, blockSize, m_uiTimeout);
        }
    }
    catch (const nsSocket::CBlockingSocketException& exception)
    {
        m_bTransferring = false;
        ReportException(exception, report::kReceiveData);
        dataSocket.CloseQuietly();
        return false;
    }
    if (!EndTransferLoop())
        return false;
    if (!written)
    {
        // A full disk must not pass for a complete download.
        ReportSystemError(nsSocket::platform::LastSystemError(), report::kReceiveData);
        dataSocket.CloseQuietly();
        return false;
    }
    return true;
}

}  // namespace nsFTP
