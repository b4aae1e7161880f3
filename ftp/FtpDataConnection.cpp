// Data connections: PASV and PORT, opening active and passive connections, moving blocks, aborting.
#include <algorithm>
#include <array>
#include <climits>

#include "ftp/FtpClient.h"
#include "ftp/FtpReportSites.h"
#include "ftp/LocalData.h"
#include "ftp/NoThrow.h"
#include "ftp/ReplyFields.h"
#include "ftp/ReplyReader.h"
#include "ftp/SocketPlatform.h"

namespace nsFTP {
namespace {

struct DataCommandRow {
    const char* verb;
    bool upload;    // client to server
    bool restarts;  // a restart offset applies
};

// Indexed by CDataCommand.
constexpr DataCommandRow kDataCommands[] = {
    {"LIST", false, false}, {"NLST", false, false}, {"RETR", false, true},
    {"STOR", true, true},   {"STOU", true, false},  {"APPE", true, true},
};

const DataCommandRow* RowOf(CDataCommand command) noexcept {
    const auto index = static_cast<std::size_t>(command);
    return index < std::size(kDataCommands) ? &kDataCommands[index] : nullptr;
}

// The transfer's block count as the observers take it (a block never exceeds the client's buffer).
int BlockCount(std::size_t count) noexcept { return static_cast<int>(std::min<std::size_t>(count, INT_MAX)); }

// Marks a block loop as running and leaves no abort request behind, whichever way the loop ends: a
// request that outlived its transfer would stop the next one before its first block.
class CTransferScope {
public:
    CTransferScope(bool& transferring, bool& abortRequested, std::int64_t& bytes) noexcept
        : m_transferring(transferring), m_abortRequested(abortRequested) {
        m_transferring = true;
        m_abortRequested = false;
        bytes = 0;
    }
    ~CTransferScope() {
        m_transferring = false;
        m_abortRequested = false;
    }
    CTransferScope(const CTransferScope&) = delete;
    CTransferScope& operator=(const CTransferScope&) = delete;

private:
    bool& m_transferring;
    bool& m_abortRequested;
};

}  // namespace

std::string CFTPClient::DataCommandLine(CDataCommand command, const std::string& path) {
    return NoThrow(std::string(), [&] {
        const DataCommandRow* row = RowOf(command);
        if (!row) return std::string();
        const bool listing = command == CDataCommand::List || command == CDataCommand::NameList;
        if (listing && path.empty()) return std::string(row->verb);
        return std::string(row->verb) + " " + path;
    });
}

int CFTPClient::Passive(std::string& host, unsigned& port) {
    return NoThrow(-1, [&] {
        std::string reply;
        int replyClass = -1;
        if (!Exchange("PASV", reply, replyClass)) return -1;
        if (replyClass == 2) {
            const std::optional<std::array<int, 6>> numbers = PassiveNumbersOfReply(reply);
            if (!numbers) return -1;
            const std::array<int, 6>& n = *numbers;
            host = std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "." +
                   std::to_string(n[3]);
            port = static_cast<unsigned>(n[4] * 256 + n[5]);
        }
        return ReplyOutcome(replyClass);
    });
}

int CFTPClient::DataPort(const std::string& host, unsigned port) {
    return NoThrow(-1, [&] {
        std::string line = "PORT " + host + "," + std::to_string(port / 256) + "," + std::to_string(port % 256);
        std::replace(line.begin(), line.end(), '.', ',');
        return ExchangeOutcome(line);
    });
}

bool CFTPClient::RunDataCommand(CDataCommand command, const std::string& path, const CTransferType& type, bool passive,
                                CLocalData& local, std::int64_t restartOffset) {
    if (m_bTransferring || !IsConnected()) return false;
    try {
        if (!EnsureType(type)) return false;

        nsSocket::CBlockingSocket dataSocket;
        EDataState state = passive ? OpenPassiveData(dataSocket, command, path, restartOffset)
                                   : OpenActiveData(dataSocket, command, path, restartOffset);
        std::unique_ptr<nsTls::CTlsConnection> dataTls;
        if (state == EDataState::Ready) state = SecureData(dataSocket, dataTls);
        if (state == EDataState::Ready) {
            const DataCommandRow* row = RowOf(command);
            CDataStream data{dataSocket, dataTls.get()};
            if (!row)
                state = EDataState::ReplyOwed;  // nothing to move: the transfer counts as failed
            else
                state = row->upload ? SendData(local, data) : ReceiveData(local, data);
        }
        dataTls.reset();
        dataSocket.CloseQuietly();
        return FinishDataCommand(state);
    } catch (...) {
        // Where the exchange stands is unknown: no later command may read this one's replies.
        DropControl();
        return false;
    }
}

CFTPClient::EDataState CFTPClient::SecureData(nsSocket::CBlockingSocket& dataSocket,
                                              std::unique_ptr<nsTls::CTlsConnection>& tls) {
    m_tlsRefused = false;
    if (!m_controlTls) return EDataState::Ready;
    // After the preliminary reply, not before: servers drop a data connection whose handshake
    // comes before the transfer command.
    try {
        tls = nsTls::CTlsConnection::Start(dataSocket, *m_tlsPolicy, m_controlTls.get(), m_uiTimeout);
        return EDataState::Ready;
    } catch (const nsSocket::CBlockingSocketException& exception) {
        ReportException(exception, report::kOpenData);
        // A stop during the handshake is no judgement of the server's TLS.
        if (exception.IsCancelled()) {
            dataSocket.CloseWithReset();
            return EDataState::Stopped;
        }
        m_tlsRefused = true;
    }
    dataSocket.CloseQuietly();
    return EDataState::ReplyOwed;
}

bool CFTPClient::FinishDataCommand(EDataState state) {
    int replyClass = -1;
    switch (state) {
    case EDataState::Ready:
        return ReadReply(replyClass) && replyClass == 2;
    case EDataState::ReplyOwed: {
        // The transfer's final reply (426, 451, or 226 from a server that saw only the data
        // connection close) answers nothing that follows: consume it, within the time-out.
        const TClock::time_point deadline = Deadline();
        std::string reply;
        do {
            replyClass = -1;
        } while (ReadReply(reply, replyClass, deadline) && replyClass == 1);
        return false;
    }
    case EDataState::ServerSilent:
    case EDataState::Stopped:
        DropControl();
        return false;
    case EDataState::NothingOwed:
    case EDataState::Aborted:
        return false;
    }
    return false;
}

bool CFTPClient::RestartDataCommand(CDataCommand command, std::int64_t restartOffset) {
    const DataCommandRow* row = RowOf(command);
    if (!(m_bResume && row && row->restarts && restartOffset != 0)) return true;
    const int outcome = Restart(restartOffset);
    m_restartRefused = outcome > 0;
    return outcome == 0;
}

bool CFTPClient::StartDataCommand(CDataCommand command, const std::string& path) {
    if (!SendCommand(DataCommandLine(command, path))) return false;
    int replyClass = -1;
    return ReadReply(replyClass) && replyClass == 1;
}

CFTPClient::EDataState CFTPClient::OpenActiveData(nsSocket::CBlockingSocket& dataSocket, CDataCommand command,
                                                  const std::string& path, std::int64_t restartOffset) {
    // Closed on every way out of here, whatever the attempt's result.
    nsSocket::CBlockingSocket listener;
    listener.Watch(m_pCancel);  // and so does the data connection it takes
    nsSocket::CSocketAddress listenAddress;
    std::string localHost;
    try {
        listener.Create(nsSocket::kStreamSocket);
        listener.Bind(nsSocket::CSocketAddress());
        listener.GetSockName(listenAddress);
        listener.Listen();
        nsSocket::CSocketAddress controlAddress;
        m_ControlSocket.GetSockName(controlAddress);
        localHost = controlAddress.DottedDecimal();
    } catch (const nsSocket::CBlockingSocketException& exception) {
        ReportException(exception, report::kOpenActiveData);
        return EDataState::NothingOwed;
    }
    std::replace(localHost.begin(), localHost.end(), '.', ',');

    if (DataPort(localHost, listenAddress.Port()) != 0) return EDataState::NothingOwed;
    if (!RestartDataCommand(command, restartOffset) || !StartDataCommand(command, path)) return EDataState::NothingOwed;
    return AcceptData(listener, dataSocket);
}

CFTPClient::EDataState CFTPClient::AcceptData(nsSocket::CBlockingSocket& listener,
                                              nsSocket::CBlockingSocket& dataSocket) {
    try {
        // Whoever reaches the PORT address first would otherwise receive an upload's bytes or
        // inject a download's: only the host at the other end of the control connection counts.
        nsSocket::CSocketAddress server;
        m_ControlSocket.GetPeerName(server);
        // A server that never connects must not hold the client longer than any other silence,
        // however many strangers knock meanwhile.
        const TClock::time_point deadline = Deadline();
        for (;;) {
            nsSocket::CSocketAddress peer;
            if (listener.Accept(dataSocket, peer, deadline, m_uiTimeout) && peer.m_nAddress == server.m_nAddress)
                return EDataState::Ready;
            dataSocket.CloseQuietly();
        }
    } catch (const nsSocket::CBlockingSocketException& exception) {
        ReportException(exception, report::kOpenActiveData);
        dataSocket.CloseQuietly();
        // The server announced the transfer and never connected: it is not answering as it should.
        return FailedState(exception, EDataState::ReplyOwed);
    }
}

CFTPClient::EDataState CFTPClient::OpenPassiveData(nsSocket::CBlockingSocket& dataSocket, CDataCommand command,
                                                   const std::string& path, std::int64_t restartOffset) {
    std::string host;
    unsigned port = 0;
    if (Passive(host, port) != 0) return EDataState::NothingOwed;
    if (!RestartDataCommand(command, restartOffset)) return EDataState::NothingOwed;
    // Connect before the data command: many servers send their preliminary reply only once the
    // data connection is there, so waiting for that reply first would wait for ever.
    try {
        // Only the port is taken from the reply: the data connection goes to the server the control
        // connection talks to, so a reply cannot send the client to another host.
        nsSocket::CSocketAddress server;
        m_ControlSocket.GetPeerName(server);
        const nsSocket::CSocketAddress target(server.HostAddress(), static_cast<std::uint16_t>(port));
        dataSocket.Watch(m_pCancel);
        dataSocket.Create(nsSocket::kStreamSocket);
        dataSocket.Connect(target, m_uiTimeout);
    } catch (const nsSocket::CBlockingSocketException& exception) {
        ReportException(exception, report::kOpenPassiveData);
        dataSocket.CloseQuietly();
        return exception.IsCancelled() ? EDataState::Stopped : EDataState::NothingOwed;
    }
    if (!StartDataCommand(command, path)) {
        dataSocket.CloseQuietly();
        return EDataState::NothingOwed;
    }
    return EDataState::Ready;
}

CFTPClient::EDataState CFTPClient::EndTransferLoop(bool abortRequested, EDataState state,
                                                   nsSocket::CBlockingSocket& dataSocket) {
    return abortRequested ? AbortTransfer(dataSocket) : state;
}

CFTPClient::EDataState CFTPClient::AbortTransfer(nsSocket::CBlockingSocket& dataSocket) {
    m_bAbortRequested = false;
    // The data connection goes first: a server that reads no command while it moves data (vsftpd
    // without urgent data) would otherwise never see the ABOR, and both would wait out the time-out.
    // Its close ends the transfer on any server; the ABOR then tells the rest.
    dataSocket.CloseQuietly();
    const TClock::time_point deadline = Deadline();
    std::string reply;
    int replyClass = -1;
    if (!SendCommand("ABOR") || !ReadReply(reply, replyClass, deadline)) return EDataState::Aborted;
    // Two replies follow: the transfer's end (426, or 226 when it completed first), then the ABOR's
    // own. A server that took the ABOR before it saw the close and had nothing left to abort answers
    // 225 alone.
    const bool transferEnd = replyClass == 1 || replyClass == 4 || replyClass == 5 || LeadingNumber(reply) == 226;
    if (transferEnd) {
        replyClass = -1;
        ReadReply(reply, replyClass, deadline);
    }
    return EDataState::Aborted;
}

void CFTPClient::CDataStream::SendAll(const char* data, std::size_t count, unsigned timeoutSeconds) {
    if (tls) {
        tls->SendAll(data, count, timeoutSeconds);
    } else {
        socket.SendAll(data, count, timeoutSeconds);
    }
}

std::size_t CFTPClient::CDataStream::Receive(char* buffer, std::size_t size, unsigned timeoutSeconds) {
    if (!tls) return socket.Receive(buffer, size, timeoutSeconds);
    return tls->Receive(buffer, size, std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds),
                        timeoutSeconds);
}

