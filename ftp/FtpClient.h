// CFTPClient: a synchronous FTP client after RFC 959 over one control connection, with its observers.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/BlockingSocket.h"
#include "ftp/FTPFileStatus.h"
#include "ftp/FtpTypes.h"
#include "ftp/RCPtr.h"
#include "ftp/TlsConnection.h"

namespace nsFTP {

class CLocalData;

// The date of an MDTM reply: year in full, month 1 to 12; the last three fields stay 0.
struct CModificationTime {
    std::int32_t second = 0;
    std::int32_t minute = 0;
    std::int32_t hour = 0;
    std::int32_t day = 0;
    std::int32_t month = 0;
    std::int32_t year = 0;
    std::int32_t reserved[3] = {};
};

class CFTPClient {
public:
    // What the client tells its observers. Every operation does nothing here, so an observer
    // overrides only what it needs. Observers are never owned or deleted through this interface.
    class CNotifaction {
    public:
        virtual void OnErrorReport(const std::string& message, const std::string& sourceFile, int line);
        virtual void OnDataReceived(int byteCount);
        virtual void OnDataSent(int byteCount);
        virtual void OnDownloadStart(const std::string& remotePath, const std::string& localPath,
                                     std::int64_t remoteSize);
        virtual void OnUploadStart(const std::string& localPath, const std::string& remotePath, std::int64_t localSize);
        virtual void OnDownloadEnd(const std::string& remotePath, const std::string& localPath,
                                   std::int64_t remoteSize);
        virtual void OnUploadEnd(const std::string& localPath, const std::string& remotePath, std::int64_t localSize);
        virtual void OnCommandSent(const std::string& command);
        virtual void OnReplyLine(const std::string& line);

    protected:
        CNotifaction() = default;
        CNotifaction(const CNotifaction&) = default;
        CNotifaction& operator=(const CNotifaction&) = default;
        ~CNotifaction() = default;
    };

    // Ordered by address, without duplicates; the client never owns an observer.
    using TObserverSet = std::set<CNotifaction*>;
    using TStringVector = std::vector<std::string>;
    using TFileStatusPtr = nsSP::RCIPtr<CFTPFileStatus>;
    using TFileStatusVector = std::vector<TFileStatusPtr>;
    // Takes one listing line, without its line end, as soon as it is complete.
    using TLineHandler = std::function<void(std::string_view line)>;

    // The most a listing gathered into a list may hold: its text plus kListingLineCost per line
    // (what keeping one line costs beyond its text). A listing beyond it fails at the receive site.
    static constexpr std::size_t kMaxListingBytes = std::size_t{64} << 20;
    static constexpr std::size_t kListingLineCost = 64;

    // bufferSize fixes the largest single receive and the block size of file transfers.
    CFTPClient(unsigned timeoutSeconds, unsigned bufferSize, bool useStdio);
    ~CFTPClient();
    CFTPClient(const CFTPClient&) = delete;
    CFTPClient& operator=(const CFTPClient&) = delete;

    // No exception of any kind leaves the client: an operation that meets one (an observer's
    // included) fails as it would on any other failure.

    // A stop from another thread. Once signal is raised, any wait of the client's sockets (the
    // control connection and every data connection, TLS on them included) ends at once, and every
    // operation fails at once (false or -1), reporting "stopped" to the observers; a store open
    // then is cut short by FinishStore. The control connection is closed without QUIT. Set it while
    // no operation runs (null: none); the signal must outlive its use by the client.
    void SetCancelSignal(const nsSocket::CCancelSignal* signal) noexcept;
    // Whether the signal set is raised: the client's failures since then are the stop's.
    bool Cancelled() const noexcept { return m_pCancel && m_pCancel->Raised(); }

    // Observers (called in ascending address order; none may be added or removed during a call).
    void AddObserver(CNotifaction* observer);
    void RemoveObserver(CNotifaction* observer);
    TObserverSet& Observers() noexcept { return m_Observers; }

