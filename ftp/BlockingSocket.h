// IPv4 sockets that block their caller, with time-outs in whole seconds and a cancel signal; every
// failure raises CBlockingSocketException.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "ftp/CancelSignal.h"

namespace nsSocket {

#ifdef _WIN32
using SocketHandle = std::uintptr_t;  // the system's SOCKET
inline constexpr SocketHandle kNoSocket = 0;
using EventHandle = void*;  // the WSAEVENT that reports the socket's readiness
inline constexpr EventHandle kNoEvent = nullptr;
#else
using SocketHandle = int;  // a file descriptor
inline constexpr SocketHandle kNoSocket = -1;
using EventHandle = int;  // none: poll watches the descriptor itself
inline constexpr EventHandle kNoEvent = -1;
#endif

// Socket types handed to Create.
inline constexpr int kStreamSocket = 1;
inline constexpr int kDatagramSocket = 2;

// An IPv4 socket address laid out as the system's Internet socket address (16 bytes).
struct CSocketAddress {
    std::uint16_t m_nFamily = 2;   // always Internet
    std::uint16_t m_nPort = 0;     // network byte order
    std::uint32_t m_nAddress = 0;  // network byte order; 0 = any local address
    unsigned char m_padding[8] = {};

    CSocketAddress() noexcept = default;
    // Host-order address and port.
    CSocketAddress(std::uint32_t hostAddress, std::uint16_t hostPort) noexcept;
    // Dotted-decimal text and host-order port.
    CSocketAddress(const std::string& dottedAddress, std::uint16_t hostPort);

    std::uint16_t Port() const noexcept;         // host order
    std::string DottedDecimal() const;           // "a.b.c.d"
    std::uint32_t HostAddress() const noexcept;  // host order
};
static_assert(sizeof(CSocketAddress) == 16, "CSocketAddress must match the system's address layout");

// Names the failed operation and carries the socket error code taken when it was raised.
class CBlockingSocketException : public std::exception {
public:
    // Stores the operation name and the thread's last socket error.
    explicit CBlockingSocketException(std::string operation);
    CBlockingSocketException(std::string operation, int error);
    // A failure that no system error describes (a wait that ran out): description says what happened.
    CBlockingSocketException(std::string operation, int error, std::string description);
    // "<what> within N s": the text of a wait of timeoutSeconds that ran out.
    static CBlockingSocketException Timeout(std::string operation, const char* what, unsigned timeoutSeconds);
    // "stopped": the operation ended because the socket's cancel signal was raised.
    static CBlockingSocketException Cancelled(std::string operation);

    bool IsCancelled() const noexcept { return m_bCancelled; }

    const char* what() const noexcept override { return m_strOperation.c_str(); }

    // "<operation> error 0x<hex code>" or "<operation> error", cut to size - 1 characters and terminated.
    bool GetErrorMessage(char* buffer, std::size_t size, unsigned* helpContext = nullptr) const;
    // The description, else the system's text for the code; then " (<operation> error 0x<hex>)" or
    // " (<operation> error)".
    std::string GetErrorText() const;

    int m_nError;
    std::string m_strOperation;
    std::string m_strDescription;

private:
    bool m_bCancelled = false;
};

// A thin owner of one socket handle. Close/CloseQuietly end it explicitly; the destructor closes
// whatever is still open so that no failure path leaks a handle.
//
// The socket is non-blocking underneath: each operation is tried at once and, only when the system
// would block, waits for the socket's readiness, its time-out and the cancel signal it watches,
// whichever comes first. A send never blocks beyond that (a partial send goes on in the next).
class CBlockingSocket {
public:
    CBlockingSocket() noexcept = default;
    ~CBlockingSocket();
    CBlockingSocket(const CBlockingSocket&) = delete;
    CBlockingSocket& operator=(const CBlockingSocket&) = delete;
    CBlockingSocket(CBlockingSocket&& other) noexcept;
    CBlockingSocket& operator=(CBlockingSocket&& other) noexcept;

    SocketHandle Handle() const noexcept { return m_hSocket; }
    bool IsOpen() const noexcept { return m_hSocket != kNoSocket; }

    // Once signal (null: none) is raised, from any thread, a wait in progress ends at once and every
    // later operation but a close fails at once, each raising a Cancelled exception. The watch is
    // kept across Create and Close, moves with the socket and passes to the sockets Accept takes;
    // the signal must outlive it.
    void Watch(const CCancelSignal* signal) noexcept { m_pCancel = signal; }
    const CCancelSignal* Watched() const noexcept { return m_pCancel; }