CFTPClient::EDataState CFTPClient::SendData(CLocalData& local, CDataStream& data) {
    nsSocket::CBlockingSocket& dataSocket = data.socket;
    char* const buffer = m_vBuffer.data();
    const std::size_t blockSize = m_vBuffer.size();
    bool abortRequested = false;
    try {
        const CTransferScope scope(m_bTransferring, m_bAbortRequested, m_nTransferBytes);
        std::size_t count = local.Read(buffer, blockSize);
        while (!m_bAbortRequested && count != 0) {
            data.SendAll(buffer, count, m_uiTimeout);
            m_nTransferBytes += static_cast<std::int64_t>(count);
            Notify(&CNotifaction::OnDataSent, BlockCount(count));
            count = local.Read(buffer, blockSize);
        }
        abortRequested = m_bAbortRequested;
        // Over TLS the file ends with close_notify; a server that sees only the socket close
        // takes the upload for cut short.
        if (data.tls && !abortRequested && !local.ReadFailed()) data.tls->Shutdown(m_uiTimeout);
    } catch (const nsSocket::CBlockingSocketException& exception) {
        ReportException(exception, report::kSendData);
        // A stopped upload must not end as a whole file would: no close_notify, no orderly close.
        if (exception.IsCancelled())
            dataSocket.CloseWithReset();
        else
            dataSocket.CloseQuietly();
        // A server that takes no data for a whole time-out is no longer serving this transfer.
        return FailedState(exception, EDataState::ReplyOwed);
    }
    if (!abortRequested && local.ReadFailed()) {
        // A local file that cannot be read to its end must not pass for a complete upload.
        ReportSystemError(nsSocket::platform::LastSystemError(), report::kSendData);
        dataSocket.CloseQuietly();
        return EDataState::ReplyOwed;
    }
    return EndTransferLoop(abortRequested, EDataState::Ready, dataSocket);
}