    // Control connection.
    bool IsConnected() const noexcept { return m_ControlSocket.IsOpen(); }
    bool IsTransferring() const noexcept { return m_bTransferring; }
    bool ConnectControl(const std::string& host, unsigned port);
    void DisconnectControl();
    bool SendCommand(const std::string& command);
    bool ReadReplyLine(std::string& line, int& replyClass);
    bool ReadReply(std::string& text, int& replyClass);
    bool ReadReply(int& replyClass);
    // 0 for class 2, 1 for class 4 or 5, -1 otherwise.
    static int ReplyOutcome(int replyClass) noexcept;
    void NotifyError(const std::string& message, const std::string& sourceFile, int line) const;

    // Explicit FTPS (RFC 4217) from the next Logon on: AUTH TLS right after the greeting, before
    // anything of the account is sent (a server that refuses it ends the logon there: never a
    // downgrade), then PBSZ 0 and PROT P once logged on, and TLS on every data connection after
    // the transfer's preliminary reply. policy.hostName is set from the logon's host when empty.
    void RequireTls(nsTls::CTlsPolicy policy) { m_tlsPolicy = std::move(policy); }
    bool IsSecure() const noexcept { return m_controlTls != nullptr; }
    // Whether the last Logon or data connection failed on TLS itself (AUTH TLS refused, the
    // handshake, the certificate or the pin), not on the network or the server's replies.
    bool TlsRefused() const noexcept { return m_tlsRefused; }

    // Logon through the firewall method of the record; true once logged on with "/" as directory.
    bool Logon(const CLogonData& logonData);
    const CLogonData& LastLogon() const noexcept { return m_LastLogon; }

    // Simple commands: 0 done, 1 refused (class 4 or 5), -1 error. While a transfer runs (from an
    // observer) every one of them but Abort is refused with -1 and nothing is sent.
    int ChangeToParent();
    int Quit();
    int Abort();
    int PrintDirectory();
    // The same, giving the directory of the 257 reply (left as it was unless the result is 0).
    int PrintDirectory(std::string& directory);
    int System();
    int Noop();
    int ChangeDirectory(const std::string& path);
    int MakeDirectory(const std::string& path);
    int Site(const std::string& text);
    int Delete(const std::string& path);
    int RemoveDirectory(const std::string& path);
    int StructureMount(const std::string& path);
    int Help(const std::string& text);
    int Status(const std::string& path);
    int SetStructure(int code);
    int SetMode(int code);
    // Also the type later transfers take as the server's current one.
    int SetType(const CTransferType& type);
    int Allocate(std::int64_t size, std::optional<std::int64_t> recordSize = std::nullopt);
    int Restart(std::int64_t offset);
    int Reinitialize();
    int Rename(const std::string& from, const std::string& to);
    int FileSize(const std::string& path, std::int64_t& size);
    int ModificationTime(const std::string& path, std::string& text);
    int ModificationTimeFields(const std::string& path, CModificationTime& fields);
    int Passive(std::string& host, unsigned& port);
    int DataPort(const std::string& host, unsigned port);

    // Transfers and listings. After an aborted or failed transfer the transfer's remaining replies
    // are consumed (within the time-out), so that the next command reads its own reply; a server that
    // falls silent during a transfer loses the control connection (one time-out, not one per command).
    bool UploadFile(const std::string& localPath, const std::string& remotePath, bool storeUnique,
                    const CTransferType& type, bool passive);
    bool DownloadFile(const std::string& remotePath, const std::string& localPath, const CTransferType& type,
                      bool passive);
    // A download in image type whose length differs from the size SIZE announced fails (the partial
    // file stays, for a resume).
    // Listing lines end in LF or CR LF; a last line without either still counts. The list forms hold
    // at most kMaxListingBytes and leave the list as it was on failure.
    bool ListLines(const std::string& path, TStringVector& lines, bool passive);
    bool NameLines(const std::string& path, TStringVector& lines, bool passive);
    // The same, handing each line to onLine as it arrives: memory stays flat whatever the length.
    bool ListLines(const std::string& path, const TLineHandler& onLine, bool passive);
    bool NameLines(const std::string& path, const TLineHandler& onLine, bool passive);
    bool ListEntries(const std::string& path, TFileStatusVector& entries, bool passive);
    bool NameEntries(const std::string& path, TFileStatusVector& entries, bool passive);
    bool RunDataCommand(CDataCommand command, const std::string& path, const CTransferType& type, bool passive,
                        CLocalData& local, std::int64_t restartOffset);
    static std::string DataCommandLine(CDataCommand command, const std::string& path);

