// The FTP client's control connection: connecting, sending command lines, reading replies, observers.
#include "ftp/FtpClient.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "ftp/FtpReportSites.h"
#include "ftp/NoThrow.h"
#include "ftp/ReplyReader.h"
#include "ftp/SocketPlatform.h"

namespace nsFTP {
namespace {

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
      m_vBuffer(std::clamp(bufferSize, kMinBufferSize, kMaxBufferSize), '\0') {}

CFTPClient::~CFTPClient() {
    if (m_store) AbandonStore();
    if (m_bTransferring) Abort();
    if (IsConnected()) Quit();
}

void CFTPClient::SetCancelSignal(const nsSocket::CCancelSignal* signal) noexcept {
    m_pCancel = signal;
    m_ControlSocket.Watch(signal);
    if (m_store) m_store->socket.Watch(signal);
}

void CFTPClient::AddObserver(CNotifaction* observer) {
    if (observer) NoThrow(false, [&] { return m_Observers.insert(observer).second; });
}

void CFTPClient::RemoveObserver(CNotifaction* observer) {
    if (observer) m_Observers.erase(observer);
}

void CFTPClient::NotifyError(const std::string& message, const std::string& sourceFile, int line) const {
    Notify(&CNotifaction::OnErrorReport, message, sourceFile, line);
}

void CFTPClient::ReportException(const nsSocket::CBlockingSocketException& exception, int line) const {
    NoThrow(false, [&] {
        NotifyError(exception.GetErrorText(), report::kSource, line);
        return true;
    });
}

void CFTPClient::ReportSystemError(int error, int line) const {
    NoThrow(false, [&] {
        NotifyError(nsSocket::platform::ErrorText(error), report::kSource, line);
        return true;
    });
}

CFTPClient::EDataState CFTPClient::FailedState(const nsSocket::CBlockingSocketException& exception,
                                               EDataState otherwise) noexcept {
    if (exception.IsCancelled()) return EDataState::Stopped;
    // A time-out carries a description instead of a system error.
    return exception.m_strDescription.empty() ? otherwise : EDataState::ServerSilent;
}

CFTPClient::TClock::time_point CFTPClient::Deadline() const noexcept {
    return TClock::now() + std::chrono::seconds(m_uiTimeout);
}

void CFTPClient::DropControl() noexcept {
    m_ControlSocket.CloseQuietly();
    m_qReplyLines.clear();
    m_pCurrentType.reset();
}

int CFTPClient::ReplyOutcome(int replyClass) noexcept {
    switch (replyClass) {
    case 2:
        return 0;
    case 4:
    case 5:
        return 1;
    default:
        return -1;
    }
}

bool CFTPClient::ConnectControl(const std::string& host, unsigned port) {
    if (m_bTransferring) return false;  // the running transfer's control connection stays
    DisconnectControl();
    // Lines an earlier connection left unread must not answer this one's greeting.
    m_qReplyLines.clear();
    m_controlTls.reset();
    try {
        m_ControlSocket.Create(nsSocket::kStreamSocket);
        m_ControlSocket.Connect(nsSocket::CBlockingSocket::GetHostByName(host, static_cast<std::uint16_t>(port)),
                                m_uiTimeout);
        return true;
    } catch (const nsSocket::CBlockingSocketException& exception) {
        ReportException(exception, report::kConnectControl);
    } catch (const std::exception& exception) {
        NotifyError(exception.what(), report::kSource, report::kConnectControl);
    }
    m_ControlSocket.CloseQuietly();
    return false;
}

void CFTPClient::DisconnectControl() {
    m_controlTls.reset();
    try {
        m_ControlSocket.Close();
    } catch (const nsSocket::CBlockingSocketException&) {
        // Nobody can act on a failed close: the handle is given up all the same.
        m_ControlSocket.CloseQuietly();
    }
    m_pCurrentType.reset();
}

bool CFTPClient::SendCommand(const std::string& command) {
    // While a transfer runs its data block fills the buffer and its final reply is owed: a command
    // from an observer would read that reply as its own and receive over the data.
    if (!IsConnected() || m_bTransferring) return false;
    // A line break inside an argument would smuggle in a command of its own.
    if (command.find_first_of("\r\n") != std::string::npos) return false;
    Notify(&CNotifaction::OnCommandSent, command);
    try {
        const std::string line = command + "\r\n";
        if (m_controlTls) {
            m_controlTls->SendAll(line.data(), line.size(), m_uiTimeout);
        } else {
            m_ControlSocket.SendAll(line.data(), line.size(), m_uiTimeout);
        }
        return true;
    } catch (const nsSocket::CBlockingSocketException& exception) {
        ReportException(exception, report::kSendCommand);
    } catch (const std::exception& exception) {
        NotifyError(exception.what(), report::kSource, report::kSendCommand);
    }
    m_ControlSocket.CloseQuietly();
    return false;
}

bool CFTPClient::ReadReplyLine(std::string& line, int& replyClass) {
    return ReadReplyLine(line, replyClass, Deadline());
}

bool CFTPClient::ReadReplyLine(std::string& line, int& replyClass, TClock::time_point deadline) {
    if (!IsConnected() || m_bTransferring) return false;
    try {
        if (m_qReplyLines.empty()) {
            CReplyReceiver receiver(m_vBuffer.size());
            bool more = true;
            while (more) {
                const std::size_t received =
                    m_controlTls
                        ? m_controlTls->Receive(m_vBuffer.data(), receiver.ReceiveLimit(), deadline, m_uiTimeout)
                        : m_ControlSocket.Receive(m_vBuffer.data(), receiver.ReceiveLimit(), deadline, m_uiTimeout);
                more = receiver.Take(m_vBuffer.data(), received);
            }
            receiver.QueueLines(m_qReplyLines);
            if (m_qReplyLines.empty()) return false;  // the server closed the connection
        }
        line = std::move(m_qReplyLines.front());
        m_qReplyLines.pop_front();
    } catch (const nsSocket::CBlockingSocketException& exception) {
        ReportException(exception, report::kReadReplyLine);
        DropControl();
        return false;
    } catch (const std::exception& exception) {
        // Lines half taken leave the replies out of step: the connection cannot be trusted further.
        NotifyError(exception.what(), report::kSource, report::kReadReplyLine);
        DropControl();
        return false;
    }
    replyClass = ReplyLineClass(line, replyClass);
    StripLineEnd(line);
    Notify(&CNotifaction::OnReplyLine, line);
    return true;
}

bool CFTPClient::ReadReply(std::string& text, int& replyClass) { return ReadReply(text, replyClass, Deadline()); }

bool CFTPClient::ReadReply(std::string& text, int& replyClass, TClock::time_point deadline) {
    // One deadline for the whole reply: a multi-line reply that never ends is bounded in time as
    // the assembler bounds it in size.
    return NoThrow(false, [&] {
        CReplyAssembler reply;
        std::string line;
        int lineClass = replyClass;
        do {
            if (!ReadReplyLine(line, lineClass, deadline)) return false;
        } while (!reply.Add(line, lineClass));
        text = reply.Text();
        replyClass = reply.Class();
        return true;
    });
}

bool CFTPClient::ReadReply(int& replyClass) {
    std::string text;
    return ReadReply(text, replyClass);
}

}  // namespace nsFTP