CFTPClient::EDataState CFTPClient::ReceiveData(CLocalData& local, CDataStream& data) {
    nsSocket::CBlockingSocket& dataSocket = data.socket;
    char* const buffer = m_vBuffer.data();
    const std::size_t blockSize = m_vBuffer.size();
    bool abortRequested = false;
    bool written = true;
    try {
        const CTransferScope scope(m_bTransferring, m_bAbortRequested, m_nTransferBytes);
        while (!m_bAbortRequested) {
            const std::size_t count = data.Receive(buffer, blockSize, m_uiTimeout);
            if (count == 0) break;  // the server closed the data connection: all bytes are here
            m_nTransferBytes += static_cast<std::int64_t>(count);
            Notify(&CNotifaction::OnDataReceived, BlockCount(count));
            if (!local.Write(buffer, count)) {
                written = false;
                break;
            }
        }
        abortRequested = m_bAbortRequested;
    } catch (const nsSocket::CBlockingSocketException& exception) {
        ReportException(exception, report::kReceiveData);
        dataSocket.CloseQuietly();
        // Silence after the preliminary reply: waiting for the final reply, and then for QUIT's,
        // would only cost more time-outs.
        return FailedState(exception, EDataState::ReplyOwed);
    }
    if (!written) {
        // A full disk or a listing beyond its bound must not pass for a complete download.
        const std::string failure = local.WriteFailure();
        if (failure.empty())
            ReportSystemError(nsSocket::platform::LastSystemError(), report::kReceiveData);
        else
            NotifyError(failure, report::kSource, report::kReceiveData);
        return EndTransferLoop(abortRequested, EDataState::ReplyOwed, dataSocket);
    }
    return EndTransferLoop(abortRequested, EDataState::Ready, dataSocket);
}

}  // namespace nsFTP
