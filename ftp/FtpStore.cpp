// Stores whose blocks the caller writes one by one (see BeginStore in FtpClient.h): the control's
// upload writes each block in turn, over TLS as over plain sockets; a stop cuts the store short.
#include <memory>
#include <utility>

#include "ftp/FtpClient.h"
#include "ftp/FtpReportSites.h"
#include "ftp/NoThrow.h"

namespace nsFTP {

bool CFTPClient::BeginStore(const std::string& remotePath, bool passive, std::int64_t offset) {
    if (m_bTransferring || m_store || !IsConnected() || offset < 0) return false;
    m_tlsRefused = false;
    m_restartRefused = false;
    return NoThrow(false, [&] {
        if (!EnsureType(CTransferType::Image())) return false;
        auto store = std::make_unique<COpenStore>();
        const auto open = [&](CDataCommand command, std::int64_t restart) {
            return passive ? OpenPassiveData(store->socket, command, remotePath, restart)
                           : OpenActiveData(store->socket, command, remotePath, restart);
        };
        // REST and STOR go on after the server's first offset bytes; a server that refuses REST
        // may still append to the file (APPE), which its size then says is the same.
        const bool restarts = offset > 0 && m_bResume;
        EDataState state = open(CDataCommand::Store, restarts ? offset : 0);
        if (state == EDataState::NothingOwed && restarts && m_restartRefused) {
            state = open(CDataCommand::Append, 0);
            m_restartRefused = state != EDataState::Ready;
        }
        if (state == EDataState::Ready) state = SecureData(store->socket, store->tls);
        if (state != EDataState::Ready) {
            store->socket.CloseQuietly();
            FinishDataCommand(state);
            return false;
        }
        m_store = std::move(store);
        m_bTransferring = true;  // the final reply is owed: no other command until FinishStore
        return true;
    });
}

bool CFTPClient::WriteStore(const char* data, std::size_t count) {
    if (!m_store || m_store->failed) return false;
    try {
        CDataStream{m_store->socket, m_store->tls.get()}.SendAll(data, count, m_uiTimeout);
        Notify(&CNotifaction::OnDataSent, static_cast<int>(count > 0x7FFFFFFF ? 0x7FFFFFFF : count));
        return true;
    } catch (const nsSocket::CBlockingSocketException& exception) {
        ReportException(exception, report::kSendData);
    } catch (...) {
    }
    m_store->failed = true;
    return false;
}

bool CFTPClient::FinishStore() {
    if (!m_store) return false;
    if (Cancelled()) {
        AbandonStore();
        return false;
    }
    EDataState state = m_store->failed ? EDataState::ReplyOwed : EDataState::Ready;
    if (state == EDataState::Ready && m_store->tls) {
        // The server takes close_notify as the end of the file.
        try {
            m_store->tls->Shutdown(m_uiTimeout);
        } catch (const nsSocket::CBlockingSocketException& exception) {
            ReportException(exception, report::kSendData);
            if (exception.IsCancelled()) {
                AbandonStore();
                return false;
            }
            state = EDataState::ReplyOwed;
        }
    }
    const std::unique_ptr<COpenStore> store = std::move(m_store);
    m_bTransferring = false;
    store->tls.reset();
    store->socket.CloseQuietly();
    return NoThrow(false, [&] { return FinishDataCommand(state); });
}

void CFTPClient::AbandonStore() noexcept {
    const std::unique_ptr<COpenStore> store = std::move(m_store);
    m_bTransferring = false;
    if (!store) return;
    // The TLS session goes without close_notify and the socket with a reset: neither says "the
    // file ends here", so the server takes the transfer for aborted (426 or 451, no 226). The
    // final reply is not waited for: the control connection, which owes it, is closed instead.
    store->tls.reset();
    store->socket.CloseWithReset();
    DropControl();
}

}  // namespace nsFTP