    // A store whose blocks the caller writes one by one: STOR in image type, its data connection
    // (TLS on it when the session is secure), then WriteStore for each block, and FinishStore,
    // which ends the data (close_notify over TLS) and reads the final reply: true for a 2xx. Until
    // FinishStore every other command is refused; after a failed write the data is ended without
    // it and FinishStore reads what the server says. Once the cancel signal is raised, FinishStore
    // resets the data connection (no close_notify, nothing sent in order), so that the server sees
    // an aborted transfer, and closes the control connection without waiting for the final reply.
    // A client destroyed with a store open cuts it short the same way. From an offset above 0 the
    // store goes on after the first offset bytes the server holds (REST, then STOR; or APPE where
    // the server refuses REST); RestartRefused() says when it would do neither.
    bool BeginStore(const std::string& remotePath, bool passive, std::int64_t offset = 0);
    bool RestartRefused() const noexcept { return m_restartRefused; }
    bool WriteStore(const char* data, std::size_t count);
    bool FinishStore();
    void SetResume(bool resume) noexcept { m_bResume = resume; }

    unsigned Timeout() const noexcept { return m_uiTimeout; }
    std::size_t BufferSize() const noexcept { return m_vBuffer.size(); }

private:
    using TClock = std::chrono::steady_clock;
    // Where a data command stands once its connection is opened or its bytes are moved.
    enum class EDataState {
        Ready,         // opened, or all bytes moved: the final reply is next
        NothingOwed,   // failed before the server started the transfer
        ReplyOwed,     // failed after it: the transfer's final reply is still to come
        Aborted,       // ABOR sent and the transfer's replies consumed
        ServerSilent,  // the server stopped answering during the transfer
        Stopped,       // the cancel signal was raised: nothing more is awaited from the server
    };

    enum class ESimpleCommand;
    bool LogonSteps(const CLogonData& logonData);
    // AUTH TLS and the handshake on the control connection; PBSZ 0 and PROT P after the logon.
    bool SecureControl(const std::string& host);
    bool ProtectData();
    // SIZE; size is set only when the reply states a number.
    int QuerySize(const std::string& path, std::optional<std::int64_t>& size);
    int RunSimpleCommand(ESimpleCommand command, const std::string& argument);
    // Makes type the server's current type, sending TYPE only when it differs.
    bool EnsureType(const CTransferType& type);
    // Sends a line and reads the whole reply; false when either fails.
    bool Exchange(const std::string& command, std::string& reply, int& replyClass);
    // Sends a line, reads the reply, and gives its outcome (-1 when either fails).
    int ExchangeOutcome(const std::string& command);

    bool ReadReplyLine(std::string& line, int& replyClass, TClock::time_point deadline);
    bool ReadReply(std::string& text, int& replyClass, TClock::time_point deadline);
    TClock::time_point Deadline() const noexcept;