    void Create(int type = kStreamSocket);
    void Bind(const CSocketAddress& address);
    void Listen();
    // Takes one connection into target, waiting without a time-out. False (nothing raised) when the
    // call was interrupted.
    bool Accept(CBlockingSocket& target, CSocketAddress& address);
    // As Accept, but raises "Accept timeout" when no connection arrives within timeoutSeconds.
    bool Accept(CBlockingSocket& target, CSocketAddress& address, unsigned timeoutSeconds);
    // As Accept, but waits only until deadline, a bound of timeoutSeconds (the number its text names).
    bool Accept(CBlockingSocket& target, CSocketAddress& address, std::chrono::steady_clock::time_point deadline,
                unsigned timeoutSeconds);
    // Raises "Close" (keeping the handle) only when the system refuses to close it.
    void Close();
    void CloseQuietly() noexcept;
    // Ends the connection with a reset instead of in order: what is unsent is dropped and the peer's
    // next read fails, so that it cannot take a transfer cut short for a whole one.
    void CloseWithReset() noexcept;
    // Waits as long as the system lets a connection attempt last.
    void Connect(const CSocketAddress& address);
    // As Connect, but raises "Connect timeout" when the connection is not made within timeoutSeconds
    // (a listener that never accepts, a firewall that drops) instead of waiting for the system's limit.
    void Connect(const CSocketAddress& address, unsigned timeoutSeconds);

    std::size_t Send(const char* data, std::size_t count, unsigned timeoutSeconds);
    std::size_t SendAll(const char* data, std::size_t count, unsigned timeoutSeconds);
    // 0 when the peer closed the connection in order.
    std::size_t Receive(char* buffer, std::size_t size, unsigned timeoutSeconds);
    // As Receive, but waits only until deadline, a bound on a whole exchange of timeoutSeconds (the
    // number the time-out's text names).
    std::size_t Receive(char* buffer, std::size_t size, std::chrono::steady_clock::time_point deadline,
                        unsigned timeoutSeconds);
    std::size_t ReceiveDatagram(char* buffer, std::size_t size, CSocketAddress& sender, unsigned timeoutSeconds);
    std::size_t SendDatagram(const char* data, std::size_t count, const CSocketAddress& target,
                             unsigned timeoutSeconds);

    void GetPeerName(CSocketAddress& address) const;
    void GetSockName(CSocketAddress& address) const;

    static CSocketAddress GetHostByName(const std::string& host, std::uint16_t hostPort);
    static std::string GetHostByAddr(const CSocketAddress& address);

private:
    using TClock = std::chrono::steady_clock;
    // Raises Cancelled(operation) once the watched signal is raised.
    void CheckCancel(const char* operation) const;
    // After an operation that would block: waits for readiness until deadline. False when the
    // deadline passed; raises on the cancel signal and on a failed wait.
    bool AwaitReady(bool forWriting, TClock::time_point deadline, const char* operation) const;
    std::size_t ReceiveUntil(char* buffer, std::size_t size, TClock::time_point deadline, const char* timeoutText,
                             unsigned timeoutSeconds);
    void ConnectUntil(const CSocketAddress& address, TClock::time_point deadline, unsigned timeoutSeconds);

    SocketHandle m_hSocket = kNoSocket;
    EventHandle m_hEvent = kNoEvent;
    const CCancelSignal* m_pCancel = nullptr;
};

// A socket that reads header lines through a small read-ahead buffer.
class CHttpBlockingSocket : public CBlockingSocket {
public:
    static constexpr std::size_t kReadAheadSize = 1000;

    CHttpBlockingSocket() : m_readAhead(kReadAheadSize) {}

    // One line including its line feed, at most maxLength - 1 bytes, terminated with a zero byte.
    std::size_t ReadHeaderLine(char* buffer, std::size_t maxLength, unsigned timeoutSeconds);
    // Buffered bytes first, then receives until the peer closes or the buffer is full.
    std::size_t ReadData(char* buffer, std::size_t size, unsigned timeoutSeconds);

private:
    std::vector<char> m_readAhead;
    std::size_t m_nReadAhead = 0;
};

// Starts the system's socket library for the life of the object (a no-op where none is needed).
class CSocketLibrary {
public:
    CSocketLibrary();
    ~CSocketLibrary();
    CSocketLibrary(const CSocketLibrary&) = delete;
    CSocketLibrary& operator=(const CSocketLibrary&) = delete;
    bool IsStarted() const noexcept { return m_bStarted; }

private:
    bool m_bStarted = false;
};

}  // namespace nsSocket