    // Receives a listing into onLine; limit bounds the text plus kListingLineCost per line (0: none).
    bool ReceiveListing(CDataCommand command, const std::string& path, bool passive, std::size_t limit,
                        const TLineHandler& onLine);
    bool CollectLines(CDataCommand command, const std::string& path, TStringVector& lines, bool passive);
    bool ParseEntries(CDataCommand command, const std::string& path, TFileStatusVector& entries, bool passive);
    EDataState OpenActiveData(nsSocket::CBlockingSocket& dataSocket, CDataCommand command, const std::string& path,
                              std::int64_t restartOffset);
    EDataState OpenPassiveData(nsSocket::CBlockingSocket& dataSocket, CDataCommand command, const std::string& path,
                               std::int64_t restartOffset);
    // Accepts the server's data connection; a connection from any other host is closed unheard.
    EDataState AcceptData(nsSocket::CBlockingSocket& listener, nsSocket::CBlockingSocket& dataSocket);
    // REST where resuming applies to the command; false when the server refuses it.
    bool RestartDataCommand(CDataCommand command, std::int64_t restartOffset);
    // The data command line and its preliminary reply (class 1).
    bool StartDataCommand(CDataCommand command, const std::string& path);
    // TLS on a data connection just opened, when the session is secure.
    EDataState SecureData(nsSocket::CBlockingSocket& dataSocket, std::unique_ptr<nsTls::CTlsConnection>& tls);
    // A data connection as the block loops use it: the socket, through TLS when the session is secure.
    struct CDataStream {
        nsSocket::CBlockingSocket& socket;
        nsTls::CTlsConnection* tls;
        void SendAll(const char* data, std::size_t count, unsigned timeoutSeconds);
        std::size_t Receive(char* buffer, std::size_t size, unsigned timeoutSeconds);
    };
    EDataState SendData(CLocalData& local, CDataStream& data);
    EDataState ReceiveData(CLocalData& local, CDataStream& data);
    // The state after a block loop: an abort asked for meanwhile is carried out now.
    EDataState EndTransferLoop(bool abortRequested, EDataState state, nsSocket::CBlockingSocket& dataSocket);
    // Closes the data connection, sends ABOR, and reads the transfer's end and the ABOR's own reply.
    EDataState AbortTransfer(nsSocket::CBlockingSocket& dataSocket);
    // Reads what the data command still owes; the result is whether the transfer succeeded.
    bool FinishDataCommand(EDataState state);
    // Closes the control connection of a server that went silent, so that nothing waits on it again.
    void DropControl() noexcept;
    // Where a data command stands after a socket failure: Stopped for a cancel, ServerSilent for a
    // time-out, otherwise as given.
    static EDataState FailedState(const nsSocket::CBlockingSocketException& exception, EDataState otherwise) noexcept;
    // Ends a store's data connection as cut short, and the control connection that owes its reply.
    void AbandonStore() noexcept;
    template <class... Params, class... Args>
    void Notify(void (CNotifaction::*slot)(Params...), const Args&... args) const noexcept;
    void ReportException(const nsSocket::CBlockingSocketException& exception, int line) const;
    void ReportSystemError(int error, int line) const;

    unsigned m_uiTimeout;
    const nsSocket::CCancelSignal* m_pCancel = nullptr;
    bool m_bUseStdio;
    std::vector<char> m_vBuffer;
    std::deque<std::string> m_qReplyLines;
    std::unique_ptr<CTransferType> m_pCurrentType;
    nsSocket::CBlockingSocket m_ControlSocket;
    std::optional<nsTls::CTlsPolicy> m_tlsPolicy;
    std::unique_ptr<nsTls::CTlsConnection> m_controlTls;  // while the control connection is secure
    bool m_tlsRefused = false;
    bool m_restartRefused = false;  // the server refused the last data command's REST
    struct COpenStore {
        nsSocket::CBlockingSocket socket;
        std::unique_ptr<nsTls::CTlsConnection> tls;
        bool failed = false;
    };
    std::unique_ptr<COpenStore> m_store;  // between BeginStore and FinishStore
    bool m_bTransferring = false;
    bool m_bAbortRequested = false;
    bool m_bResume = true;
    std::int64_t m_nTransferBytes = 0;  // bytes the last block loop moved
    TObserverSet m_Observers;
    CLogonData m_LastLogon;
};

// An observer that throws must neither stop the others nor carry its exception out of the client.
template <class... Params, class... Args>
void CFTPClient::Notify(void (CNotifaction::*slot)(Params...), const Args&... args) const noexcept {
    for (CNotifaction* observer : m_Observers) {
        try {
            (observer->*slot)(args...);
        } catch (...) {
            // The observer's own failure: the client's operation goes on as if it had returned.
        }
    }
}

}  // namespace nsFTP
